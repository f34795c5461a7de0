// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up window and the resolution information window.

#include "fakes.h"
#include "sfondo.h"

#include <QLayout>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void theScreenTestIsStrictOnBothSides_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("small");
        QTest::newRow("800 x 600") << 800 << 600 << true;
        QTest::newRow("1023 x 767") << 1023 << 767 << true;
        QTest::newRow("1024 x 768") << 1024 << 768 << false;
        QTest::newRow("1024 x 600") << 1024 << 600 << false;
        QTest::newRow("narrow but tall") << 1000 << 800 << false;
        QTest::newRow("wide but low") << 1280 << 600 << false;
        QTest::newRow("1920 x 1080") << 1920 << 1080 << false;
    }
    void theScreenTestIsStrictOnBothSides()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, small);
        Startup start(width, height);
        Sfondo &sfondo = start.sfondo;
        FakeScreen &screen = start.screen;
        sfondo.Show();
        PuzzleForm *board = small ? sfondo.Puzzle_3m() : sfondo.Puzzle_03();
        QVERIFY(board);
        QVERIFY(!(small ? sfondo.Puzzle_03() : sfondo.Puzzle_3m()));
        QVERIFY(board->isVisible());
        QCOMPARE(board->client()->size(), small ? QSize(742, 496) : QSize(924, 581));
        QCOMPARE(screen.asked,
                 (QList<int> {ScreenMetrics::SM_CXSCREEN, ScreenMetrics::SM_CYSCREEN}));
    }

    void theResolutionMessageReadsCharacterForCharacter()
    {
        Startup start(800, 600, MessageBoxService::Answer::Cancel);
        Sfondo &sfondo = start.sfondo;
        FakeMessageBox &messages = start.messages;
        sfondo.Show();
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(messages.calls[0].prompt,
                 QStringLiteral("La definizione dello schermo attuale e'  800 X  600"));
        QCOMPARE(messages.calls[0].buttons, 1);
        QCOMPARE(messages.calls[0].title, QStringLiteral(" Schermo attuale"));
        QVERIFY(sfondo.Puzzle_3m() && sfondo.Puzzle_3m()->isVisible());
        QCOMPARE(Sfondo::signedNumber(-5), QStringLiteral("-5"));
        QCOMPARE(Sfondo::signedNumber(0), QStringLiteral(" 0"));
    }

    void theBackgroundIsADisabledLightYellowScreenBehindTheBoard()
    {
        Startup start(1024, 768);
        Sfondo &sfondo = start.sfondo;
        sfondo.Show();
        QVERIFY(sfondo.isVisible());
        QVERIFY(!sfondo.isEnabled());
        QCOMPARE(sfondo.caption(), QStringLiteral("Puzzle"));
        QCOMPARE(sfondo.client()->palette().color(QPalette::Window), QColor(255, 255, 192));
        QVERIFY(sfondo.windowState() & Qt::WindowMaximized);
        QCOMPARE(sfondo.geometry().size(),
                 QGuiApplication::primaryScreen()->availableGeometry().size());
        QVERIFY(!(sfondo.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(sfondo.windowIcon().availableSizes().size(), 2);
    }

    void focusOnTheBackgroundBringsTheSameBoardBackUnchanged()
    {
        Startup start(1024, 768);
        Sfondo &sfondo = start.sfondo;
        FakeMessageBox &messages = start.messages;
        sfondo.Show();
        PuzzleForm *board = sfondo.Puzzle_03();
        board->Cmd_Scambia->click();
        const QString dealt = board->Image2(0)->tag();
        board->hide();
        // The activation and the press of one click both ask: one request, after both.
        sfondo.Form_GotFocus();
        sfondo.Form_GotFocus();
        QVERIFY(!board->isVisible()); // after the events that asked, not within them
        QTRY_VERIFY(board->isVisible());
        QCOMPARE(sfondo.Puzzle_03(), board);
        QVERIFY2(board->Frame1->isVisible(), "the game in progress is still there");
        QCOMPARE(board->Image2(0)->tag(), dealt);
        // A press on the disabled background asks too, whether or not it has the focus.
        board->hide();
        QTest::mousePress(sfondo.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_VERIFY(board->isVisible());
        QCOMPARE(board->Image2(0)->tag(), dealt);
        QVERIFY(!sfondo.Puzzle_3m());
        QCOMPARE(messages.calls.size(), 1);
    }

    void theBoardHasAFixedSizeAndComesBackFromMinimized()
    {
        Startup start(1024, 768);
        Sfondo &sfondo = start.sfondo;
        sfondo.Show();
        PuzzleForm *board = sfondo.Puzzle_03();
        QVERIFY(QTest::qWaitForWindowExposed(board));
        QVERIFY(board->layout()->sizeConstraint() == QLayout::SetFixedSize);
        QCOMPARE(board->minimumSize(), board->maximumSize());
        // A maximize asked all the same (a title bar drawn by Qt offers it) is given back.
        const QSize size = board->size();
        board->windowHandle()->setWindowStates(Qt::WindowMaximized);
        QTRY_COMPARE(board->windowHandle()->windowStates(), Qt::WindowNoState);
        QCOMPARE(board->size(), size);

        board->setWindowState(Qt::WindowMinimized);
        sfondo.activateWindow();
        QTRY_VERIFY(!(board->windowState() & Qt::WindowMinimized));
        QVERIFY(board->isVisible());
    }

    void theResolutionWindowReportsInLabelsAndCaption_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1024 x 768") << 1024 << 768 << QStringLiteral("Vero");
        QTest::newRow("800 x 600") << 800 << 600 << QStringLiteral("Falso");
        QTest::newRow("1280 x 1024") << 1280 << 1024 << QStringLiteral("Form1");
        QTest::newRow("1024 x 600") << 1024 << 600 << QStringLiteral("Form1");
        QTest::newRow("800 x 768") << 800 << 768 << QStringLiteral("Form1");
    }
    void theResolutionWindowReportsInLabelsAndCaption()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, caption);
        FakeScreen screen(width, height);
        FakeMessageBox messages;
        messages.answer = MessageBoxService::Answer::Cancel;
        Form1 form(screen, messages);
        QCOMPARE(form.caption(), QStringLiteral("Form1"));
        form.Show();
        QCOMPARE(form.caption(), caption);
        QCOMPARE(form.Label1->caption(), QStringLiteral(" ") + QString::number(width));
        QCOMPARE(form.Label2->caption(), QStringLiteral(" ") + QString::number(height));
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(messages.calls[0].prompt,
                 QStringLiteral("definizione dello schermo attuale e'  %1 X  %2")
                     .arg(width)
                     .arg(height));
        QCOMPARE(messages.calls[0].title, QStringLiteral(" Schermo attuale"));
        QCOMPARE(messages.calls[0].buttons, 1);
        QCOMPARE(form.client()->size(), QSize(312, 213));
        QCOMPARE(form.Label2->geometry(), QRect(16, 80, 105, 41));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
