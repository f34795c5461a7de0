// SPDX-License-Identifier: GPL-3.0-or-later
// The three move methods, played with the mouse through the window.

#include "dragmanager.h"
#include "fakes.h"

#include <QTest>

namespace {
int tileShowing(Board &b, int cell)
{
    for (int i = 0; i < b.form.TileCount; ++i)
        if (b.tile(i)->isVisible() && b.tile(i)->tag().toInt() == cell)
            return i;
    return -1;
}

// Plays a swap or two-step game to the end, one exchange per misplaced tile.
void solveBySwapping(Board &b, bool twoStep)
{
    for (int i = 0; i < b.form.TileCount; ++i) {
        if (b.tile(i)->tag().toInt() == i)
            continue;
        const int j = tileShowing(b, i);
        QVERIFY(j >= 0);
        if (twoStep) {
            b.click(b.tile(j));
            b.click(b.tile(i));
        } else {
            b.drag(b.tile(j), b.tile(i));
        }
        QCOMPARE(b.tile(i)->tag().toInt(), i);
    }
}

// Plays a click game to the end: take a misplaced tile, fill each gap with the tile it wants,
// and put the held tile back when the gap is its own place.
void solveByClicking(Board &b)
{
    for (int step = 0; step < 200 && b.form.Label1->caption().isEmpty(); ++step) {
        if (b.form.Image3->tag() == QLatin1String("100")) {
            int misplaced = -1;
            for (int i = 0; i < b.form.TileCount && misplaced < 0; ++i)
                if (b.tile(i)->tag().toInt() != i)
                    misplaced = i;
            QVERIFY(misplaced >= 0);
            b.click(b.tile(misplaced));
            continue;
        }
        int gap = -1;
        for (int i = 0; i < b.form.TileCount; ++i)
            if (b.tile(i)->tag() == QLatin1String("100"))
                gap = i;
        QVERIFY(gap >= 0);
        if (b.form.Image3->tag().toInt() == gap)
            b.click(b.form.Image3); // press and release on the spare tile puts it back
        else
            b.click(b.tile(tileShowing(b, gap)));
    }
}

void expectComplete(Board &b)
{
    QCOMPARE(b.form.Label1->caption(), PuzzleForm::Congratulation);
    QCOMPARE(b.placedCount(), int(b.form.TileCount));
    QCOMPARE(b.form.Lbl_Esatti->caption(), QString::number(b.form.TileCount));
    QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("0"));
    QCOMPARE(b.player.plays(PuzzleForm::FanfareSound), 1);
    QVERIFY(b.form.Image1->isVisible());
    for (int i = 0; i < b.form.TileCount; ++i) {
        QVERIFY(b.tile(i)->isVisible());
        QCOMPARE(b.tile(i)->dragMode(), DragMode::Manual);
        QCOMPARE(b.tile(i)->picture(), b.form.PictureClip1.GraphicCell(i));
    }
}
} // namespace

class TestMoves : public QObject
{
    Q_OBJECT
private slots:
    // --- swap play ---

