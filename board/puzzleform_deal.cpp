// SPDX-License-Identifier: GPL-3.0-or-later
// Shuffling and dealing: the button "Mostra Puzzle".
#include "puzzleform.h"

void PuzzleForm::Cmd_Scambia_Click()
{
    Label1->setCaption(QString());
    MakePermutation();
    DealTiles();
    CheckBoard();
    Frame1->setVisible(true);
    Image4->setVisible(true);
    Label5->setVisible(true);
    if (ClickMode == True) {
        Image3->setVisible(true);
    } else if (TwoStepSwapMode == True) {
        for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1))
            Image2(TileIndex)->setDragMode(DragMode::Manual);
        Image3->setVisible(false);
    } else {
        for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1))
            Image2(TileIndex)->setDragMode(DragMode::Automatic);
        Image3->setVisible(false);
    }
}

void PuzzleForm::MakePermutation()
{
    if (TileCount == 2) {
        tileCell(0) = 1;
        tileCell(1) = 0;
        return;
    }
    for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1)) {
        tileCell(TileIndex) = 0;
        cellDrawn(TileIndex) = False;
    }
    for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1)) {
        do {
            m_random.Randomize();
            CellNo = checkedInt16(
                static_cast<long long>(static_cast<float>(TileCount) * m_random.Rnd()));
        } while (cellDrawn(CellNo) == True);
        cellDrawn(CellNo) = True;
        tileCell(TileIndex) = CellNo;
    }
}

void PuzzleForm::DealTiles()
{
    // A tile held in click play would otherwise survive the deal: the spare tile keeps its
    // picture and the gap stays hidden, and the new game could never be finished.
    Image3->setPicture(Image5->picture());
    Image3->setTag(EmptyTag);
    Image1->setVisible(false);
    for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1)) {
        PictureBox *tile = Image2(TileIndex);
        CellNo = tileCell(TileIndex);
        tile->setPicture(PictureClip1.GraphicCell(CellNo));
        tile->setTag(QString::number(CellNo));
        tile->setBorderStyle(0);
        tile->setDragMode(DragMode::Manual);
        tile->setEnabled(true);
        tile->setVisible(true);
    }
    Label2->setVisible(true);
    Lbl_Errati->setVisible(true);
    Label3->setVisible(true);
    Lbl_Esatti->setVisible(true);
    LastSoundCount = 0;
}
