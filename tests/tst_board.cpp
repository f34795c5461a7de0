// SPDX-License-Identifier: GPL-3.0-or-later
// The board window as defined and as its first build lays it out.

#include "fakes.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cmath>

namespace {
QStringList captions(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << a->text();
    return out;
}

double luminanceSpread(const QImage &image)
{
    double sum = 0, sum2 = 0;
    const int n = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double v = qGray(image.pixel(x, y));
            sum += v;
            sum2 += v * v;
        }
    return std::sqrt(sum2 / n - (sum / n) * (sum / n));
}

double difference(const QImage &a, const QImage &b)
{
    const QImage sa = a.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32);
    const QImage sb = b.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32);
    double d = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb p = sa.pixel(x, y), q = sb.pixel(x, y);
            d += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return d / (16 * 16 * 3);
}
} // namespace

class TestBoard : public QObject
{
    Q_OBJECT
private slots:
    void bothLayoutsPlaceTheirControlsAsDefined_data()
    {
        QTest::addColumn<bool>("small");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("image1");
        QTest::addColumn<QRect>("deal");
        QTest::addColumn<QRect>("reference");
        QTest::newRow("Puzzle_3m")
            << true << QSize(742, 496) << QRect(160, 16, 409, 337) << QRect(160, 16, 406, 333)
            << QRect(304, 416, 159, 41) << QRect(592, 248, 129, 97);
        QTest::newRow("Puzzle_03")
            << false << QSize(924, 581) << QRect(176, 16, 545, 417) << QRect(176, 16, 542, 413)
            << QRect(368, 512, 159, 41) << QRect(744, 320, 145, 97);
    }
    void bothLayoutsPlaceTheirControlsAsDefined()
    {
        QFETCH(bool, small);
        Board b(small ? Puzzle_3m() : Puzzle_03());
        PuzzleForm &f = b.form;
        QFETCH(QSize, client);
        QFETCH(QRect, frame);
        QFETCH(QRect, image1);
        QFETCH(QRect, deal);
        QFETCH(QRect, reference);
        QCOMPARE(f.client()->size(), client);
        QCOMPARE(f.Frame1->geometry(), frame);
        QCOMPARE(f.Image1->geometry(), image1);
        QCOMPARE(f.Cmd_Scambia->geometry(), deal);
        QCOMPARE(f.Image4->geometry(), reference);
        QCOMPARE(f.caption(), QStringLiteral("Puzzle_3"));
        QVERIFY2(f.menuBar()->geometry().bottom() < f.client()->geometry().top(),
                 "the menu bar lies outside");
        QCOMPARE(f.client()->mapToGlobal(QPoint(0, 0)), small ? QPoint(27, 59) : QPoint(44, 82));
        // The instruction line and the player lie below the small window's client area.
        const bool label5Seen = f.Label5->geometry().top() < f.client()->height();
        QCOMPARE(label5Seen, !small);
        QVERIFY(f.MMControl1Widget->geometry().top() >= (small ? 496 : 0));
        QVERIFY(!f.MMControl1Widget->isVisible());
        QCOMPARE(f.Label1->font().pixelSize(), small ? 27 : 29);
    }

    // A control added to the definition but not to the window shows here, by name.
    void everyDefinedControlIsOnTheWindowByIdAndName()
    {
        Board b;
        for (const ControlSpec &entry : boardControls()) {
            QWidget *control = b.form.control(entry.id);
            QVERIFY2(control, entry.name);
            QCOMPARE(control->objectName(), QString::fromLatin1(entry.name));
            const bool kindMatches = entry.kind == Kind::Player ? control == b.form.MMControl1Widget
                : entry.kind == Kind::Button ? qobject_cast<PictureButton *>(control) != nullptr
                : entry.kind == Kind::Frame  ? qobject_cast<Frame *>(control) != nullptr
                : entry.kind == Kind::Label  ? qobject_cast<Label *>(control) != nullptr
                                             : qobject_cast<PictureBox *>(control) != nullptr;
            QVERIFY2(kindMatches, entry.name);
            QCOMPARE(b.form.findChild<QWidget *>(QString::fromLatin1(entry.name)), control);
        }
    }

