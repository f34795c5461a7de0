// SPDX-License-Identifier: GPL-3.0-or-later
// The control model the windows are written against: drag and drop, mouse events, layering,
// twips placement, the picture grid, the random source and the error rule.

#include "controls.h"
#include "dragmanager.h"
#include "loadwait.h"
#include "pictureclip.h"
#include "qtservices.h"
#include "runtimeerror.h"
#include "services.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

class TestWindow : public Window
{
public:
    TestWindow()
    {
        setClientArea(0, 0, 6000, 4500);
        frame = new Frame(client());
        frame->Move(0, 0, 3000, 1500);
        inFrame = new PictureBox(frame, 0);
        inFrame->Move(150, 150, 1500, 1200);
        for (int i = 0; i < 3; ++i) {
            auto *p = new PictureBox(client(), i + 1);
            p->Move(150 + i * 1800, 2100, 1500, 1200);
            p->setObjectName(QStringLiteral("p%1").arg(i + 1));
            Picture picture(10, 10, QImage::Format_RGB32);
            picture.fill(QColor(40 * i, 100, 200));
            p->setPicture(picture);
            p->setStretch(true);
            pictures.append(p);
        }
        inFrame->setObjectName(QStringLiteral("p0"));
        label = new Label(client());
        label->Move(150, 3600, 1500, 300);
        label->setCaption(QStringLiteral("label"));
        for (PictureBox *p : pictures + QList<PictureBox *> {inFrame}) {
            const QString n = p->objectName();
            connect(p, &PictureBox::MouseDown, this, [this, n](Qt::MouseButton b) {
                log << n
                        + (b == Qt::RightButton ? QStringLiteral(" down-right")
                                                : QStringLiteral(" down"));
            });
            connect(p, &PictureBox::MouseUp, this, [this, n, p] {
                log << n + QStringLiteral(" up");
                if (dragOnRelease)
                    p->Drag(DragAction::Begin);
            });
            connect(p, &PictureBox::Click, this,
                    [this, n] { log << n + QStringLiteral(" click"); });
            connect(p, &PictureBox::DragDrop, this, [this, n](PictureBox *source) {
                log << n + QStringLiteral(" drop<-") + source->objectName();
            });
        }
        show();
    }
    PictureBox *p(int i) { return pictures[i - 1]; }
    QPoint at(QWidget *w) { return w->mapTo(this, w->rect().center()); }
    void press(QWidget *w) { QTest::mousePress(windowHandle(), Qt::LeftButton, {}, at(w)); }
    void release(QWidget *w) { QTest::mouseRelease(windowHandle(), Qt::LeftButton, {}, at(w)); }
    void move(QWidget *w) { QTest::mouseMove(windowHandle(), at(w)); }
    void click(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(windowHandle(), b, {}, at(w));
    }

