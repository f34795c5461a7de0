// SPDX-License-Identifier: GPL-3.0-or-later
// Play options: guided or free play, and the move method.
#include "puzzleform.h"

void PuzzleForm::mnu_Guidato_Click()
{
    GuidedMode = True;
    Label4->setCaption(QStringLiteral("Guidato"));
}

void PuzzleForm::mnu_Libero_Click()
{
    GuidedMode = False;
    Label4->setCaption(QStringLiteral("Non Guidato"));
}

void PuzzleForm::chooseMethod(Int16 swap, Int16 twoStep, Int16 click, const QString &caption)
{
    SwapMode = swap;
    TwoStepSwapMode = twoStep;
    ClickMode = click;
    Label6->setCaption(caption);
    Image3->setVisible(false);
    BuildBoard();
}

void PuzzleForm::mnu_Scambio_Click()
{
    chooseMethod(True, False, False, QStringLiteral("Con Scambio"));
}

void PuzzleForm::mnu_Scambio2_Click()
{
    chooseMethod(False, True, False, QStringLiteral("Con Scambio in Due Tempi"));
}

void PuzzleForm::mnu_Clic_Click()
{
    chooseMethod(False, False, True, QStringLiteral("Con Click"));
}
