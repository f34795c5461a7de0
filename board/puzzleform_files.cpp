// SPDX-License-Identifier: GPL-3.0-or-later
// Grid size, loading a picture, and leaving.
#include "puzzleform.h"

#include "busycursor.h"
#include "loader.h"

void PuzzleForm::co_ri_Click(Int16 index)
{
    if (index < 0 || index >= static_cast<Int16>(gridChoices().size()))
        throw RuntimeError(QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    const GridChoice &choice = gridChoices()[static_cast<size_t>(index)];
    ColCount = static_cast<Int16>(choice.cols);
    RowCount = static_cast<Int16>(choice.rows);
    BuildBoard();
}

void PuzzleForm::mnu_carica_Click()
{
    CommonDialog1.CancelError = true;
    // Any failure from here on ends the handler silently, keeping what was done.
    guarded([this] {
        CommonDialog1.Filter = PictureFilter;
        CommonDialog1.ShowOpen();
        loadPictureFile(CommonDialog1.FileName);
    });
}

void PuzzleForm::openPicture(const QString &fileName)
{
    guarded([&] { loadPictureFile(fileName); });
}

void PuzzleForm::loadPictureFile(const QString &fileName)
{
    BusyCursor busy;
    Image1->setPicture(LoadPicture(fileName, PictureDecodeBox, {}, [&busy] { busy.working(); }));
    PictureClip1.setPicture(Image1->picture());
    Frame1->setVisible(false);
    Image1->setVisible(true);
    BuildBoard();
}

void PuzzleForm::Cmd_Esci_Click()
{
    End();
}

void PuzzleForm::Form_Unload(int &)
{
    End();
}
