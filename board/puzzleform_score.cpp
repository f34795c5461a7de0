// SPDX-License-Identifier: GPL-3.0-or-later
// Scoring, locking and completion.
#include "puzzleform.h"

void PuzzleForm::playSound(const QString &path)
{
    MMControl1.setFileName(path);
    MMControl1.setCommand(QStringLiteral("close"));
    MMControl1.setCommand(QStringLiteral("open"));
    MMControl1.setCommand(QStringLiteral("play"));
}

void PuzzleForm::CheckBoard()
{
    PlacedCount = 0;
    MisplacedCount = 0;
    Lbl_Errati->setCaption(QString::number(TileCount));
    Lbl_Esatti->setCaption(QStringLiteral("0"));
    const Int16 last = sub16(TileCount, 1);
    for (TileIndex = 0; TileIndex <= last; TileIndex = add16(TileIndex, 1)) {
        PictureBox *tile = Image2(TileIndex);
        if (tagValue(tile->tag()) == TileIndex) {
            PlacedCount = add16(PlacedCount, 1);
            MisplacedCount = sub16(TileCount, PlacedCount);
            Lbl_Errati->setCaption(QString::number(MisplacedCount));
            Lbl_Esatti->setCaption(QString::number(PlacedCount));
            if (GuidedMode == True)
                tile->setEnabled(false);
        }
    }
    if (GuidedMode == True && PlacedCount > LastSoundCount) {
        playSound(NotifySound);
        LastSoundCount = PlacedCount;
    }
    if (PlacedCount == TileCount) {
        Label1->setCaption(Congratulation);
        Image1->setPicture(PictureClip1.picture());
        Image1->setVisible(true);
        playSound(FanfareSound);
        for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1))
            Image2(TileIndex)->setDragMode(DragMode::Manual);
    }
}
