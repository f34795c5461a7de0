// SPDX-License-Identifier: GPL-3.0-or-later
// The three move methods: swap, two-step swap and click play.
#include "puzzleform.h"

void PuzzleForm::Image2_DragDrop(Int16 index, PictureBox *source)
{
    if (SwapMode != True && TwoStepSwapMode != True)
        return;
    if (!source)
        return;
    PictureBox *target = Image2(index);
    Image3->setPicture(source->picture());
    Image3->setTag(source->tag());
    source->setPicture(target->picture());
    source->setTag(target->tag());
    target->setPicture(Image3->picture());
    target->setTag(Image3->tag());
    CheckBoard();
}

void PuzzleForm::Image2_MouseUp(Int16 index)
{
    if (TwoStepSwapMode == True)
        Image2(index)->Drag(DragAction::Begin);
}

void PuzzleForm::Image2_MouseDown(Int16 index)
{
    if (TwoStepSwapMode == True)
        Image2(index)->Drag(DragAction::Cancel);
}

void PuzzleForm::Image2_Click(Int16 index)
{
    if (ClickMode != True)
        return;
    PictureBox *clicked = Image2(index);
    if (tagValue(Image3->tag()) == 100) {
        Image3->setPicture(clicked->picture());
        Image3->setTag(clicked->tag());
        clicked->setTag(EmptyTag);
        clicked->setVisible(false);
        return;
    }
    const Int16 last = sub16(TileCount, 1);
    for (TileIndex = 0; TileIndex <= last; TileIndex = add16(TileIndex, 1)) {
        PictureBox *gap = Image2(TileIndex);
        if (tagValue(gap->tag()) == 100) {
            gap->setVisible(true);
            gap->setPicture(clicked->picture());
            gap->setTag(clicked->tag());
            clicked->setTag(EmptyTag);
            clicked->setVisible(false);
        }
    }
    CheckBoard();
}

void PuzzleForm::Image3_DragDrop(PictureBox *)
{
    if (ClickMode != True)
        return;
    if (tagValue(Image3->tag()) != 100) {
        const Int16 last = sub16(TileCount, 1);
        for (TileIndex = 0; TileIndex <= last; TileIndex = add16(TileIndex, 1)) {
            PictureBox *gap = Image2(TileIndex);
            if (tagValue(gap->tag()) == 100) {
                gap->setVisible(true);
                gap->setPicture(Image3->picture());
                gap->setTag(Image3->tag());
                Image3->setTag(EmptyTag);
                Image3->setPicture(Image5->picture());
            }
        }
    }
    CheckBoard();
}

void PuzzleForm::Image3_Click() { }