    void aDragExchangesTwoTiles()
    {
        Board b;
        script(b.random, {8, 1, 2, 3, 4, 5, 6, 7, 0});
        b.deal();
        const Picture first = b.tile(0)->picture();
        b.drag(b.tile(0), b.tile(8));
        QCOMPARE(b.tags(), (QStringList {"0", "1", "2", "3", "4", "5", "6", "7", "8"}));
        QCOMPARE(b.tile(8)->picture(), first);
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("8")); // the scratch place keeps its copy
        expectComplete(b);
        // After completion no tile drags any more.
        b.drag(b.tile(0), b.tile(1));
        QCOMPARE(b.tile(0)->tag(), QStringLiteral("0"));
    }

    void aTileDroppedOnItselfStaysAndTheBoardIsRecounted()
    {
        Board b;
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        b.form.Lbl_Esatti->setCaption(QStringLiteral("?"));
        b.click(b.tile(4));
        QCOMPARE(b.tags(), (QStringList {"1", "0", "2", "3", "4", "5", "6", "8", "7"}));
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5"));
    }

    void aDropOnALockedTileOrOffTheTilesMovesNothing()
    {
        Board b;
        b.form.mnu_Guidato_Click();
        script(b.random, {0, 2, 1, 3, 4, 5, 6, 8, 7});
        b.deal();
        const QStringList dealt = b.tags();
        b.drag(b.tile(1), b.tile(0)); // tile 0 is locked
        b.drag(b.tile(1), b.form.Image4);
        b.drag(b.tile(1), b.form.Lbl_Errati);
        b.press(b.tile(1));
        QTest::mouseMove(b.window(), QPoint(20, 60));
        QTest::mouseRelease(b.window(), Qt::LeftButton, {}, QPoint(20, 60));
        QCOMPARE(b.tags(), dealt);
        b.drag(b.tile(0), b.tile(1)); // a locked tile does not start a drag
        QCOMPARE(b.tags(), dealt);
    }

    void aWholeSwapGameByMouse()
    {
        Board b(Puzzle_3m(), 11);
        b.chooseGrid(12);
        b.deal();
        solveBySwapping(b, false);
        expectComplete(b);
    }

    // --- two-step play ---

    void pickUpWithEitherButtonAndPutDownOnAnotherTile()
    {
        Board b;
        b.form.mnu_Scambio2->trigger();
        script(b.random, {1, 0, 3, 2, 4, 5, 6, 7, 8});
        b.deal();
        b.click(b.tile(0));
        QVERIFY(DragManager::instance()->isDragging());
        QCOMPARE(DragManager::instance()->source(), b.tile(0));
        b.move(b.tile(1));
        QVERIFY(b.tile(1)->dropHighlight());
        b.click(b.tile(1));
        QVERIFY(!DragManager::instance()->isDragging());
        QCOMPARE(b.tags().mid(0, 2), (QStringList {"0", "1"}));
        b.click(b.tile(2), Qt::RightButton);
        QCOMPARE(DragManager::instance()->source(), b.tile(2));
        b.click(b.tile(3));
        QCOMPARE(b.tags().mid(2, 2), (QStringList {"2", "3"}));
        expectComplete(b);
    }

    void aPutDownOnEmptySpaceChangesNothing()
    {
        Board b;
        b.form.mnu_Scambio2->trigger();
        script(b.random, {1, 0, 3, 2, 4, 5, 6, 8, 7});
        b.deal();
        const QStringList dealt = b.tags();
        b.click(b.tile(0));
        QTest::mouseClick(b.window(), Qt::LeftButton, {}, QPoint(20, 60)); // the background
        QVERIFY(!DragManager::instance()->isDragging());
        b.click(b.tile(0));
        b.click(b.form.Label3);
        QCOMPARE(b.tags(), dealt);
        b.click(b.tile(0)); // picks up afresh, nothing exchanged on the way
        QCOMPARE(b.tags(), dealt);
        QCOMPARE(DragManager::instance()->source(), b.tile(0));
        DragManager::instance()->cancel();
    }

    void aWholeTwoStepGameByMouse()
    {
        Board b(Puzzle_03(), 5);
        b.form.mnu_Scambio2->trigger();
        b.form.mnu_Guidato_Click();
        b.chooseGrid(9);
        b.deal();
        solveBySwapping(b, true);
        expectComplete(b);
        for (int i = 0; i < 20; ++i)
            QVERIFY(!b.tile(i)->isEnabled());
    }

    // --- click play ---

    void theFirstClickTakesATileIntoTheSpare()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        QCOMPARE(b.form.Label5->caption(), PuzzleForm::ClickInstruction);
        const Picture taken = b.tile(4)->picture();
        b.click(b.tile(4));
        QVERIFY(!b.tile(4)->isVisible());
        QCOMPARE(b.tile(4)->tag(), QStringLiteral("100"));
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("4"));
        QCOMPARE(b.form.Image3->picture(), taken);
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5")); // not recounted yet
    }

    void aClickedTileJumpsIntoTheGapFromEitherSide()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {8, 7, 6, 5, 4, 3, 2, 1, 0});
        b.deal();
        b.click(b.tile(4)); // gap at 4
        b.click(b.tile(8)); // from above the gap (the loop revisits it, harmlessly)
        QCOMPARE(b.tags(), (QStringList {"8", "7", "6", "5", "0", "3", "2", "1", "-"}));
        b.click(b.tile(0)); // from below the gap
        QCOMPARE(b.tags(), (QStringList {"-", "7", "6", "5", "0", "3", "2", "1", "8"}));
        QCOMPARE(b.tile(8)->tag(), QStringLiteral("8"));
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("1"));
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("4"));
    }

    void theGameIsCompleteOnlyOnceTheSpareTileIsBack()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 7, 8});
        b.deal();
        b.click(b.tile(0));
        b.click(b.tile(1));
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("8"));
        QVERIFY(b.form.Label1->caption().isEmpty());
        b.click(b.form.Image3);
        expectComplete(b);
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("100"));
        QVERIFY(b.form.Image3->picture().isNull());
    }

    void anEmptySpareTileOnlyRecounts()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        const QStringList dealt = b.tags();
        b.form.Lbl_Esatti->setCaption(QStringLiteral("?"));
        b.click(b.form.Image3);
        QCOMPARE(b.tags(), dealt);
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5"));
    }

    void draggingTheSpareTileOntoATileDoesNothing()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        b.click(b.tile(7));
        const QStringList held = b.tags();
        b.drag(b.form.Image3, b.tile(0));
        QCOMPARE(b.tags(), held);
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("8"));
    }

    void aGuidedTilePlacedByAMoveIsLocked()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        b.form.mnu_Guidato_Click();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        b.click(b.tile(0));
        b.click(b.tile(1)); // cell 0 jumps to its place
        QVERIFY(!b.tile(0)->isEnabled());
        const QStringList now = b.tags();
        b.click(b.tile(0));
        QCOMPARE(b.tags(), now);
        QCOMPARE(b.player.plays(PuzzleForm::NotifySound), 2);
    }

    void aDealWhileATileIsHeldStartsAGameThatCanBeFinished()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        b.deal();
        b.click(b.tile(3));
        QVERIFY(!b.tile(3)->isVisible());
        b.deal();
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("100"));
        QVERIFY(b.form.Image3->picture().isNull());
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.tile(i)->isVisible());
        QVERIFY(!b.tags().contains(QStringLiteral("100")));
        solveByClicking(b);
        expectComplete(b);
    }

    void aWholeClickGameByMouse()
    {
        Board b(Puzzle_3m(), 23);
        b.form.mnu_Clic->trigger();
        b.chooseGrid(11);
        b.deal();
        solveByClicking(b);
        expectComplete(b);
    }

    void handlersOfOtherMethodsDoNothing()
    {
        Board b; // swap play
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        const QStringList dealt = b.tags();
        b.form.Image2_Click(0);
        b.form.Image2_MouseUp(0);
        QVERIFY(!DragManager::instance()->isDragging());
        b.form.Image3_DragDrop(b.form.Image3);
        b.form.Image3_Click();
        QCOMPARE(b.tags(), dealt);
        b.form.mnu_Clic->trigger();
        b.deal();
        const QStringList clickDeal = b.tags();
        b.form.Image2_DragDrop(0, b.tile(1));
        QCOMPARE(b.tags(), clickDeal);
    }
};

QTEST_MAIN(TestMoves)
#include "tst_moves.moc"
