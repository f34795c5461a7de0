// SPDX-License-Identifier: GPL-3.0-or-later
// The options menu, the grid menu, and leaving the game.

#include "dragmanager.h"
#include "fakes.h"

#include <QTest>

namespace {
void expectPictureShown(Board &b)
{
    QVERIFY(!b.form.Frame1->isVisible());
    QVERIFY(b.form.Image1->isVisible());
    QVERIFY(!b.form.Image4->isVisible());
    QVERIFY(!b.form.Label5->isVisible());
    QVERIFY(!b.form.Lbl_Esatti->isVisible());
    QVERIFY(!b.form.Lbl_Errati->isVisible());
    QVERIFY(b.form.Label1->caption().isEmpty());
    QCOMPARE(b.form.Image3->tag(), QStringLiteral("100"));
}
} // namespace

class TestOptions : public QObject
{
    Q_OBJECT
private slots:
    void eachMethodSetsItsFlagsCaptionAndInstruction_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("instruction");
        QTest::newRow("Con Scambio") << 0 << "Con Scambio" << PuzzleForm::DragInstruction;
        QTest::newRow("Scambio in Due Tempi")
            << 1 << "Con Scambio in Due Tempi" << PuzzleForm::DragInstruction;
        QTest::newRow("Con Click") << 2 << "Con Click" << PuzzleForm::ClickInstruction;
    }
    void eachMethodSetsItsFlagsCaptionAndInstruction()
    {
        QFETCH(int, method);
        QFETCH(QString, caption);
        QFETCH(QString, instruction);
        Board b;
        QAction *items[] = {b.form.mnu_Scambio, b.form.mnu_Scambio2, b.form.mnu_Clic};
        for (int repeat = 0; repeat < 2; ++repeat) { // the active method rebuilds too
            b.deal();
            items[method]->trigger();
            QCOMPARE(b.form.SwapMode, method == 0 ? PuzzleForm::True : PuzzleForm::False);
            QCOMPARE(b.form.TwoStepSwapMode, method == 1 ? PuzzleForm::True : PuzzleForm::False);
            QCOMPARE(b.form.ClickMode, method == 2 ? PuzzleForm::True : PuzzleForm::False);
            QCOMPARE(b.form.Label6->caption(), caption);
            QCOMPARE(b.form.Label5->caption(), instruction);
            QVERIFY(!b.form.Image3->isVisible());
            expectPictureShown(b);
        }
        b.deal();
        QVERIFY(b.form.Label5->isVisible());
        QCOMPARE(b.form.Image3->isVisible(), method == 2);
    }

    void guidedPlayTakesEffectAtTheNextRecount()
    {
        Board b;
        script(b.random, {0, 2, 1, 3, 4, 5, 6, 8, 7});
        b.deal();
        b.form.mnu_Guidato->trigger();
        QCOMPARE(b.form.Label4->caption(), QStringLiteral("Guidato"));
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.tile(i)->isEnabled());
        QVERIFY(b.form.Frame1->isVisible()); // no rebuild
        QVERIFY(b.player.log.isEmpty());
        b.drag(b.tile(1), b.tile(2));
        for (int i = 0; i < 7; ++i)
            QVERIFY(!b.tile(i)->isEnabled());
        QVERIFY(b.tile(7)->isEnabled());
        QCOMPARE(b.player.plays(PuzzleForm::NotifySound), 1);

        b.form.mnu_Libero->trigger();
        QCOMPARE(b.form.Label4->caption(), QStringLiteral("Non Guidato"));
        b.drag(b.tile(7), b.tile(8)); // completes; locked tiles stay locked
        QVERIFY(!b.tile(0)->isEnabled());
        QVERIFY(b.tile(7)->isEnabled());
        QCOMPARE(b.player.plays(PuzzleForm::NotifySound), 1);
        QCOMPARE(b.player.plays(PuzzleForm::FanfareSound), 1);
        b.deal();
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.tile(i)->isEnabled());
    }

    void aMethodChoiceDiscardsAHeldTile()
    {
        Board b;
        b.form.mnu_Clic->trigger();
        b.deal();
        b.click(b.tile(2));
        b.form.mnu_Clic->trigger();
        expectPictureShown(b);
        QVERIFY(b.form.Image3->picture().isNull());
        b.deal();
        for (int i = 0; i < 9; ++i) {
            QVERIFY(b.tile(i)->isVisible());
            QVERIFY(!b.tile(i)->picture().isNull());
        }
        QVERIFY(b.form.Image3->picture().isNull());
    }

    void aMethodChoiceMidDragEndsTheDrag()
    {
        Board b;
        b.form.mnu_Scambio2->trigger();
        b.deal();
        b.click(b.tile(0));
        QVERIFY(DragManager::instance()->isDragging());
        b.form.mnu_Scambio->trigger();
        QVERIFY(!DragManager::instance()->isDragging());
    }

    void everyGridChoiceRebuildsWithItsTiles()
    {
        Board b;
        const int expected[] = {2, 2, 4, 6, 6, 9, 12, 12, 16, 20, 20, 25, 30};
        for (int grid = 0; grid < 13; ++grid) {
            b.deal();
            b.chooseGrid(grid);
            QCOMPARE(int(b.form.TileCount), expected[grid]);
            QCOMPARE(b.form.co_ri[static_cast<size_t>(grid)]->text(),
                     QString::fromLatin1(gridChoices()[grid].caption));
            expectPictureShown(b);
            b.deal();
            int shown = 0;
            for (int i = 0; i < 30; ++i)
                shown += b.tile(i)->isVisible();
            QCOMPARE(shown, expected[grid]);
            // Tiles lie row by row: the last tile in the last row and column.
            const QRectF last = b.tile(expected[grid] - 1)->twips();
            QCOMPARE(last.left(), double(float(gridChoices()[grid].cols - 1) * b.form.TileWidth));
            QCOMPARE(last.top(), double((gridChoices()[grid].rows - 1) * b.form.TileHeight));
        }
    }

    void theActiveGridStillAbandonsTheGame()
    {
        Board b;
        b.deal();
        b.chooseGrid(5); // 3 X 3 again
        expectPictureShown(b);
        QCOMPARE(b.form.TileCount, 9);
    }

    void esciEndsAtOnceAndClosingEndsToo()
    {
        int ended = 0;
        Window::setEndHandler([&] { ++ended; });
        {
            Board b;
            b.deal();
            b.click(b.form.Cmd_Esci);
            QCOMPARE(ended, 1);
            b.form.close();
            QCOMPARE(ended, 2);
        }
        Window::setEndHandler({});
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