    void controlsStartAsDefined()
    {
        FakeFileDialog dialog;
        FakePlayer player;
        FakeRandom random;
        PuzzleForm f(Puzzle_03(), BoardServices {dialog, player, random}); // created, not loaded
        QVERIFY(!f.isLoaded());
        QVERIFY(f.Frame1->isHidden());
        for (int i = 0; i < 30; ++i) {
            QVERIFY(!f.Image2(i)->isHidden());
            QVERIFY(f.Image2(i)->tag().isEmpty());
        }
        QCOMPARE(f.Image2(0)->twips(), QRectF(120, 240, 855, 735));
        QCOMPARE(f.Image2(7)->twips(), QRectF(960, 960, 855, 735));
        QCOMPARE(f.Image2(29)->twips(), QRectF(4320, 3120, 855, 735));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, f.Image2(30));
        QCOMPARE(f.Label5->caption(), QStringLiteral("  "));
        QCOMPARE(f.Label3->caption(), QStringLiteral("Posizionati"));
        QCOMPARE(f.Label2->caption(), QStringLiteral("Da posizionare"));
        QCOMPARE(f.Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(f.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(!f.Label3->autoFillBackground());
        QVERIFY(f.Label4->autoFillBackground());
        QCOMPARE(f.Label4->toolTip(),
                 QStringLiteral("Se Guidato: Blocca le Tessere Posizionate Correttamente"));
        QCOMPARE(f.Label4->font().pixelSize(), 13);
        QVERIFY(f.Label4->font().bold());
        QCOMPARE(QFontInfo(f.Label3->font()).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(f.Label4->font()).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(f.Image3->dragMode(), DragMode::Automatic);
        QCOMPARE(f.Image5->borderStyle(), 1);
        QVERIFY(f.Image5->isHidden());
        QVERIFY(f.Image5->picture().isNull());
        QCOMPARE(f.Cmd_Esci->accessibleName(), QStringLiteral("Esci"));
        QCOMPARE(f.Cmd_Scambia->accessibleName(), QStringLiteral("Mostra Puzzle"));
        QCOMPARE(f.Cmd_Esci->iconSize(), QSize(71, 37));
        QCOMPARE(f.Cmd_Scambia->iconSize(), QSize(133, 37));
        QCOMPARE(f.Image1->picture().size(), QSize(550, 495));
        QCOMPARE(f.PictureClip1.picture().size(), QSize(550, 495));
        QCOMPARE(f.PictureClip1.picture().format(), QImage::Format_Indexed8);
        QCOMPARE(f.PictureClip1.cols(), 2);
        QCOMPARE(f.windowIcon().availableSizes(), (QList<QSize> {QSize(32, 32), QSize(16, 16)}));
    }

    void theMenusReadInOrder()
    {
        Board b;
        const QList<QAction *> titles = b.form.menuBar()->actions();
        QCOMPARE(titles.size(), 3);
        QCOMPARE(titles[0]->text(), QStringLiteral("&Immagine"));
        QCOMPARE(titles[1]->text(), QStringLiteral("&Colonne  Righe"));
        QCOMPARE(QKeySequence::mnemonic(titles[1]->text()), QKeySequence(Qt::ALT | Qt::Key_C));
        QCOMPARE(titles[2]->text(), QStringLiteral("&Opzioni"));
        QCOMPARE(captions(b.form.mnu_immagine), QStringList {QStringLiteral("Carica_da_File")});
        QCOMPARE(captions(b.form.mnu_Col_rig),
                 (QStringList {"1 X 2", "2 X 1", "2 X 2", "2 X 3", "3 X 2", "3 X 3", "3 X 4",
                               "4 X 3", "4 X 4", "4 X 5", "5 X 4", "5 X 5", "6 X 5"}));
        QCOMPARE(captions(b.form.mnu_Opzioni),
                 (QStringList {"&Guidato", "&Non_Guidato", "", "Con Scambio",
                               "Scambio in Due Tempi", "Con Click"}));
        for (QAction *a : b.form.mnu_Opzioni->actions()) {
            QVERIFY(a->isEnabled() && a->isVisible() && !a->isChecked() && !a->isSeparator());
            QVERIFY(a->shortcut().isEmpty());
        }
        // Choosing the empty item changes nothing.
        const QStringList before = {b.form.Label4->caption(), b.form.Label6->caption()};
        b.form.mnu_Metodo->trigger();
        QCOMPARE((QStringList {b.form.Label4->caption(), b.form.Label6->caption()}), before);
        QCOMPARE(b.form.SwapMode, PuzzleForm::True);
    }

    void afterLoadTheWholePhotographShowsWithItsGridCaptions()
    {
        Board b(Puzzle_3m());
        PuzzleForm &f = b.form;
        QCOMPARE(f.ColCount, 3);
        QCOMPARE(f.RowCount, 3);
        QCOMPARE(f.TileCount, 9);
        QCOMPARE(f.Label4->caption(), QStringLiteral("Non Guidato"));
        QCOMPARE(f.Label6->caption(), QStringLiteral("Con Scambio"));
        QCOMPARE(f.Lbl_Colonne->caption(), QStringLiteral("Colonne= 3"));
        QCOMPARE(f.Lbl_Righe->caption(), QStringLiteral("Righe= 3"));
        QCOMPARE(f.Label5->caption(),
                 QStringLiteral("  ")); // the first build ran with no method set
        QVERIFY(!f.Label5->isVisible());
        QCOMPARE(f.GuidedMode, PuzzleForm::False);
        QCOMPARE(f.SwapMode, PuzzleForm::True);
        QCOMPARE(f.TwoStepSwapMode, PuzzleForm::False);
        QCOMPARE(f.ClickMode, PuzzleForm::False);
        QVERIFY(f.Image1->isVisible());
        QVERIFY(!f.Frame1->isVisible());
        for (QWidget *counter : std::initializer_list<QWidget *> {f.Label2, f.Lbl_Errati, f.Label3,
                                                                  f.Lbl_Esatti, f.Image4})
            QVERIFY(!counter->isVisible());
        QVERIFY(f.Label1->caption().isEmpty());
        QCOMPARE(f.Image3->tag(), QStringLiteral("100"));
        QVERIFY(f.Image3->picture().isNull());
        QCOMPARE(f.PictureClip1.picture(), f.Image1->picture());
        QCOMPARE(f.Image4->picture().format(),
                 QImage::Format_Indexed8); // the clip's defined picture
        for (int i = 9; i < 30; ++i)
            QVERIFY(f.Image2(i)->isHidden());
        // The window shows the photograph: sample its middle.
        const QImage shot = f.grab().toImage();
        const QPoint middle = f.Image1->mapTo(&f, f.Image1->rect().center());
        QVERIFY(shot.pixelColor(middle) != QColor(255, 255, 192));
    }

    void tileGeometryFollowsTheUnroundedWidthAndTheEvenRoundedHeight_data()
    {
        QTest::addColumn<bool>("small");
        QTest::addColumn<int>("grid");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("3m 3 X 3") << true << 5 << 2030.0 << 1665;
        QTest::newRow("3m 4 X 5") << true << 9 << 1522.5 << 999;
        QTest::newRow("3m 1 X 2") << true << 0 << 6090.0 << 2498;
        QTest::newRow("3m 3 X 2") << true << 4 << 2030.0 << 2498;
        QTest::newRow("3m 4 X 4") << true << 8 << 1522.5 << 1249;
        QTest::newRow("3m 3 X 4") << true << 6 << 2030.0 << 1249;
        QTest::newRow("03 3 X 3") << false << 5 << 2710.0 << 2065;
        QTest::newRow("03 4 X 4") << false << 8 << 2032.5 << 1549;
        QTest::newRow("03 2 X 1") << false << 1 << 4065.0 << 6195;
        QTest::newRow("03 6 X 5") << false << 12 << 1355.0 << 1239;
    }
    void tileGeometryFollowsTheUnroundedWidthAndTheEvenRoundedHeight()
    {
        QFETCH(bool, small);
        QFETCH(int, grid);
        QFETCH(double, width);
        QFETCH(int, height);
        Board b(small ? Puzzle_3m() : Puzzle_03());
        b.chooseGrid(grid);
        const GridChoice choice = gridChoices()[static_cast<size_t>(grid)];
        QCOMPARE(b.form.TileCount, choice.cols * choice.rows);
        QCOMPARE(double(b.form.TileWidth), width);
        QCOMPARE(int(b.form.TileHeight), height);
        // The tiles cover the picture row by row from its corner, edge to edge.
        QCOMPARE(b.tile(0)->twips().topLeft(), QPointF(0, 0));
        for (int i = 0; i < b.form.TileCount; ++i) {
            const QRectF t = b.tile(i)->twips();
            QCOMPARE(t.size(), QSizeF(width, height));
            if (i % choice.cols)
                QCOMPARE(t.topLeft(), b.tile(i - 1)->twips().topRight());
            else if (i)
                QCOMPARE(t.topLeft(), b.tile(i - choice.cols)->twips().bottomLeft());
            QVERIFY(!b.tile(i)->isHidden());
        }
        for (int i = b.form.TileCount; i < 30; ++i)
            QVERIFY(b.tile(i)->isHidden());
        // The bottom row ends within half a row count of the picture's bottom.
        QVERIFY(std::abs(choice.rows * height - b.form.Image1->Height()) <= choice.rows / 2.0);
        QCOMPARE(b.form.Lbl_Colonne->caption(), QStringLiteral("Colonne= %1").arg(choice.cols));
        QCOMPARE(b.form.Lbl_Righe->caption(), QStringLiteral("Righe= %1").arg(choice.rows));
    }

    void theWorkedExampleOf500By498()
    {
        Board b;
        b.form.Image1->Move(0, 0, 500, 498);
        b.chooseGrid(6); // 3 X 4
        QCOMPARE(b.form.TileWidth, 500.0f / 3.0f);
        QCOMPARE(b.form.TileHeight, 124);
        QCOMPARE(b.tile(7)->twips(),
                 QRectF(double(500.0f / 3.0f), 248, double(500.0f / 3.0f), 124));
        QCOMPARE(b.tile(11)->twips().bottom(), 496.0);
        b.form.Image1->Move(0, 0, 500, 502);
        b.chooseGrid(6);
        QCOMPARE(b.form.TileHeight, 126);
    }

    void changingGridsHidesAndShowsTiles()
    {
        Board b;
        b.chooseGrid(12);
        QCOMPARE(b.form.TileCount, 30);
        b.chooseGrid(5);
        for (int i = 9; i < 30; ++i)
            QVERIFY(b.tile(i)->isHidden());
        b.chooseGrid(12);
        for (int i = 0; i < 30; ++i)
            QVERIFY(!b.tile(i)->isHidden());
        QCOMPARE(b.tile(29)->twips().topLeft(), QPointF(5 * 1355.0, 4 * 1239.0));
        b.deal();
        const QImage shot = b.form.grab().toImage();
        // Adjacent tiles share an edge: no light-yellow line between tiles 0 and 1.
        const QPoint seam = b.tile(1)->mapTo(&b.form, QPoint(0, b.tile(1)->height() / 2));
        QVERIFY(shot.pixelColor(seam) != QColor(255, 255, 192));
        QVERIFY(shot.pixelColor(seam - QPoint(1, 0)) != QColor(255, 255, 192));
    }

    void thePhotographMakesAGoodPuzzle()
    {
        const QImage photo(QString::fromLatin1(PhotoJpegResource));
        const QImage bitmap(QString::fromLatin1(PhotoBitmapResource));
        QCOMPARE(photo.size(), QSize(550, 495));
        QCOMPARE(bitmap.size(), QSize(550, 495));
        QVERIFY(bitmap.colorCount() > 0 && bitmap.colorCount() <= 256);
        QVERIFY2(difference(photo, bitmap) < 12, "the bitmap is the same image");
        PictureClip clip;
        clip.setPicture(photo);
        clip.setCols(6);
        clip.setRows(5);
        for (int k = 0; k < 30; ++k) {
            const QImage cell = clip.GraphicCell(k);
            QVERIFY2(luminanceSpread(cell) > 15,
                     qPrintable(QStringLiteral("cell %1 is flat").arg(k)));
            if (k % 6 < 5)
                QVERIFY2(difference(cell, clip.GraphicCell(k + 1)) > 12,
                         qPrintable(QStringLiteral("cell %1 ~ right").arg(k)));
            if (k < 24)
                QVERIFY2(difference(cell, clip.GraphicCell(k + 6)) > 12,
                         qPrintable(QStringLiteral("cell %1 ~ below").arg(k)));
        }
    }
};

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
