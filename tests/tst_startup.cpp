// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up window and the resolution information window.

#include "fakes.h"
#include "pictures.h"
#include "sfondo.h"
#include "twips.h"

#include <QLayout>
#include <QTemporaryDir>
#include <QTest>

using namespace testpictures;

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
        // As defined, or drawn smaller where the screen is too low for it (1024 x 600).
        const QSizeF defined = small ? QSizeF(742, 496) : QSizeF(924, 581);
        QCOMPARE(layoutScale() < 1, height < (small ? 563 : 671));
        QVERIFY(qAbs(board->client()->width() - defined.width() * layoutScale()) <= 1);
        QVERIFY(qAbs(board->client()->height() - defined.height() * layoutScale()) <= 1);
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
        QCOMPARE(sfondo.geometry().size(), start.screen.workArea().size());
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

    // Screens in logical pixels, as a scaled desktop reports them.
    void everyWindowGoesOnThePrimaryScreenAndTheBoardFitsIt_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("workArea");
        QTest::addColumn<bool>("shrunk");
        QTest::newRow("1024 x 768") << 1024 << 768 << QRect(0, 0, 1024, 768) << false;
        QTest::newRow("800 x 600") << 800 << 600 << QRect(0, 0, 800, 600) << false;
        QTest::newRow("primary right of a 1920 x 1080")
            << 1280 << 1024 << QRect(1920, 0, 1280, 1024) << false;
        QTest::newRow("a top panel") << 1024 << 768 << QRect(0, 32, 1024, 736) << false;
        QTest::newRow("1366 x 768 at 150%") << 911 << 512 << QRect(0, 0, 911, 512) << true;
        QTest::newRow("1920 x 1080 at 200%") << 960 << 540 << QRect(0, 0, 960, 540) << true;
        QTest::newRow("1280 x 720 at 125%") << 1024 << 576 << QRect(0, 0, 1024, 576) << true;
    }
    void everyWindowGoesOnThePrimaryScreenAndTheBoardFitsIt()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QRect, workArea);
        QFETCH(bool, shrunk);
        Startup start(width, height);
        start.screen.area = workArea;
        start.sfondo.Show();
        QCOMPARE(start.sfondo.geometry().size(), workArea.size());
        QVERIFY(workArea.contains(start.sfondo.geometry().center()));
        const bool small = width < 1024 && height < 768;
        PuzzleForm *board = small ? start.sfondo.Puzzle_3m() : start.sfondo.Puzzle_03();
        const QSize defined = small ? QSize(742, 496) : QSize(924, 581);
        const QPoint origin = small ? QPoint(27, 59) : QPoint(44, 82);
        const QRect client(board->geometry().topLeft()
                               + board->client()->mapTo(board, QPoint(0, 0)),
                           board->client()->size());
        QCOMPARE(client.size() != defined, shrunk);
        // Placed from the corner of the primary screen's usable area, whole within it.
        QCOMPARE(client.topLeft(),
                 workArea.topLeft() + (QPointF(origin) * layoutScale()).toPoint());
        QVERIFY(board->geometry().top() >= workArea.top());
        QVERIFY(client.right() < workArea.right() && client.bottom() < workArea.bottom());
        // Tiles, text and buttons shrink together.
        QVERIFY(qAbs(client.width() - defined.width() * layoutScale()) <= 1);
        QVERIFY(board->client()->rect().contains(board->Cmd_Esci->geometry()));
        QCOMPARE(board->Label2->font().pixelSize(), qRound(16 * layoutScale()));
        board->Cmd_Scambia->click();
        QVERIFY(board->Frame1->rect().contains(board->Image2(board->TileCount - 1)->geometry()));
    }

    void aPictureGivenAtStartIsLoadedBeforeTheBoardShows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("loads");
        QTest::newRow("a picture") << encoded(scene(64, 48), "PNG") << true;
        QTest::newRow("not a picture") << QByteArray("Questa non e' una foto.\n") << false;
        QTest::newRow("no such file") << QByteArray() << false;
    }
    void aPictureGivenAtStartIsLoadedBeforeTheBoardShows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, loads);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("foto.png"));
        if (!bytes.isEmpty())
            QVERIFY(write(path, bytes));
        const Picture builtIn = Board().form.Image1->picture();
        Startup start(1024, 768);
        start.sfondo.setStartPicture(path);
        start.sfondo.Show();
        PuzzleForm *board = start.sfondo.Puzzle_03();
        QCOMPARE(start.messages.calls.size(), 1); // the box first, as always
        QCOMPARE(board->Image1->picture() == builtIn, !loads);
        QCOMPARE(board->PictureClip1.picture(), board->Image1->picture());
        if (loads)
            QCOMPARE(board->Image1->picture().size(), QSize(64, 48));
        QVERIFY(board->Image1->isVisible() && !board->Frame1->isVisible());
        QCOMPARE(start.dialog.shown, 0);
    }

    void cleanup()
    {
        // The next start measures its own screen.
        Window::useDesktop({}, 1);
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
