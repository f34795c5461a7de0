// SPDX-License-Identifier: GPL-3.0-or-later
// The three move methods, played with the mouse and with the keys through the window.

#include "dragmanager.h"
#include "fakes.h"

#include <QAccessible>
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
            b.act(b.tile(j));
            b.act(b.tile(i));
        } else {
            b.carry(b.tile(j), b.tile(i));
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
            b.act(b.tile(misplaced));
            continue;
        }
        int gap = -1;
        for (int i = 0; i < b.form.TileCount; ++i)
            if (b.tile(i)->tag() == QLatin1String("100"))
                gap = i;
        QVERIFY(gap >= 0);
        if (b.form.Image3->tag().toInt() == gap) {
            // Press and release on the spare tile puts it back; by keys, pick up and put down.
            if (b.byKeys)
                b.keyDrag(b.form.Image3, b.form.Image3);
            else
                b.click(b.form.Image3);
        } else {
            b.act(b.tile(tileShowing(b, gap)));
        }
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
    static void byEitherDevice()
    {
        QTest::addColumn<bool>("keys");
        QTest::newRow("mouse") << false;
        QTest::newRow("keys") << true;
    }

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

    void aWholeSwapGame_data() { byEitherDevice(); }
    void aWholeSwapGame()
    {
        Board b(Puzzle_3m(), 11);
        QFETCH(bool, keys);
        b.byKeys = keys;
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

    void aWholeTwoStepGame_data() { byEitherDevice(); }
    void aWholeTwoStepGame()
    {
        Board b(Puzzle_03(), 5);
        QFETCH(bool, keys);
        b.byKeys = keys;
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

    void aWholeClickGame_data() { byEitherDevice(); }
    void aWholeClickGame()
    {
        Board b(Puzzle_3m(), 23);
        QFETCH(bool, keys);
        b.byKeys = keys;
        b.form.mnu_Clic->trigger();
        b.chooseGrid(11);
        b.deal();
        solveByClicking(b);
        expectComplete(b);
    }

    // --- the keys ---

    void theKeysMoveAFramedPlaceOverTheTiles_data()
    {
        QTest::addColumn<int>("method"); // 0 swap, 1 two-step, 2 click
        QTest::addColumn<int>("grid");
        QTest::addColumn<QList<int>>("keys"); // a key, or -1 for Ctrl with the next
        QTest::addColumn<int>("place"); // -1 the spare tile
        const int L = Qt::Key_Left, R = Qt::Key_Right, U = Qt::Key_Up, D = Qt::Key_Down;
        const int H = Qt::Key_Home, E = Qt::Key_End;
        QTest::newRow("right") << 0 << 5 << QList<int> {R} << 1;
        QTest::newRow("right wraps to the next row") << 0 << 5 << QList<int> {R, R, R} << 3;
        QTest::newRow("left from the first to the last") << 0 << 5 << QList<int> {L} << 8;
        QTest::newRow("down wraps to the top") << 1 << 5 << QList<int> {R, D, D, D} << 1;
        QTest::newRow("up wraps to the bottom") << 1 << 5 << QList<int> {U} << 6;
        QTest::newRow("home and end of a row") << 0 << 5 << QList<int> {D, R, E} << 5;
        QTest::newRow("home of a row") << 0 << 5 << QList<int> {D, E, H} << 3;
        QTest::newRow("ctrl end") << 0 << 5 << QList<int> {-1, E} << 8;
        QTest::newRow("3 X 2 down") << 0 << 4 << QList<int> {R, D} << 4;
        QTest::newRow("2 X 3 down twice") << 0 << 3 << QList<int> {R, D, D} << 5;
        QTest::newRow("no spare place in swap play") << 0 << 5 << QList<int> {D, H, L} << 2;
        QTest::newRow("left of the first tile, the spare") << 2 << 5 << QList<int> {L} << -1;
        QTest::newRow("right of the last tile, the spare") << 2 << 5 << QList<int> {-1, E, R} << -1;
        QTest::newRow("from the spare back to the first") << 2 << 5 << QList<int> {R, L, L, R} << 0;
        QTest::newRow("from the spare, down to its row") << 2 << 5 << QList<int> {-1, E, R, D} << 6;
    }
    void theKeysMoveAFramedPlaceOverTheTiles()
    {
        QFETCH(int, method);
        QFETCH(int, grid);
        QFETCH(QList<int>, keys);
        QFETCH(int, place);
        Board b;
        QVERIFY(b.form.Cmd_Scambia->hasFocus()); // a Space at once deals, never leaves
        QAction *methods[] = {b.form.mnu_Scambio, b.form.mnu_Scambio2, b.form.mnu_Clic};
        methods[method]->trigger();
        b.chooseGrid(grid);
        QVERIFY(!b.tabToTiles()); // no tile to reach before the deal
        b.deal();
        QVERIFY(b.tabToTiles());
        QCOMPARE(b.keyPlace(), b.tile(0));
        QVERIFY(b.form.keys()->markShown());
        const QStringList dealt = b.tags();
        for (int i = 0; i < keys.size(); ++i) {
            if (keys[i] == -1)
                b.key(Qt::Key(keys[++i]), Qt::ControlModifier);
            else
                b.key(Qt::Key(keys[i]));
        }
        QCOMPARE(b.keyPlace(), place < 0 ? b.form.Image3 : b.tile(place));
        QCOMPARE(b.tags(), dealt); // moving the frame moves no tile
        b.move(b.form.Label3);
        QVERIFY(b.form.keys()->markShown()); // the mouse only passing by
        b.click(b.form.Label3);
        QVERIFY(!b.form.keys()->markShown()); // the mouse in use
        b.key(Qt::Key_Right);
        QVERIFY(b.form.keys()->markShown());
        // Round the tab stops: the tiles, "Mostra Puzzle", "Esci".
        b.key(Qt::Key_Tab);
        QVERIFY(b.form.Cmd_Scambia->hasFocus());
        QVERIFY(!b.form.keys()->markShown());
        b.key(Qt::Key_Tab);
        QVERIFY(b.form.Cmd_Esci->hasFocus());
        b.key(Qt::Key_Tab);
        QVERIFY(b.form.Frame1->hasFocus());
        QVERIFY(b.form.keys()->markShown());
        b.key(Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(b.form.Cmd_Esci->hasFocus());
        QCOMPARE(b.tags(), dealt);
    }

    void swapByKeysPicksUpCarriesPutsDownAndEscapeGivesBack()
    {
        Board b;
        b.form.mnu_Guidato_Click();
        script(b.random, {0, 2, 1, 3, 4, 5, 6, 8, 7});
        b.deal();
        const QStringList dealt = b.tags();
        b.keyClick(b.tile(1));
        QCOMPARE(DragManager::instance()->source(), b.tile(1));
        b.key(Qt::Key_Right);
        QVERIFY(b.tile(2)->dropHighlight()); // shown as a drag is
        b.key(Qt::Key_Escape);
        QVERIFY(!DragManager::instance()->isDragging());
        QVERIFY(!b.tile(2)->dropHighlight());
        b.key(Qt::Key_Space); // on tile 2, with nothing carried: picks it up
        b.key(Qt::Key_Space); // and puts it down on itself
        QCOMPARE(b.tags(), dealt);
        b.keyDrag(b.tile(1), b.tile(0)); // tile 0 is locked
        QCOMPARE(b.tags(), dealt);
        b.keyClick(b.tile(0)); // nor can it be picked up
        QVERIFY(!DragManager::instance()->isDragging());
        b.keyDrag(b.tile(1), b.tile(2));
        QCOMPARE(b.tags().mid(0, 3), (QStringList {"0", "1", "2"}));
        QVERIFY(!b.tile(2)->isEnabled());
        QCOMPARE(b.player.plays(PuzzleForm::NotifySound), 2);
        // The mouse ends a drag the keys began.
        b.keyClick(b.tile(7));
        b.click(b.tile(8));
        QVERIFY(!DragManager::instance()->isDragging());
        expectComplete(b);
    }

    void twoStepByKeysPicksUpThenExchanges()
    {
        Board b;
        b.form.mnu_Scambio2->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        b.keyClick(b.tile(0));
        QCOMPARE(DragManager::instance()->source(), b.tile(0));
        b.key(Qt::Key_Right);
        QVERIFY(b.tile(1)->dropHighlight());
        b.key(Qt::Key_Space);
        QVERIFY(!DragManager::instance()->isDragging());
        QCOMPARE(b.tags().mid(0, 2), (QStringList {"0", "1"}));
        b.keyClick(b.tile(7));
        b.key(Qt::Key_Escape);
        b.keyClick(b.tile(8)); // a fresh pick-up, nothing exchanged
        QCOMPARE(DragManager::instance()->source(), b.tile(8));
        QCOMPARE(b.tags().mid(7), (QStringList {"8", "7"}));
        b.keyTo(b.tile(7));
        b.key(Qt::Key_Enter);
        expectComplete(b);
    }

    void clickPlayByKeysTakesJumpsAndPutsTheSpareBack()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 7, 8});
        b.deal();
        b.keyClick(b.form.Image3); // an empty spare, put down on itself: only a recount
        b.key(Qt::Key_Space);
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("100"));
        b.keyClick(b.tile(0));
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("1"));
        QVERIFY(!b.tile(0)->isVisible());
        QCOMPARE(b.keyPlace(), b.tile(0)); // the frame stays on the gap
        b.key(Qt::Key_Space); // the gap takes no key
        QCOMPARE(b.tags(), (QStringList {"-", "0", "2", "3", "4", "5", "6", "7", "8"}));
        b.keyClick(b.tile(1));
        QCOMPARE(b.tags(), (QStringList {"0", "-", "2", "3", "4", "5", "6", "7", "8"}));
        b.keyDrag(b.form.Image3, b.tile(2)); // the spare put down on a tile: nothing
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("1"));
        b.keyDrag(b.form.Image3, b.form.Image3);
        expectComplete(b);
        QCOMPARE(b.keyPlace(), b.form.Image3);
        b.form.mnu_Scambio->trigger(); // the spare place goes: the keys start again at the first
        b.deal();
        QVERIFY(b.tabToTiles());
        QCOMPARE(b.keyPlace(), b.tile(0));
        QVERIFY(b.form.keys()->markShown());
    }

    // What a screen reader reads (the events that carry it are checked end to end: this
    // platform announces nothing).
    void aScreenReaderReadsTilesWhereTheKeysPoint()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        b.form.mnu_Guidato_Click();
        script(b.random, {0, 2, 1, 3, 4, 5, 6, 8, 7});
        b.deal();
        const auto face = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w);
        };
        const auto name = [&](QWidget *w) {
            return face(w)->text(QAccessible::Name);
        };
        QCOMPARE(name(b.tile(0)),
                 QStringLiteral("Tessera 1, riga 1, colonna 1, al suo posto, bloccata"));
        QCOMPARE(name(b.tile(1)), QStringLiteral("Tessera 3, riga 1, colonna 2"));
        QCOMPARE(name(b.tile(7)), QStringLiteral("Tessera 9, riga 3, colonna 2"));
        QCOMPARE(name(b.tile(9)), QString()); // not in play
        QCOMPARE(name(b.form.Image3), QStringLiteral("Riserva, vuota"));
        QCOMPARE(name(b.form.Image4), QStringLiteral("Immagine di riferimento"));
        QCOMPARE(name(b.form.Frame1), QStringLiteral("Tessere"));
        QCOMPARE(face(b.form.Lbl_Errati)->text(QAccessible::Description),
                 QStringLiteral("Da posizionare"));
        QCOMPARE(face(b.tile(1))->role(), QAccessible::Button);
        QCOMPARE(face(b.form.Image4)->role(), QAccessible::Graphic);
        QVERIFY(face(b.tile(1))->state().focusable && !face(b.tile(1))->state().focused);
        QVERIFY(face(b.tile(0))->state().disabled);

        b.keyTo(b.tile(1));
        QVERIFY(face(b.tile(1))->state().focused);
        QVERIFY(!face(b.tile(0))->state().focused);
        b.key(Qt::Key_Space); // taken into the spare
        QCOMPARE(name(b.tile(1)), QStringLiteral("Spazio vuoto, riga 1, colonna 2"));
        QCOMPARE(name(b.form.Image3), QStringLiteral("Riserva, tessera 3"));
        b.keyClick(b.tile(2)); // cell 1 jumps into its place
        QCOMPARE(name(b.tile(1)),
                 QStringLiteral("Tessera 2, riga 1, colonna 2, al suo posto, bloccata"));
        QCOMPARE(name(b.tile(2)), QStringLiteral("Spazio vuoto, riga 1, colonna 3"));
        QCOMPARE(name(b.form.Lbl_Esatti), QStringLiteral("6"));
        b.key(Qt::Key_Left);
        b.key(Qt::Key_Left);
        b.key(Qt::Key_Left);
        QCOMPARE(b.keyPlace(), b.form.Image3);
        QVERIFY(face(b.form.Image3)->state().focused);
        b.key(Qt::Key_Tab);
        QVERIFY(!face(b.form.Image3)->state().focused); // the focus left the tile area
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
