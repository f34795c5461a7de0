// SPDX-License-Identifier: GPL-3.0-or-later
// Shuffling, dealing, scoring, locking and completion, with the two sounds.

#include "fakes.h"

#include <QTest>

namespace {
// What the player is asked to do to play one sound.
QStringList sequence(const QString &file)
{
    return {QStringLiteral("file=") + file, QStringLiteral("close"), QStringLiteral("open"),
            QStringLiteral("play")};
}
} // namespace

class TestDeal : public QObject
{
    Q_OBJECT
private slots:
    void twoTilesAreAlwaysDealtExchanged()
    {
        for (int grid : {0, 1}) {
            Board b;
            b.chooseGrid(grid);
            for (int round = 0; round < 20; ++round) {
                b.deal();
                QCOMPARE(b.tags(), (QStringList {"1", "0"}));
                QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("0"));
                QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("2"));
                QVERIFY(b.form.Label1->caption().isEmpty());
            }
            QCOMPARE(b.random.draws, 0);
        }
    }

    void everyDealPutsEveryCellOnExactlyOneTile()
    {
        Board b;
        for (int grid = 0; grid < 13; ++grid) {
            b.chooseGrid(grid);
            for (int round = 0; round < 25; ++round) {
                b.form.Cmd_Scambia_Click();
                QStringList sorted = b.tags();
                std::sort(sorted.begin(), sorted.end(),
                          [](const QString &x, const QString &y) { return x.toInt() < y.toInt(); });
                QStringList expected;
                for (int i = 0; i < b.form.TileCount; ++i)
                    expected << QString::number(i);
                QCOMPARE(sorted, expected);
            }
        }
    }

    void thirtyTilesShowTheirCellsAndAreReadyForSwapPlay()
    {
        Board b;
        b.chooseGrid(12);
        b.form.Image2(3)->setBorderStyle(1);
        b.deal();
        QSet<QString> tags;
        for (int i = 0; i < 30; ++i) {
            PictureBox *tile = b.tile(i);
            tags.insert(tile->tag());
            QVERIFY(tile->isVisible());
            QCOMPARE(tile->borderStyle(), 0);
            QCOMPARE(tile->dragMode(), DragMode::Automatic);
            QCOMPARE(tile->picture(), b.form.PictureClip1.GraphicCell(tile->tag().toInt()));
        }
        QCOMPARE(tags.size(), 30);
        QVERIFY(b.form.Frame1->isVisible());
        QVERIFY(b.form.Image4->isVisible());
        QVERIFY(b.form.Label5->isVisible());
        QVERIFY(!b.form.Image1->isVisible());
        QVERIFY(!b.form.Image3->isVisible());
        for (QWidget *w : std::initializer_list<QWidget *> {b.form.Label2, b.form.Lbl_Errati,
                                                            b.form.Label3, b.form.Lbl_Esatti})
            QVERIFY(w->isVisible());
    }

    void theRejectionLoopRedrawsATakenCell()
    {
        Board b;
        b.chooseGrid(2); // 2 X 2
        for (float r : {0.1f, 0.1f, 0.1f, 0.6f, 0.3f, 0.6f, 0.9f})
            b.random.script.push_back(r);
        b.deal();
        QCOMPARE(b.tags(), (QStringList {"0", "2", "1", "3"}));
        QCOMPARE(b.random.draws, 7);
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("2"));
        QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("2"));
    }

    void aSolvedDealIsCompleteAtOnceAndStillShowsTheBoard()
    {
        Board b;
        b.chooseGrid(2);
        script(b.random, {0, 1, 2, 3});
        b.deal();
        QCOMPARE(b.form.Label1->caption(),
                 QStringLiteral("Complimenti! Hai completato il puzzle!"));
        QVERIFY(b.form.Image1->isVisible());
        QCOMPARE(b.form.Image1->picture(), b.form.PictureClip1.picture());
        QVERIFY(b.form.Frame1->isVisible());
        QVERIFY(b.form.Image4->isVisible());
        QCOMPARE(b.player.log, sequence(PuzzleForm::FanfareSound));
        // The tile area lies above the whole picture.
        QCOMPARE(b.form.childAt(b.centre(b.tile(0))), b.tile(0));
        // The deal's last step runs after the check: swap play may drag again.
        QCOMPARE(b.tile(0)->dragMode(), DragMode::Automatic);
        b.deal(); // the next deal clears the congratulation
        QVERIFY(b.form.Label1->caption().isEmpty() || b.placedCount() == 4);
    }

    void countersRecountAfterEveryDeal()
    {
        Board b;
        script(b.random, {0, 2, 1, 3, 5, 4, 8, 7, 6});
        b.deal();
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("3"));
        QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("6"));
        script(b.random, {8, 0, 1, 2, 3, 4, 5, 6, 7});
        b.deal();
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("0"));
        QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("9"));
        QCOMPARE(b.form.PlacedCount, 0);
        QCOMPARE(b.form.MisplacedCount, 0); // only a placed tile writes it
        QCOMPARE(b.form.TileIndex, 9);
    }

    void tagsCountByTheirNumericValue()
    {
        Board b;
        script(b.random, {8, 0, 1, 2, 3, 4, 5, 6, 7});
        b.deal();
        b.tile(0)->setTag(QStringLiteral(" 0.0"));
        b.tile(5)->setTag(QStringLiteral("5"));
        b.form.Image2_DragDrop(1, b.tile(1)); // a move recounts
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("2"));
    }

    void guidedPlayLocksPlacedTilesAndChimesOncePerRise()
    {
        Board b;
        b.form.mnu_Guidato_Click();
        script(b.random, {0, 2, 1, 3, 5, 4, 8, 7, 6});
        b.deal();
        QCOMPARE(b.player.log, sequence(PuzzleForm::NotifySound));
        QVERIFY(!b.tile(0)->isEnabled());
        QVERIFY(!b.tile(3)->isEnabled());
        QVERIFY(!b.tile(7)->isEnabled());
        QVERIFY(b.tile(1)->isEnabled());
        QCOMPARE(b.form.LastSoundCount, 3);

        b.player.log.clear();
        b.drag(b.tile(1), b.tile(2)); // places 1 and 2
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5"));
        QCOMPARE(b.player.log, sequence(PuzzleForm::NotifySound));
        QVERIFY(!b.tile(1)->isEnabled() && !b.tile(2)->isEnabled());

        b.player.log.clear();
        b.drag(b.tile(4), b.tile(6)); // places neither
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5"));
        QVERIFY(b.player.log.isEmpty());

        b.drag(b.tile(4), b.tile(5)); // tile 4 gets its own cell back
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("6"));
        QCOMPARE(b.form.Lbl_Errati->caption(), QStringLiteral("3"));
        QCOMPARE(b.player.log, sequence(PuzzleForm::NotifySound));
        QVERIFY(!b.tile(4)->isEnabled());
    }

    void theLastPlacementChimesAndTheFanfareCutsItShort()
    {
        Board b;
        b.form.mnu_Guidato_Click();
        script(b.random, {1, 0, 2, 3, 4, 5, 6, 7, 8});
        b.deal();
        b.player.log.clear();
        b.drag(b.tile(0), b.tile(1));
        QCOMPARE(b.player.log,
                 sequence(PuzzleForm::NotifySound) + sequence(PuzzleForm::FanfareSound));
        QCOMPARE(b.form.Label1->caption(), PuzzleForm::Congratulation);
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!b.tile(i)->isEnabled());
            QCOMPARE(b.tile(i)->dragMode(), DragMode::Manual);
        }
    }

    void freePlayNeverLocksOrChimes()
    {
        Board b;
        script(b.random, {0, 1, 2, 3, 4, 5, 6, 8, 7});
        b.deal();
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.tile(i)->isEnabled());
        b.drag(b.tile(0), b.tile(4)); // placed tiles can be moved away again
        QCOMPARE(b.form.Lbl_Esatti->caption(), QStringLiteral("5"));
        QVERIFY(b.player.log.isEmpty());
    }

    void eachMethodDealsItsDragModesAndSpareTile_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("dragMode");
        QTest::addColumn<bool>("spareShown");
        QTest::newRow("swap") << 0 << int(DragMode::Automatic) << false;
        QTest::newRow("two-step") << 1 << int(DragMode::Manual) << false;
        QTest::newRow("click") << 2 << int(DragMode::Manual) << true;
    }
    void eachMethodDealsItsDragModesAndSpareTile()
    {
        QFETCH(int, method);
        QFETCH(int, dragMode);
        QFETCH(bool, spareShown);
        Board b;
        QAction *choice[] = {b.form.mnu_Scambio, b.form.mnu_Scambio2, b.form.mnu_Clic};
        choice[method]->trigger();
        b.chooseGrid(9);
        b.deal();
        for (int i = 0; i < b.form.TileCount; ++i)
            QCOMPARE(int(b.tile(i)->dragMode()), dragMode);
        QCOMPARE(b.form.Image3->isVisible(), spareShown);
        QCOMPARE(b.form.Image3->tag(), QStringLiteral("100"));
        QVERIFY(b.form.Image3->picture().isNull());
    }

    void aNewDealUnlocksEveryTile()
    {
        Board b;
        b.form.mnu_Guidato_Click();
        script(b.random, {0, 1, 2, 3, 4, 5, 8, 6, 7});
        b.deal();
        QVERIFY(!b.tile(0)->isEnabled());
        script(b.random, {8, 0, 1, 2, 3, 4, 5, 6, 7});
        b.deal();
        for (int i = 0; i < 9; ++i)
            QVERIFY(b.tile(i)->isEnabled());
        QCOMPARE(b.form.LastSoundCount, 0);
    }
};

QTEST_MAIN(TestDeal)
#include "tst_deal.moc"