    Frame *frame;
    PictureBox *inFrame;
    QList<PictureBox *> pictures;
    Label *label;
    QStringList log;
    bool dragOnRelease = false;
    int focusCount = 0;

protected:
    void Form_GotFocus() override { ++focusCount; }
};

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        w = new TestWindow;
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    void cleanup()
    {
        DragManager::instance()->cancel();
        delete w;
    }

    void automaticDragDropsOnTheControlUnderThePointer()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->press(w->p(1));
        QVERIFY(DragManager::instance()->isDragging());
        w->move(w->p(2));
        QVERIFY2(w->p(2)->dropHighlight(), "the control it would land on is marked");
        w->release(w->p(2));
        QCOMPARE(w->log, QStringList {QStringLiteral("p2 drop<-p1")});
        QVERIFY(!w->p(2)->dropHighlight());
        QVERIFY(!DragManager::instance()->isDragging());
    }

    void automaticDragOntoItselfDropsThereWithNoClick()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->click(w->p(1));
        QCOMPARE(w->log, QStringList {QStringLiteral("p1 drop<-p1")});
    }

    void dropOverNothingThatTakesItDoesNothing()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->press(w->p(1));
        w->move(w->label);
        w->release(w->label);
        w->press(w->p(1));
        QTest::mouseMove(w->windowHandle(), QPoint(395, 5));
        QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, QPoint(395, 5));
        QVERIFY(w->log.isEmpty());
        QVERIFY(!DragManager::instance()->isDragging());
    }

    void disabledOrHiddenControlsTakeNoDropAndStartNoDrag()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->p(2)->setEnabled(false);
        w->press(w->p(1));
        w->move(w->p(2));
        QVERIFY(!w->p(2)->dropHighlight());
        w->release(w->p(2));
        QVERIFY(w->log.isEmpty());

        const QPoint where = w->at(w->p(3));
        w->p(3)->hide();
        w->press(w->p(1));
        QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, where);
        QVERIFY(w->log.isEmpty());

        w->p(1)->setEnabled(false);
        w->press(w->p(1));
        QVERIFY(!DragManager::instance()->isDragging());
        w->release(w->p(1));
        QVERIFY(w->log.isEmpty());
    }

    void manualControlsRaiseDownUpAndClick()
    {
        w->click(w->p(1));
        w->click(w->p(1), Qt::RightButton);
        QCOMPARE(w->log, (QStringList {"p1 down", "p1 up", "p1 click", "p1 down-right", "p1 up"}));
    }

    void dragBegunOnReleaseEndsAtTheNextClickWhichReachesNoControl()
    {
        w->dragOnRelease = true;
        w->click(w->p(1));
        QCOMPARE(w->log, (QStringList {"p1 down", "p1 up", "p1 click"}));
        QVERIFY(DragManager::instance()->isDragging());
        w->log.clear();
        w->move(w->p(3)); // no button held
        QVERIFY(w->p(3)->dropHighlight());
        w->click(w->p(3));
        QCOMPARE(w->log, QStringList {QStringLiteral("p3 drop<-p1")});
        QVERIFY(!DragManager::instance()->isDragging());
    }

    void dragZeroCancelsAndIsHarmlessWithoutADrag()
    {
        w->p(2)->Drag(DragAction::Cancel);
        w->p(1)->Drag(DragAction::Begin);
        QVERIFY(DragManager::instance()->isDragging());
        w->p(2)->Drag(DragAction::Cancel); // another control's cancel leaves it
        QVERIFY(DragManager::instance()->isDragging());
        w->p(1)->Drag(DragAction::Cancel);
        QVERIFY(!DragManager::instance()->isDragging());
        w->click(w->p(3));
        QCOMPARE(w->log, (QStringList {"p3 down", "p3 up", "p3 click"}));
    }

    void aQuickSecondClickIsAPressLikeAnyOther()
    {
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, {}, w->at(w->p(1)));
        QCOMPARE(w->log.count(QStringLiteral("p1 down")), 2);
        QCOMPARE(w->log.count(QStringLiteral("p1 up")), 2);

        w->log.clear();
        w->p(2)->setDragMode(DragMode::Automatic);
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, {}, w->at(w->p(2)));
        QCOMPARE(w->log, (QStringList {"p2 drop<-p2", "p2 drop<-p2"}));
    }

    void escapeHidingDisablingOrLosingFocusEndADragWithoutADrop()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->press(w->p(1));
        QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
        QVERIFY(!DragManager::instance()->isDragging());
        w->release(w->p(2));

        w->press(w->p(1));
        w->p(1)->hide();
        QVERIFY(!DragManager::instance()->isDragging());
        w->release(w->p(2));
        w->p(1)->show();

        w->press(w->p(1));
        w->p(1)->setEnabled(false);
        QVERIFY(!DragManager::instance()->isDragging());
        w->release(w->p(2));
        w->p(1)->setEnabled(true);

        w->inFrame->setDragMode(DragMode::Automatic);
        w->press(w->inFrame);
        w->frame->hide(); // hiding the container hides the source
        QVERIFY(!DragManager::instance()->isDragging());
        w->release(w->p(2));
        QVERIFY(w->log.isEmpty());
    }

    void theDraggedPictureFollowsThePointer()
    {
        w->p(1)->setDragMode(DragMode::Automatic);
        w->press(w->p(1));
        QWidget *image = nullptr;
        for (QWidget *child : w->findChildren<QWidget *>()) {
            if (child->testAttribute(Qt::WA_TransparentForMouseEvents) && child->isVisible())
                image = child;
        }
        QVERIFY(image);
        QCOMPARE(image->size(), w->p(1)->size());
        const QPoint before = image->pos();
        w->move(w->p(3));
        QCOMPARE(image->pos() - before, w->at(w->p(3)) - w->at(w->p(1)));
        w->release(w->p(3));
        QCOMPARE(w->log, QStringList {QStringLiteral("p3 drop<-p1")});
    }

    void framesAndButtonsStayAbovePicturesAndLabels()
    {
        auto *under = new PictureBox(w->client());
        under->Move(0, 0, 3000, 1500);
        under->show();
        under->ZOrder(0);
        QCOMPARE(w->childAt(w->at(w->inFrame)), w->inFrame);
        w->frame->hide();
        QCOMPARE(w->childAt(w->at(w->inFrame)), under);
    }

    void fractionalTwipsAbutWithNoGap()
    {
        auto *left = new PictureBox(w->client());
        auto *right = new PictureBox(w->client());
        left->Move(0, 0, 1522.5, 999);
        right->Move(1522.5, 999, 1522.5, 999);
        QCOMPARE(left->Width(), 1522.5);
        QCOMPARE(left->geometry().right() + 1, right->geometry().left());
        QCOMPARE(left->geometry().bottom() + 1, right->geometry().top());
        for (int i = 0; i < 5; ++i) { // 2032.5-twip columns: every edge shared
            auto *a = new PictureBox(w->client());
            auto *b = new PictureBox(w->client());
            a->Move(i * 2032.5f, 0, 2032.5f, 100);
            b->Move((i + 1) * 2032.5f, 0, 2032.5f, 100);
            QCOMPARE(a->geometry().right() + 1, b->geometry().left());
        }
    }

    void aFailingHandlerEndsKeepingWhatItDid()
    {
        int steps = 0;
        connect(w->p(1), &PictureBox::Click, w, [&] {
            guarded([&] {
                ++steps;
                throw RuntimeError(QStringLiteral("Type mismatch"));
                ++steps;
            });
        });
        w->click(w->p(1));
        w->click(w->p(1));
        QCOMPARE(steps, 2);
    }

    // A window manager can leave the focus on a disabled window whose handler passed it on to
    // another window that refused it; a click there must still reach the focus handler.
    void aClickOnAnActiveDisabledWindowRaisesItsFocusHandler()
    {
        w->activateWindow();
        QTRY_VERIFY(w->isActiveWindow());
        const int activations = w->focusCount;
        QVERIFY(activations >= 1);
        w->click(w->label);
        QCOMPARE(w->focusCount, activations); // enabled: a click is only a click
        w->setEnabled(false);
        w->click(w->label);
        QCOMPARE(w->focusCount, activations + 1);
    }

    void pictureGridCells_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cell");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("1x2 top") << QSize(550, 495) << 1 << 2 << 0 << QRect(0, 0, 550, 247);
        QTest::newRow("1x2 bottom") << QSize(550, 495) << 1 << 2 << 1 << QRect(0, 247, 550, 248);
        QTest::newRow("2x1 left") << QSize(550, 495) << 2 << 1 << 0 << QRect(0, 0, 275, 495);
        QTest::newRow("2x1 right") << QSize(550, 495) << 2 << 1 << 1 << QRect(275, 0, 275, 495);
        QTest::newRow("6x5 cell 7") << QSize(600, 500) << 6 << 5 << 7 << QRect(100, 100, 100, 100);
        QTest::newRow("4 cols of 137.5")
            << QSize(550, 495) << 4 << 3 << 1 << QRect(137, 0, 138, 165);
        QTest::newRow("1x1 cut 6x5") << QSize(1, 1) << 6 << 5 << 29 << QRect(0, 0, 1, 1);
        QTest::newRow("3x2 cut 6x5") << QSize(3, 2) << 6 << 5 << 11 << QRect(2, 0, 1, 1);
    }
    void pictureGridCells()
    {
        QFETCH(QSize, picture);
        QFETCH(int, cols);
        QFETCH(int, rows);
        QFETCH(int, cell);
        QFETCH(QRect, rect);
        PictureClip clip;
        Picture image(picture, QImage::Format_RGB32);
        image.fill(Qt::red);
        clip.setPicture(image);
        clip.setCols(cols);
        clip.setRows(rows);
        QCOMPARE(clip.cellRect(cell), rect);
        QCOMPARE(clip.GraphicCell(cell).size(), rect.size());
    }

    void pictureGridCoversThePictureExactlyOnce()
    {
        for (QSize size : {QSize(550, 495), QSize(541, 7), QSize(6, 5), QSize(1000, 1)}) {
            PictureClip clip;
            clip.setPicture(Picture(size, QImage::Format_RGB32));
            clip.setCols(6);
            clip.setRows(5);
            QList<int> covered(size.width() * size.height(), 0);
            for (int k = 0; k < 30; ++k) {
                const QRect r = clip.cellRect(k);
                QVERIFY(r.width() >= 1 && r.height() >= 1);
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        ++covered[y * size.width() + x];
            }
            if (size.width() >= 6 && size.height() >= 5)
                QVERIFY2(std::all_of(covered.begin(), covered.end(), [](int c) { return c == 1; }),
                         "no gap and no overlap");
        }
        PictureClip clip;
        QVERIFY_THROWS_EXCEPTION(RuntimeError, clip.setPicture(Picture()));
        clip.setPicture(Picture(10, 10, QImage::Format_RGB32));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, clip.GraphicCell(1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, clip.setCols(0));
    }

    void reseedingWithAFrozenClockStillDrawsAfresh()
    {
        ClockRandom random(42, [] { return std::int64_t(1000); });
        QSet<float> seen;
        for (int i = 0; i < 200; ++i) {
            random.Randomize();
            const float r = random.Rnd();
            QVERIFY(r >= 0.0f && r < 1.0f);
            seen.insert(r);
        }
        QVERIFY(seen.size() > 190);
        ClockRandom a(7, [] { return std::int64_t(5); }), b(7, [] { return std::int64_t(5); });
        a.Randomize();
        b.Randomize();
        QCOMPARE(a.Rnd(), b.Rnd()); // seeded: reproducible
    }

    void dialogFiltersReadAsEntriesAndMatchAnyCase()
    {
        const auto entries
            = parseFilter(QStringLiteral("Tutti i File di Grafica|*.bmp;*.gif;*.jpg;*.ico"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].description, QStringLiteral("Tutti i File di Grafica"));
        QCOMPARE(entries[0].patterns, (QStringList {"*.bmp", "*.gif", "*.jpg", "*.ico"}));
        const auto matches = [](const QString &pattern, const QString &name) {
            const QStringList patterns = dialogPatterns(pattern);
            return std::any_of(patterns.cbegin(), patterns.cend(), [&](const QString &p) {
                return QRegularExpression::fromWildcard(p).match(name).hasMatch();
            });
        };
        for (const char *name : {"PHOTO.JPG", "photo.Jpg", "photo.jpeg", "FOTO.JPEG", "x.jpgx",
                                 "IMG_0001.HEIC", "scatto.heif", "pagina.webp", "foto.AVIF"})
            QVERIFY2(matches(QStringLiteral("*.jpg"), QLatin1String(name)), name);
        for (const char *name : {"photo.png", "photo.jpe", "jpg.txt"})
            QVERIFY2(!matches(QStringLiteral("*.jpg"), QLatin1String(name)), name);
        QVERIFY(!matches(QStringLiteral("*.gif"), QStringLiteral("x.jpeg")));
        QVERIFY(!matches(QStringLiteral("*.gif"), QStringLiteral("x.webp")));
    }

    // However the box is answered, the answer comes back and its window is hidden, not closed:
    // a closed window is deleted, where another thread may still be drawing into it.
    void theBoxEndsHiddenWithItsWindowKept_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("ok");
        QTest::newRow("Return") << "Return" << true;
        QTest::newRow("Annulla") << "Annulla" << false;
        QTest::newRow("Escape") << "Escape" << false;
        QTest::newRow("title bar's close") << "close" << false;
    }
    void theBoxEndsHiddenWithItsWindowKept()
    {
        QFETCH(QString, how);
        QFETCH(bool, ok);
        QtMessageBox messages;
        QPointer<QWidget> box;
        QPointer<QWindow> window;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(QTest::qWaitFor([&] { return QApplication::activeModalWidget(); }));
            box = QApplication::activeModalWidget();
            window = box->windowHandle();
            if (how == QLatin1String("close"))
                window->close();
            else if (how == QLatin1String("Annulla"))
                box->findChildren<QPushButton *>().constLast()->click();
            else
                QTest::keyClick(box,
                                how == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
        });
        const auto answer = messages.MsgBox(
            QStringLiteral("?"), MessageBoxService::Buttons::OkCancel, QStringLiteral("t"));
        QCOMPARE(answer == MessageBoxService::Answer::Ok, ok);
        QVERIFY(box && !box->isVisible());
        QVERIFY(window && window->handle());
    }

    // While the game waits for a picture: the busy pointer, then the progress window; no click
    // reaches a control meanwhile; Escape gives up, and everything is as it was after.
    void aLongWaitShowsThePointerThenItsWindowTakesNoInputAndEndsOnEscape()
    {
        int givenUp = 0;
        LoadWait *wait = nullptr;
        LoadWait waiting([&] {
            ++givenUp;
            wait->finish();
        });
        wait = &waiting;
        bool pointer = false, clicked = false, keyed = false;
        QTimer look;
        // Conditions looked for as they come, whatever the machine's speed; ended by Escape, or
        // after a minute.
        QElapsedTimer limit;
        limit.start();
        connect(&look, &QTimer::timeout, this, [&] {
            const QCursor *cursor = QGuiApplication::overrideCursor();
            pointer = pointer || (cursor && cursor->shape() == Qt::WaitCursor);
            if (pointer && !clicked) {
                clicked = true;
                w->click(w->p(1));
            }
            if (QDialog *window = LoadWait::window(); window && clicked && !keyed) {
                keyed = true;
                QCOMPARE(window->windowTitle(), QStringLiteral("Puzzle"));
                QVERIFY(!QGuiApplication::overrideCursor()); // the window shows the work now
                QTest::keyClick(window, Qt::Key_Escape);
            }
            if (limit.elapsed() > 60000)
                waiting.finish();
        });
        look.start(20);
        waiting.progress(3, 10);
        waiting.run();
        QVERIFY(pointer);
        QVERIFY(keyed);
        QCOMPARE(givenUp, 1);
        QVERIFY(w->log.isEmpty());
        QVERIFY(!LoadWait::window());
        QVERIFY(!LoadWait::holding());
        look.stop();
        w->click(w->p(1));
        QCOMPARE(w->log, QStringList({"p1 down", "p1 up", "p1 click"}));
    }

    void windowsSoundPathsMapToBundledSounds()
    {
        QCOMPARE(QtMediaPlayer::resolve(QStringLiteral("C:\\WINDOWS\\Media\\tada.wav")),
                 QUrl(QStringLiteral("qrc:/media/tada.wav")));
        QCOMPARE(
            QtMediaPlayer::resolve(QStringLiteral("C:\\WINDOWS\\Media\\Windows XP - Notifica.wav")),
            QUrl(QStringLiteral("qrc:/media/notify.wav")));
        QVERIFY(QtMediaPlayer::resolve(QStringLiteral("C:\\nowhere\\other.wav")).isEmpty());
        QVERIFY(QFile::exists(QStringLiteral(":/media/tada.wav")));
        QVERIFY(QFile::exists(QStringLiteral(":/media/notify.wav")));
        QtMediaPlayer player({QStringLiteral("/nonexistent"), QStringLiteral(PUZZLE_SOUND_DIR)});
        player.setFileName(QStringLiteral("C:\\nowhere\\other.wav")); // plays nothing, says nothing
        player.setCommand(QStringLiteral("close"));
        player.setCommand(QStringLiteral("open"));
        player.setCommand(QStringLiteral("play"));
        QVERIFY2(!player.deviceLoaded(), "no audio backend before the first sound");
        player.setFileName(QStringLiteral("C:\\WINDOWS\\Media\\tada.wav"));
        player.setCommand(QStringLiteral("close"));
        player.setCommand(QStringLiteral("open"));
        player.setCommand(QStringLiteral("play"));
        QVERIFY2(player.deviceLoaded(), "the backend module loads at the first sound");

        QtMediaPlayer nowhere({QStringLiteral("/nonexistent")}); // no backend: silence, no error
        nowhere.setFileName(QStringLiteral("C:\\WINDOWS\\Media\\tada.wav"));
        nowhere.setCommand(QStringLiteral("open"));
        nowhere.setCommand(QStringLiteral("play"));
        QVERIFY(!nowhere.deviceLoaded());
    }

private:
    TestWindow *w = nullptr;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestPlatform test;
    // This suite loads the audio module, whose exit handlers can hang: leave as the game does.
    leaveProcess(QTest::qExec(&test, argc, argv));
}
#include "tst_platform.moc"
