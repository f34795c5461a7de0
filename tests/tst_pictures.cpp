// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a picture of the player's own: every format, and every way a file can be wrong.

#include "confine.h"
#include "fakes.h"
#include "hostile.h"
#include "loader.h"
#include "loadwait.h"
#include "protocol.h"
#include "qtservices.h"

#include <QClipboard>
#include <QColorSpace>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testpictures;

namespace {
// The mean difference of two pictures' channels, in levels; 255 where their sizes differ.
double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    qint64 difference = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            difference += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q))
                + qAbs(qBlue(p) - qBlue(q)) + qAbs(qAlpha(p) - qAlpha(q));
        }
    return double(difference) / (qint64(a.width()) * a.height() * 4);
}

// What the format's own command-line decoder makes of a file, written as PNG beside it.
QImage decodedByItsOwnTool(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString png = path + QStringLiteral(".png");
    const QString tool = suffix == QLatin1String("avif") ? QStringLiteral("avifdec")
        : suffix == QLatin1String("webp")                ? QStringLiteral("dwebp")
                                                         : QStringLiteral("heif-convert");
    QStringList args {path, png};
    if (tool == QLatin1String("dwebp"))
        args.insert(1, QStringLiteral("-o"));
    QProcess decoder;
    decoder.setProcessChannelMode(QProcess::MergedChannels);
    decoder.start(tool, args);
    if (!decoder.waitForFinished(60000) || decoder.exitCode() != 0)
        return {};
    return QImage(png).convertToFormat(QImage::Format_ARGB32);
}

// Everything a failed load must leave as it was.
struct Snapshot
{
    explicit Snapshot(Board &b)
        : image1(b.form.Image1->picture())
        , clip(b.form.PictureClip1.picture())
        , tags(b.tags())
        , dealt(b.form.Frame1->isVisible())
        , placed(b.form.Lbl_Esatti->caption())
        , image1Shown(b.form.Image1->isVisible())
    { }
    bool operator==(const Snapshot &) const = default;
    Picture image1, clip;
    QStringList tags;
    bool dealt;
    QString placed;
    bool image1Shown;
};
} // namespace

class TestPictures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(m_translator.load(QLocale(QLocale::Italian), QStringLiteral("qtbase"),
                                  QStringLiteral("_"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QCoreApplication::installTranslator(&m_translator);
    }

    void aPictureOfEachFormatLoadsAndIsCutForTheGrid_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("bmp") << "scene.bmp" << encoded(scene(120, 90), "BMP") << QSize(120, 90);
        QTest::newRow("jpg") << "scene.jpg" << encoded(scene(120, 90), "JPG", 90) << QSize(120, 90);
        QTest::newRow("JPG in capitals")
            << "PHOTO.JPG" << encoded(scene(64, 48), "JPG") << QSize(64, 48);
        QTest::newRow("ico") << "scene.ico" << encoded(scene(32, 32), "ICO") << QSize(32, 32);
        QTest::newRow("gif") << "scene.gif" << gif() << QSize(2, 2);
        QTest::newRow("animated gif") << "moving.gif" << gif(3) << QSize(2, 2);
        QTest::newRow("1 x 1") << "dot.bmp" << encoded(scene(1, 1), "BMP") << QSize(1, 1);
        QTest::newRow("20000 x 1")
            << "line.bmp" << encoded(scene(20000, 1), "BMP") << QSize(1100, 1);
        QTest::newRow("spaces and accents")
            << "le mie foto/città è.jpg" << encoded(scene(50, 40), "JPG") << QSize(50, 40);
        QTest::newRow("phone photo") << "phone.jpg" << rotatedJpeg(scene(80, 40)) << QSize(40, 80);
        QTest::newRow("8-bit icon")
            << "indexed.ico" << bitmapIcon(8, {qRgb(200, 0, 0), qRgb(0, 0, 200)}, QByteArray(16, 1))
            << QSize(4, 4);
        QTest::newRow("gif image past its screen, the screen's part shown")
            << "past.gif" << oneColourGif(QSize(3, 2), QSize(300, 200)) << QSize(3, 2);
        // Made by Debian's encoders, whatever the file is named.
        QTest::newRow("heic") << "IMG_0001.HEIC"
                              << madeBy("heif-enc", {"-q", "80"}, scene(120, 90), ".heic")
                              << QSize(120, 90);
        QTest::newRow("avif of odd sizes")
            << "foto.avif" << madeBy("avifenc", {"-s", "10"}, scene(121, 91), ".avif")
            << QSize(121, 91);
        QTest::newRow("webp") << "pagina.webp"
                              << madeBy("cwebp", {"-q", "80"}, scene(120, 90), ".webp")
                              << QSize(120, 90);
        QTest::newRow("animated webp")
            << "moving.webp" << madeBy("gif2webp", {}, gif(3), ".webp", ".gif") << QSize(2, 2);
        QTest::newRow("phone photo as webp")
            << "phone.webp"
            << madeBy("cwebp", {"-metadata", "exif"}, rotatedJpeg(scene(80, 40)), ".webp", ".jpg")
            << QSize(40, 80);
    }
    void aPictureOfEachFormatLoadsAndIsCutForTheGrid()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QVERIFY2(!bytes.isEmpty(), "the encoder failed");
        QVERIFY(write(path, bytes));
        Board b;
        b.chooseGrid(12);
        b.deal();
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        QCOMPARE(b.dialog.shown, 1);
        QCOMPARE(b.dialog.filterShown,
                 QStringLiteral("Tutti i File di Grafica|*.bmp;*.gif;*.jpg;*.ico"));
        QCOMPARE(b.form.Image1->picture().size(), size);
        QCOMPARE(b.form.PictureClip1.picture(), b.form.Image1->picture());
        QCOMPARE(b.form.Image4->picture(), b.form.Image1->picture());
        QVERIFY(!b.form.Frame1->isVisible());
        QVERIFY(b.form.Image1->isVisible());
        QCOMPARE(b.form.TileCount, 30); // the grid stays
        b.deal();
        for (int i = 0; i < 30; ++i) {
            const Picture cell = b.tile(i)->picture();
            QVERIFY(cell.width() >= 1 && cell.height() >= 1);
            QCOMPARE(cell, b.form.PictureClip1.GraphicCell(b.tile(i)->tag().toInt()));
        }
        if (name.startsWith(QLatin1String("phone"))) { // upright: the green corner is now top right
            const QImage upright = b.form.Image1->picture();
            QVERIFY(qGreen(upright.pixel(upright.width() - 2, 2)) > 150);
            QVERIFY(qGreen(upright.pixel(2, 2)) < 150);
        }
    }

    void aFileThatIsNoGoodPictureChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = encoded(scene(300, 200), "JPG", 95);
        QTest::newRow("zero bytes") << "empty.jpg" << QByteArray();
        QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("Questa non e' una foto.\n");
        QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(200);
        QTest::newRow("half-truncated jpeg") << "half.jpg" << jpeg.left(jpeg.size() / 2);
        QTest::newRow("claims 60000 x 60000") << "huge.jpg" << jpegClaiming(60000, 60000);
        QTest::newRow("bmp claims 60000 x 60000") << "huge.bmp" << [] {
            QByteArray bmp = encoded(scene(4, 4), "BMP");
            const qint32 side = 60000;
            memcpy(bmp.data() + 18, &side, 4);
            memcpy(bmp.data() + 22, &side, 4);
            return bmp;
        }();
        QTest::newRow("gif with no image")
            << "blank.gif" << QByteArray("GIF89a\x02\x00\x02\x00\x00\x00\x00;", 14);
        QTest::newRow("truncated gif") << "cut.gif" << gif().left(20);
        // Data that ran out, or never was: nothing may stand in for it.
        const QImage photo = scene(300, 200);
        QTest::newRow("bmp cut short") << "cut.bmp" << encoded(photo, "BMP").chopped(30000);
        QTest::newRow("bmp pixels past its end") << "past.bmp" << bmpDataPastEnd(photo);
        QTest::newRow("bmp run-length data cut short") << "rle.bmp" << [] {
            QByteArray bmp = encoded(scene(64, 64).convertToFormat(QImage::Format_Indexed8), "BMP");
            const quint32 rle8 = 1;
            memcpy(bmp.data() + 30, &rle8, 4);
            return bmp.left(quint8(bmp[10]) | quint8(bmp[11]) << 8).append("\x04\x01\0\0", 4);
        }();
        QTest::newRow("rle bmp: only the end code") << "end.bmp" << rleBmp(stripes(), "\0\1");
        QTest::newRow("rle bmp: 4 pixels, a jump, the end")
            << "jump.bmp" << rleBmp(stripes(), QByteArray("\x04\x01\0\x02\x05\x05\0\x01", 8));
        QTest::newRow("rle bmp: one row, the end")
            << "row.bmp" << rleBmp(stripes(), QByteArray("\x40\x01\0\0\0\x01", 6));
        QTest::newRow("gif using a colour its table lacks") << "colours.gif" << [] {
            QByteArray wrong = gif(); // the same codes with indices 2 and 3 in a 2-colour table
            return wrong.replace(QByteArray("\x44\x02\x05", 3), QByteArray("\x44\x34\x05", 3));
        }();
        QTest::newRow("gif of text to draw, no picture") << "text.gif" << [] {
            QByteArray text = gif();
            return text.insert(19,
                               QByteArray("\x21\x01\x0c\0\0\0\0\x02\0\x02\0\x01\x01\x01\0"
                                          "\x02Hi\0",
                                          19));
        }();
        QTest::newRow("gif first frame cut short") << "frame.gif" << largeGif().chopped(3000);
        QTest::newRow("gif whose codes end after one pixel of four") << "codes.gif" << [] {
            QByteArray one = gif(); // 2 x 2: clear, one pixel, end
            return one.replace(QByteArray("\x02\x03\x44\x02\x05\x00", 6),
                               QByteArray("\x02\x02\x4c\x01\x00", 5));
        }();
        QTest::newRow("progressive jpeg cut short") << "cut-progressive.jpg" << [&] {
            const QByteArray whole = testpictures::jpeg(photo, {.progressive = true});
            return whole.left(whole.size() * 2 / 3);
        }();
        // Costs beyond any photo's: memory, scans, segments.
        QTest::newRow("progressive header claims 20000 x 20000")
            << "claims.jpg" << progressiveClaiming(20000, 20000);
        QTest::newRow("a scan repeated 1500 times") << "scans.jpg" << repeatedScan(photo, 1500);
        QTest::newRow("100000 empty segments") << "segments.jpg" << emptySegments(photo, 100000);
        QTest::newRow("png carrying 5 MB of text") << "text.png" << pngWithText(photo, 5 << 20);
        QTest::newRow("icon holding that png")
            << "text.ico" << icoHolding(pngWithText(photo, 5 << 20));
        QTest::newRow("xpm, slow to read") << "icon.jpg" << encoded(scene(8, 8), "XPM");
        const QByteArray heic = madeBy("heif-enc", {"-q", "80"}, photo, ".heic");
        const QByteArray avif = madeBy("avifenc", {"-s", "10"}, photo, ".avif");
        const QByteArray webp = madeBy("cwebp", {"-lossless"}, photo, ".webp");
        QTest::newRow("heic cut short") << "cut.heic" << heic.left(heic.size() * 2 / 3);
        QTest::newRow("avif cut short") << "cut.avif" << avif.left(avif.size() * 2 / 3);
        QTest::newRow("webp cut short") << "cut.webp" << webp.left(webp.size() * 2 / 3);
        QTest::newRow("heic claims 30000 x 30000")
            << "claims.heic" << claimingExtents(heic, 30000, 30000);
        QTest::newRow("avif claims 60000 x 60000")
            << "claims.avif" << claimingExtents(avif, 60000, 60000);
        QTest::newRow("avif claims fewer pixels than it holds")
            << "fewer.avif" << claimingExtents(avif, 16, 16);
        QTest::newRow("heic claims fewer pixels than it holds")
            << "fewer.heic" << claimingExtents(heic, 16, 16);
        QTest::newRow("a few bytes of flat heic that claim 16 x 16 and code 4000 x 3000")
            << "flat.heic" << [] {
                   QImage flat(4000, 3000, QImage::Format_RGB32);
                   flat.fill(qRgb(90, 140, 220));
                   return claimingExtents(
                       madeBy("heif-enc", {"-q", "10", "-p", "preset=ultrafast"}, flat, ".heic"),
                       16, 16);
               }();
        QTest::newRow("webp claims 16383 x 16383")
            << "claims.webp" << webpClaiming(webp, 16383, 16383);
        // What a HEIF container says it will build, counted before anything decodes.
        QTest::newRow("heif grid whose data states a canvas of 32767 x 32767")
            << "grid.heic" << heifGridOfCanvas(QSize(32767, 32767));
        QTest::newRow("heif overlay whose data states a canvas of 16000 x 12000")
            << "overlay.heic" << heifOverlayOfCanvas(QSize(16000, 12000));
        QTest::newRow("av1 stated 64 x 64 and coded 2000 x 1500, beside an hevc thumbnail")
            << "av1.heif" << heifAv1BehindThumbnail(QSize(2000, 1500));
        QTest::newRow("hevc stated 64 x 64, its data carrying parameter sets of 2000 x 1500")
            << "sets.heic" << heifParameterSetsInData(QSize(2000, 1500));
        // What libwebp's lossless decoder builds: a table for each group its map names, and
        // four bytes a pixel for an alpha plane that is not a palette.
        QTest::newRow("lossless webp whose map names 65536 groups of codes")
            << "groups.webp" << losslessWebpOfGroups(QSize(8000, 8000), 65536, 680000);
        QTest::newRow("lossy webp whose alpha plane is a lossless stream of 4 bytes a pixel")
            << "alpha.webp"
            << webpWithPlainAlpha(
                   madeBy("cwebp", {"-q", "10"}, flatPicture(QSize(5200, 5200)), ".webp"));
        const HeifItem tile
            = heifCoded(2, madeBy("heif-enc", {"-q", "50"}, scene(64, 64), ".heic"));
        QTest::newRow("heif grid whose tiles leave part of its canvas bare")
            << "bare.heic" << heifGrid(tile, 1, 2, QSize(140, 64), QSize(140, 64));
        QTest::newRow("heif grid whose box states another size than its data")
            << "sizes.heic" << heifGrid(tile, 2, 2, QSize(120, 100), QSize(64, 64));
        QTest::newRow("png claims 12000 x 12000") << "bomb.png" << [] {
            QImage blank(12000, 12000, QImage::Format_Mono);
            blank.fill(0);
            return encoded(blank, "PNG");
        }();
        // What one header states and another, or the data, contradicts.
        QTest::newRow("gif image 65535 x 65535 on a 1 x 1 screen")
            << "image.gif" << oneColourGif(QSize(1, 1), QSize(65535, 65535));
        QTest::newRow("interlaced gif image 65535 x 1831 on a 1 x 1 screen")
            << "interlaced.gif" << oneColourGif(QSize(1, 1), QSize(65535, 1831), true);
        QTest::newRow("gif colour 257 of 2, in 10-bit codes") << "wide.gif" << gifOfColour257();
        QTest::newRow("gif image right of its screen") << "off.gif" << [] {
            QByteArray off = oneColourGif(QSize(2, 2), QSize(2, 2));
            off[20] = 2; // the image's left edge
            return off;
        }();
        QTest::newRow("png colour 3 of 3") << "palette.png" << pngPastItsPalette(false);
        QTest::newRow("png transparency for 4 colours of 3")
            << "opacities.png" << pngPastItsPalette(true);
        QTest::newRow("png inflating 64 MB past its one row")
            << "inflating.png" << pngInflatingPastItsRow(64 << 20);
        QTest::newRow("icon directory 16 x 16, bitmap 32 x 32")
            << "sizes.ico" << icoSmallerThanItsBitmap();
        QTest::newRow("icon colour 5 of 2") << "colours.ico" << icoOfColour5();
    }
    void aFileThatIsNoGoodPictureChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = dir.filePath(name);
        QVERIFY(!bytes.isEmpty() || name == QLatin1String("empty.jpg")); // an encoder failed
        QVERIFY(write(path, bytes));
        Board b;
        b.deal();
        const Snapshot before(b);
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        QCOMPARE(b.dialog.shown, 1);
        QVERIFY(Snapshot(b) == before);
    }

    // Compared with what Qt's own reader makes of the same bytes, or with the source itself.
    void unusualButValidPicturesLoadExactly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("expected");
        const QImage photo = detailed(240, 160);
        const auto qt = [](const QByteArray &bytes) {
            return QImage::fromData(bytes);
        };
        const QByteArray progressive = jpeg(photo, {.progressive = true});
        QTest::newRow("top-down bmp") << topDownBmp(photo) << photo;
        QTest::newRow("progressive jpeg") << progressive << qt(progressive);
        const QByteArray cmyk = jpeg(photo, {.cmyk = true, .quality = 95});
        QTest::newRow("cmyk jpeg") << cmyk << qt(cmyk);
        QTest::newRow("2 MB of fill bytes before the frame")
            << fillBeforeFrame(photo, 2 << 20) << qt(jpeg(photo));
        QTest::newRow("empty segments") << emptySegments(photo, 100) << qt(jpeg(photo));
        QTest::newRow("gif of many colours") << largeGif() << qt(largeGif());
        const QByteArray png = pngWithText(photo, 1000);
        QTest::newRow("png with a comment") << png << photo;
        QTest::newRow("icon holding a png") << icoHolding(png) << photo;
        QTest::newRow("rle bmp") << rleBmp(stripes(), rowRuns(stripes())) << stripes();
        QTest::newRow("interlaced png") << interlacedPng(photo) << photo;
        const QImage translucent = [] {
            QImage indexed = stripes();
            indexed.setColor(2, qRgba(30, 30, 200, 128));
            return indexed;
        }();
        QTest::newRow("palette png with transparency")
            << encoded(translucent, "PNG") << translucent;
        QTest::newRow("png of 31 comments, 8 MB each inflated")
            << pngWithCompressedText(photo, 31, (8 << 20) - 4096) << photo;
        QTest::newRow("rle bmp of 4 bits")
            << rleBmp(stripes(), rowRuns(stripes(), true), true) << stripes();
        QTest::newRow("interlaced gif") << uncompressedGif(stripes(), true) << stripes();
        QTest::newRow("lossless webp") << madeBy("cwebp", {"-lossless"}, photo, ".webp") << photo;
        QImage seeThrough = photo.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < seeThrough.height(); ++y)
            for (int x = 0; x < seeThrough.width(); x += 3)
                seeThrough.setPixel(x, y, qRgba(x, y, 90, (x + y) & 255));
        QTest::newRow("webp with alpha")
            << madeBy("cwebp", {"-lossless", "-exact"}, seeThrough, ".webp") << seeThrough;
        QTest::newRow("first frame of an animated webp")
            << madeBy("gif2webp", {}, largeGif(), ".webp", ".gif") << qt(largeGif());
        QTest::newRow("first frame of a webp animation of 100000 frames")
            << webpAnimationOfFrames(100000) << qt(gif(2));
        QImage transparent(64, 64, QImage::Format_ARGB32);
        transparent.fill(0);
        QTest::newRow("lossless webp whose map names 200 groups of codes")
            << losslessWebpOfGroups(QSize(64, 64), 200) << transparent;
        QTest::newRow("lossless avif")
            << madeBy("avifenc", {"-l", "-s", "10"}, photo, ".avif") << photo;
        // Turned a quarter anticlockwise, then upside down: as the file's boxes say.
        const QByteArray turned
            = madeBy("avifenc", {"-l", "-s", "10", "--irot", "1", "--imir", "0"}, photo, ".avif");
        const QImage upright
            = flippedImage(photo.transformed(QTransform().rotate(-90)), Qt::Vertical);
        QTest::newRow("avif turned and mirrored") << turned << upright;
        QTest::newRow("the same as a general heif file")
            << QByteArray(turned).replace(8, 4, "mif1") << upright;
    }
    void unusualButValidPicturesLoadExactly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QImage, expected);
        QVERIFY(!expected.isNull());
        QVERIFY2(!bytes.isEmpty(), "the encoder failed");
        const Decoded d = decodeTwice(bytes);
        QVERIFY2(d.alike, "two loads differ: pixels the file never set");
        QVERIFY2(!d.refused, "refused");
        const Picture &picture = d.picture;
        QCOMPARE(picture.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
        if (QTest::currentDataTag() == QLatin1String("cmyk jpeg")) // not inverted
            QVERIFY(qAbs(qRed(picture.pixel(100, 50)) - qRed(detailed(240, 160).pixel(100, 50)))
                    < 12);
    }

    // Lossy pictures show what the format's own decoder shows, within what chroma upsampling
    // changes.
    void aLossyPictureShowsWhatItsOwnDecoderShows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        // What the decoder shows of it, where not the file itself: the same picture at 8 bits.
        QTest::addColumn<QByteArray>("reference");
        const QImage picture = scene(300, 200);
        QImage seeThrough = picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                seeThrough.setPixel(
                    x, y, (seeThrough.pixel(x, y) & 0xFFFFFF) | uint(x * 255 / 299) << 24);
        const QByteArray heic = madeBy("heif-enc", {"-q", "60"}, picture, ".heic");
        QTest::newRow("heic") << "lossy.heic" << heic << QByteArray();
        QTest::newRow("heic with alpha")
            << "alpha.heic" << madeBy("heif-enc", {"-q", "60"}, seeThrough, ".heic")
            << QByteArray();
        QTest::newRow("avif") << "lossy.avif" << madeBy("avifenc", {"-s", "10"}, picture, ".avif")
                              << QByteArray();
        QTest::newRow("10-bit avif with alpha")
            << "alpha.avif" << madeBy("avifenc", {"-s", "10", "-d", "10"}, seeThrough, ".avif")
            << QByteArray();
        QTest::newRow("webp") << "lossy.webp" << madeBy("cwebp", {"-q", "60"}, picture, ".webp")
                              << QByteArray();
        QTest::newRow("webp with alpha")
            << "alpha.webp" << madeBy("cwebp", {"-q", "60"}, seeThrough, ".webp") << QByteArray();
        // Put together box by box: a grid of tiles, a thumbnail the file shows as its primary
        // image, and the turns and mirrors libheif once applied itself (to 8-bit pictures only).
        const HeifItem tile
            = heifCoded(2, madeBy("heif-enc", {"-q", "60"}, scene(64, 64), ".heic"));
        QTest::newRow("heif grid of 2 x 2 tiles")
            << "grid.heic" << heifGrid(tile, 2, 2, QSize(120, 100), QSize(120, 100))
            << QByteArray();
        // heif-convert shows the large one, which is no primary image: the primary alone is
        // what the file says to show.
        const QByteArray thumbnail = madeBy("heif-enc", {"-q", "80"}, scene(80, 60), ".heic");
        QTest::newRow("heif whose primary image is the thumbnail of a larger one")
            << "thumbnail.heic"
            << heifThumbnailAsPrimary(thumbnail,
                                      madeBy("heif-enc", {"-q", "80"}, detailed(640, 480), ".heic"))
            << thumbnail;
        const QByteArray mirror = box("imir", QByteArray(1, '\1'));
        QTest::newRow("heic turned")
            << "turned.heic" << heifWith(heic, box("irot", "\1")) << QByteArray();
        QTest::newRow("heic mirrored") << "mirrored.heic" << heifWith(heic, mirror) << QByteArray();
        QTest::newRow("10-bit heic mirrored")
            << "mirrored10.heic"
            << heifWith(madeBy("heif-enc", {"-q", "60", "-b", "10"}, picture, ".heic"), mirror)
            << heifWith(heic, mirror);
    }
    void aLossyPictureShowsWhatItsOwnDecoderShows()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, reference);
        QVERIFY2(!bytes.isEmpty(), "the encoder failed");
        const QString path = dir.filePath(name);
        QVERIFY(write(path, bytes));
        const QString referencePath = dir.filePath(QStringLiteral("reference-") + name);
        QVERIFY(write(referencePath, reference.isEmpty() ? bytes : reference));
        const Decoded d = decodeTwice(bytes);
        QVERIFY2(d.alike, "two loads differ: pixels the file never set");
        QVERIFY2(!d.refused, "refused");
        const double difference = meanDifference(d.picture.convertToFormat(QImage::Format_ARGB32),
                                                 decodedByItsOwnTool(referencePath));
        QVERIFY2(difference <= 4, qPrintable(QString::number(difference)));
    }

    // Counted in work, not time: a machine that stalls mid-load gives the same answer.
    void aPhotoTooCostlyForTheLimitsIsRefusedOnEveryMachine()
    {
        QByteArray photo = jpeg(detailed(2400, 1600), {.progressive = true});
        QBuffer buffer(&photo);
        buffer.open(QIODevice::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError, decodePicture(buffer, PictureDecodeBox, {.jpegCoefficientPasses = 1}));
        buffer.seek(0);
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError, decodePicture(buffer, PictureDecodeBox, {.progressiveBytes = 1 << 20}));
        buffer.seek(0);
        int calls = 0;
        const auto stall = [&](qint64, qint64) {
            if (calls++ == 0)
                QThread::msleep(1000);
        };
        QCOMPARE(decodePicture(buffer, PictureDecodeBox, {}, stall).size(), QSize(1100, 733));
        QVERIFY(calls > 1);
    }

    // Decoders' own conformance and corruption suites, each file with its expected outcome.
    void everyFileOfThePublicSuitesGivesItsExpectedOutcome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("reference");
        const QString root = qEnvironmentVariable(
            "PUZZLE_SUITES", QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../shared/suites"));
        // The suite's pictures for these are their coded frames, before the rotation and
        // mirroring the files' boxes apply; the boxes turn each back into the upright kimono.
        const QMap<QString, QString> restored {
            {"avif-linku/kimono.rotate90.avif", "ref/kimono.png"},
            {"avif-linku/kimono.mirror-horizontal.avif", "ref/kimono.png"},
            {"avif-linku/kimono.mirror-vertical.rotate270.avif", "ref/kimono.png"},
        };
        for (const QString name : {"/MANIFEST.tsv", "/MANIFEST-modern.tsv"}) {
            QFile manifest(root + name);
            if (!manifest.open(QIODevice::ReadOnly))
                QSKIP("no public image suites beside the project");
            while (!manifest.atEnd()) {
                QStringList f = QString::fromUtf8(manifest.readLine().trimmed()).split(u'\t');
                if (f.size() < 4 || f[0].startsWith(u'#') || !QFile::exists(root + u'/' + f[1]))
                    continue; // a suite kept elsewhere
                f[3] = restored.value(f[1], f[3]);
                if (QRegularExpression(QStringLiteral("\\.(webp|avif|heic)$"))
                        .match(f[1])
                        .hasMatch()
                    && f[3] == QLatin1String("-")) { // listed before the game read these formats
                    f[2] = QStringLiteral("good");
                    f[3] = QStringLiteral("decode");
                }
                const QString folder = root + u'/' + f[1].section(u'/', 0, 0);
                QTest::newRow(qPrintable(f[1]))
                    << root + u'/' + f[1] << f[2]
                    << (f[3].startsWith(QStringLiteral("ref/")) ? QString(f[3]).replace(
                            QStringLiteral("ref/"), folder + QStringLiteral("/ref/"))
                                                                : f[3]);
            }
        }
    }
    void everyFileOfThePublicSuitesGivesItsExpectedOutcome()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(QString, reference);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const Decoded d = decodeTwice(bytes);
        QVERIFY2(d.alike, "two loads differ: pixels the file never set");
        // The decoder process, confined and on every core it may use, answers the same.
        Picture apart;
        bool refusedApart = false;
        try {
            apart = LoadPictureData(bytes);
        } catch (const RuntimeError &) {
            refusedApart = true;
        }
        QCOMPARE(refusedApart, d.refused);
        if (!d.refused)
            QCOMPARE(apart.convertToFormat(QImage::Format_ARGB32),
                     d.picture.convertToFormat(QImage::Format_ARGB32));
        if (expected == QLatin1String("questionable")
            || (d.refused && expected == QLatin1String("bad")))
            return;
        QVERIFY2(!d.refused, "refused");
        QVERIFY2(reference != QLatin1String("-"), "loaded, with nothing to show for it");
        // Transparent is transparent, whatever colour a reference keeps under it.
        const auto normal = [](const QImage &image) {
            QImage out = image.convertToFormat(QImage::Format_ARGB32);
            out.setColorSpace({}); // a reference's gamma is no pixel of it
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x)
                    if (qAlpha(out.pixel(x, y)) == 0)
                        out.setPixel(x, y, 0);
            return out;
        };
        // Formats Qt cannot read: their own decoders as Debian ships them, and a mean difference
        // of up to 4 levels a channel, as decoders upsample chroma differently.
        const bool modern = QStringList {"avif", "heic", "heif", "webp"}.contains(
            QFileInfo(path).suffix().toLower());
        QList<QImage> right;
        if (modern && reference == QLatin1String("decode")) {
            QVERIFY(QFile::copy(path, dir.filePath(QFileInfo(path).fileName())));
            right << decodedByItsOwnTool(dir.filePath(QFileInfo(path).fileName()));
        }
        for (const QString &ref : reference.split(u'|')) {
            if (modern && ref == QLatin1String("decode"))
                continue;
            QImageReader reader(ref.startsWith(u'/') ? ref : path);
            reader.setAutoTransform(ref == QLatin1String("exif"));
            do
                right << reader.read();
            while (ref == QLatin1String("ico") && reader.jumpToNextImage());
        }
        // Debian 12's avifdec and heif-convert write this file's grey samples as they are; the
        // file says they span 16 (black) to 235 (white), as browsers show them.
        if (path.endsWith(QLatin1String("fox.profile0.8bpc.yuv420.monochrome.avif")))
            for (QImage &r : right) {
                r = r.convertToFormat(QImage::Format_RGB32);
                for (int y = 0; y < r.height(); ++y)
                    for (int x = 0; x < r.width(); ++x) {
                        const int grey
                            = std::clamp((qGray(r.pixel(x, y)) - 16) * 255 / 219, 0, 255);
                        r.setPixel(x, y, qRgb(grey, grey, grey));
                    }
            }
        const QImage shown = normal(d.picture);
        const auto fitted = [&](const QImage &r) { // a picture wider than the board shows
            return r.size() == shown.size()
                ? r
                : r.convertToFormat(d.picture.format())
                      .scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        // Qt 6.8 hands a CMYK JPEG back as CMYK and rounds its own conversion to RGB, where the
        // loader (and Qt before) truncates: the same pixels, at most one level apart.
        const auto same = [&](const QImage &r) {
            const QImage ref = normal(fitted(r));
            if (modern)
                return meanDifference(ref, shown) <= 4;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
            if (r.format() == QImage::Format_CMYK8888 && ref.size() == shown.size()) {
                for (int y = 0; y < ref.height(); ++y)
                    for (int x = 0; x < ref.width(); ++x) {
                        const QRgb a = ref.pixel(x, y), b = shown.pixel(x, y);
                        if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1
                            || std::abs(qBlue(a) - qBlue(b)) > 1 || qAlpha(a) != qAlpha(b))
                            return false;
                    }
                return true;
            }
#endif
            return ref == shown;
        };
        QVERIFY2(std::any_of(right.cbegin(), right.cend(),
                             [&](const QImage &r) { return !r.isNull() && same(r); }),
                 "not the reference picture");
    }

    void cancellingADirectoryOrAVanishedFileChangesNothing()
    {
        Board b;
        b.deal();
        const Snapshot before(b);
        b.dialog.answer.clear(); // cancel
        b.form.mnu_carica->trigger();
        QVERIFY(Snapshot(b) == before);
        QVERIFY(b.form.CommonDialog1.CancelError);

        b.dialog.answer = dir.path();
        b.form.mnu_carica->trigger();
        QVERIFY(Snapshot(b) == before);

        const QString path = dir.filePath(QStringLiteral("gone.jpg"));
        QVERIFY(write(path, encoded(scene(20, 20), "JPG")));
        b.dialog.answer = path;
        b.dialog.whileOpen = [&] {
            QFile::remove(path);
        };
        b.form.mnu_carica->trigger();
        QVERIFY(Snapshot(b) == before);
        QCOMPARE(b.dialog.shown, 3);
    }

    // Every way a picture arrives takes the dialog's path: a file dropped from a file manager,
    // a file's address or name pasted, a picture's bytes pasted from a browser. What is no
    // picture changes nothing.
    void aPictureDroppedOrPastedLoadsAsOneOpened_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("what"); // the file's content, or the bytes pasted
        QTest::addColumn<QSize>("size"); // empty: nothing changes
        const QByteArray jpeg = encoded(scene(120, 90), "JPG");
        QTest::newRow("dropped file") << "drop" << jpeg << QSize(120, 90);
        QTest::newRow("pasted file address") << "paste url" << jpeg << QSize(120, 90);
        QTest::newRow("pasted file name") << "paste name" << jpeg << QSize(120, 90);
        QTest::newRow("pasted png bytes")
            << "paste bytes" << encoded(scene(64, 48), "PNG") << QSize(64, 48);
        QTest::newRow("pasted webp bytes")
            << "paste bytes" << madeBy("cwebp", {"-q", "80"}, scene(80, 60), ".webp")
            << QSize(80, 60);
        QTest::newRow("dropped text file") << "drop" << QByteArray("nessuna foto\n") << QSize();
        QTest::newRow("pasted text bytes")
            << "paste bytes" << QByteArray("nessuna foto") << QSize();
    }
    void aPictureDroppedOrPastedLoadsAsOneOpened()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, what);
        QFETCH(QSize, size);
        const QString path = dir.filePath(QStringLiteral("arrived"));
        QVERIFY(write(path, what));
        Board b;
        b.deal();
        const Snapshot before(b);
        int decoders = 0;
        setDecoderConfinedHook([&](qint64) { ++decoders; });
        auto *data = new QMimeData;
        if (how == QLatin1String("paste url") || how == QLatin1String("drop"))
            data->setUrls({QUrl::fromLocalFile(path)});
        else if (how == QLatin1String("paste name"))
            data->setText(path);
        else
            data->setData(what.startsWith("RIFF") ? "image/webp" : "image/png", what);
        if (how == QLatin1String("drop")) {
            const QPoint at = b.centre(b.form.Image1);
            QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&b.form, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&b.form, &drop);
            delete data;
        } else {
            QGuiApplication::clipboard()->setMimeData(data);
            QTest::keyClick(b.window(), Qt::Key_V, Qt::ControlModifier);
        }
        // A drop's load runs once the drop is over.
        QTRY_COMPARE(decoders, 1);
        setDecoderConfinedHook({});
        if (size.isEmpty()) {
            QVERIFY(Snapshot(b) == before);
            return;
        }
        QCOMPARE(b.form.Image1->picture().size(), size);
        QCOMPARE(b.form.PictureClip1.picture(), b.form.Image1->picture());
        QVERIFY(!b.form.Frame1->isVisible());
    }

    // A decoder that dies mid-load, killed or crashing, is a file that did not load: the board
    // as it was, no decoder left behind, and the next load works. The decoder cannot finish
    // while the game is in the hook: its picture is more than a pipe holds.
    void aDecoderThatDiesMidLoadChangesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("killed") << SIGKILL;
        QTest::newRow("crashed") << SIGSEGV;
    }
    void aDecoderThatDiesMidLoadChangesNothing()
    {
        QFETCH(int, signal);
        const QString path = dir.filePath(QStringLiteral("dies.jpg"));
        QVERIFY(write(path, encoded(scene(600, 400), "JPG")));
        Board b;
        b.deal();
        const Snapshot before(b);
        qint64 decoder = 0;
        setDecoderConfinedHook([&](qint64 pid) {
            decoder = pid;
            ::kill(pid_t(pid), signal);
        });
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        setDecoderConfinedHook({});
        QVERIFY(decoder > 0);
        QVERIFY(Snapshot(b) == before);
        QCOMPARE(::kill(pid_t(decoder), 0), -1); // reaped
        b.form.mnu_carica->trigger();
        QCOMPARE(b.form.Image1->picture().size(), QSize(600, 400));
    }

    // What a decoder says is checked before the game takes it: anything but a whole picture of
    // the size asked is a file that did not load.
    void aDecoderAnsweringAnythingButAPictureChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        const auto result = [](qint64 bytes, qint32 width, qint32 height, qint32 format) {
            decoding::ResultHeader header {bytes, width, height, format};
            return QByteArray(1, decoding::Result)
                + QByteArray(reinterpret_cast<const char *>(&header), sizeof header);
        };
        const QByteArray whole
            = result(40 * 30 * 4, 40, 30, QImage::Format_RGB32) + QByteArray(40 * 30 * 4, '\x7f');
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("a refusal") << QByteArray(1, decoding::Refused);
        QTest::newRow("a word it never says") << QByteArray("Z");
        QTest::newRow("a picture larger than asked")
            << result(2000 * 30 * 4, 2000, 30, QImage::Format_RGB32)
                + QByteArray(2000 * 30 * 4, '\x7f');
        QTest::newRow("a picture in another format")
            << result(40 * 30 * 2, 40, 30, QImage::Format_RGB16) + QByteArray(40 * 30 * 2, '\x7f');
        QTest::newRow("a length that is not its rows")
            << result(40 * 30, 40, 30, QImage::Format_RGB32) + QByteArray(40 * 30, '\x7f');
        QTest::newRow("half a picture") << whole.left(whole.size() / 2);
        QTest::newRow("a picture and more") << whole + QByteArray(1, decoding::Refused);
    }
    void aDecoderAnsweringAnythingButAPictureChangesNothing()
    {
        QFETCH(QByteArray, answer);
        QTemporaryDir fake;
        QVERIFY(write(fake.filePath(QStringLiteral("answer")), answer));
        QFile program(fake.filePath(QStringLiteral("puzzle-decoder")));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\nexec cat '" + QFile::encodeName(fake.filePath("answer")) + "'\n");
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const QString path = dir.filePath(QStringLiteral("any.jpg"));
        QVERIFY(write(path, encoded(scene(40, 30), "JPG")));
        Board b;
        b.deal();
        const Snapshot before(b);
        setDecoderLocations({fake.path()});
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        setDecoderLocations({QStringLiteral(PUZZLE_DECODER_DIR)});
        QVERIFY(Snapshot(b) == before);
    }

    // Escape in the progress window gives up the load at once: nothing changed, no decoder left.
    void escapeDuringALoadGivesItUp()
    {
        const QString path = dir.filePath(QStringLiteral("long.jpg"));
        QVERIFY(write(path, encoded(scene(600, 400), "JPG")));
        Board b;
        b.deal();
        const Snapshot before(b);
        LoadWait::showWindowAtOnce(true);
        qint64 decoder = 0;
        setDecoderConfinedHook([&](qint64 pid) {
            decoder = pid;
            QTest::keyClick(LoadWait::window(), Qt::Key_Escape);
        });
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        setDecoderConfinedHook({});
        LoadWait::showWindowAtOnce(false);
        QVERIFY(decoder > 0);
        QVERIFY(Snapshot(b) == before);
        QCOMPARE(::kill(pid_t(decoder), 0), -1);
    }

    // The decoder as the kernel sees it while it works: no new privileges, a system-call filter,
    // no core dump, a bound on its memory.
    void theDecoderIsConfinedBeforeItReadsAByte()
    {
        const QString path = dir.filePath(QStringLiteral("seen.jpg"));
        QVERIFY(write(path, encoded(scene(600, 400), "JPG")));
        Board b;
        QByteArray status, limits;
        setDecoderConfinedHook([&](qint64 pid) {
            QFile s(QStringLiteral("/proc/%1/status").arg(pid)),
                l(QStringLiteral("/proc/%1/limits").arg(pid));
            if (s.open(QIODevice::ReadOnly))
                status = s.readAll();
            if (l.open(QIODevice::ReadOnly))
                limits = l.readAll();
        });
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        setDecoderConfinedHook({});
        QCOMPARE(b.form.Image1->picture().size(), QSize(600, 400));
        QVERIFY2(status.contains("NoNewPrivs:\t1"), status.constData());
        QVERIFY2(status.contains("Seccomp:\t2"), status.constData());
        QVERIFY2(QRegularExpression(QStringLiteral("Max core file size +0 +0"))
                     .match(QString::fromLatin1(limits))
                     .hasMatch(),
                 limits.constData());
#ifndef PUZZLE_SANITIZE // the sanitizers' shadow memory takes terabytes of addresses
        QVERIFY2(QRegularExpression(QStringLiteral("Max address space +[0-9]+ +[0-9]+ +bytes"))
                     .match(QString::fromLatin1(limits))
                     .hasMatch(),
                 limits.constData());
#endif
    }

    // And from inside: a child confined as the decoder is tries what a picture must never make
    // the decoder do. The kernel refuses it the file, and ends it at any other try.
    void aConfinedProcessOpensConnectsAndStartsNothing_data()
    {
        QTest::addColumn<int>("attempt");
        QTest::newRow("open a file to write") << 0;
        QTest::newRow("open a file to read") << 1;
        QTest::newRow("connect to a socket") << 2;
        QTest::newRow("start a program") << 3;
        QTest::newRow("signal another process") << 4;
    }
    void aConfinedProcessOpensConnectsAndStartsNothing()
    {
        QFETCH(int, attempt);
        const QByteArray made = QFile::encodeName(dir.filePath(QStringLiteral("made-by-child")));
        QFile::remove(QString::fromLocal8Bit(made));
        const pid_t parent = ::getpid();
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close_range(3, ~0U, 0); // as the decoder starts: the test's own descriptors gone
            if (!confine({}))
                ::_exit(2);
            switch (attempt) {
            case 0: // refused, not fatal: see confine.cpp
                ::_exit(::open(made.constData(), O_WRONLY | O_CREAT, 0600) < 0 && errno == EACCES
                            ? 3
                            : 0);
            case 1:
                ::_exit(::open("/etc/hostname", O_RDONLY) < 0 && errno == EACCES ? 3 : 0);
            case 2: {
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address {};
                address.sun_family = AF_UNIX;
                std::strcpy(address.sun_path, "/run/dbus/system_bus_socket");
                ::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
                break;
            }
            case 3: {
                char *const argv[] = {const_cast<char *>("/bin/true"), nullptr};
                ::execv("/bin/true", argv);
                break;
            }
            case 4:
                ::kill(parent, SIGCONT);
                break;
            }
            ::_exit(0); // the attempt came back: a failure
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        // A file it may not open; anything else ends it.
        const bool refused = attempt <= 1 ? WIFEXITED(status) && WEXITSTATUS(status) == 3
                                          : WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS;
        QVERIFY2(refused, qPrintable(QStringLiteral("ended with status %1").arg(status)));
        QVERIFY(!QFile::exists(QString::fromLocal8Bit(made)));
    }

    void aLargePhotoIsDecodedAtTheSizeTheBoardShows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("full");
        QTest::newRow("36 MP") << encoded(scene(7360, 4912), "JPG", 75) << QSize(7360, 4912);
        QTest::newRow("24 MP progressive")
            << jpeg(detailed(6000, 4000), {.progressive = true}) << QSize(6000, 4000);
        QTest::newRow("65500 x 200") << jpeg(scene(65500, 200)) << QSize(65500, 200);
        // Phones' 200-megapixel mode: more pixels than anything decoded whole may have.
        QTest::newRow("200 MP baseline") << photoJpeg(16320, 12240, 0, 50) << QSize(16320, 12240);
        const QImage wide = scene(3000, 2000);
        QTest::newRow("6 MP heic")
            << madeBy("heif-enc", {"-q", "50"}, wide, ".heic") << wide.size();
        QTest::newRow("6 MP avif") << madeBy("avifenc", {"-s", "10"}, wide, ".avif") << wide.size();
        QTest::newRow("6 MP webp") << madeBy("cwebp", {"-q", "50"}, wide, ".webp") << wide.size();
        QTest::newRow("6 MP lossless webp")
            << madeBy("cwebp", {"-lossless", "-z", "0"}, wide, ".webp") << wide.size();
        // Past 16 megapixels, which other formats were once held to.
        QImage indexed(4800, 3600, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(30, 200, 60), qRgb(200, 40, 40)});
        indexed.fill(0);
        for (int y = 1800; y < 3600; ++y) // green above red: rows in their order
            std::memset(indexed.scanLine(y), 1, 4800);
        QTest::newRow("17 MP png") << encoded(indexed, "PNG") << indexed.size();
        QTest::newRow("17 MP bmp") << encoded(indexed, "BMP") << indexed.size();
        QTest::newRow("17 MP gif") << uncompressedGif(indexed) << indexed.size();
        QTest::newRow("17 MP interlaced png") << interlacedPng(indexed) << indexed.size();
    }
    void aLargePhotoIsDecodedAtTheSizeTheBoardShows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, full);
        const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY2(!bytes.isEmpty(), "the encoder failed");
        QVERIFY(write(path, bytes));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        // How long it may take is the benchmark's to show; here, that it fits and looks right.
        const Picture loaded = decodePicture(buffer);
        QCOMPARE(loaded.size(), full.scaled(PictureDecodeBox, Qt::KeepAspectRatio));
        if (full.width() != 6000) { // the others' top corner is green, their bottom not
            QVERIFY(qGreen(loaded.pixel(2, 0)) > 150);
            QVERIFY(qGreen(loaded.pixel(2, loaded.height() - 1)) < 150);
        }
        Board b;
        b.dialog.answer = path;
        b.form.mnu_carica->trigger();
        QCOMPARE(b.form.Image1->picture().size(), loaded.size());
    }

    void theRealDialogOffersOneFilterMatchingAnyCase()
    {
        const QString folder = dir.filePath(QStringLiteral("dialog"));
        QDir().mkpath(folder);
        QVERIFY(write(folder + QStringLiteral("/PHOTO.JPG"), encoded(scene(8, 8), "JPG")));
        QVERIFY(write(folder + QStringLiteral("/camera.jpeg"), encoded(scene(8, 8), "JPG")));
        QVERIFY(write(folder + QStringLiteral("/icon.Ico"), encoded(scene(8, 8), "ICO")));
        QVERIFY(write(folder + QStringLiteral("/notes.txt"), "x"));
        for (const char *name : {"/IMG_0001.HEIC", "/scatto.heif", "/pagina.webp", "/foto.avif"})
            QVERIFY(write(folder + QLatin1String(name), "x")); // listed by name: not read

        QtFileOpenDialog dialog;
        dialog.Filter = PuzzleForm::PictureFilter;
        dialog.CancelError = true;
        QStringList listed, filters, buttons;
        bool choose = false;
        QTimer poll;
        const auto inspect = [&] {
            auto *open = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!open)
                return false;
            poll.stop(); // the wait below must not let the next tick in
            auto *model = open->findChild<QFileSystemModel *>();
            QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
            open->setDirectory(folder);
            // The model reads the folder in the background.
            const auto folderRead = [&] {
                for (const QList<QVariant> &signal : loaded)
                    if (QDir(signal[0].toString()) == QDir(folder))
                        return true;
                return false;
            };
            if (!choose && !QTest::qWaitFor(folderRead)) {
                open->reject();
                return true;
            }
            const QModelIndex root = model->index(folder);
            listed.clear();
            for (int i = 0; i < model->rowCount(root) && !choose; ++i) {
                const QModelIndex index = model->index(i, 0, root);
                if (!(model->flags(index) & Qt::ItemIsEnabled))
                    continue;
                listed << index.data().toString();
            }
            filters = open->nameFilters();
            for (QPushButton *button : open->findChildren<QPushButton *>())
                buttons << button->text();
            if (choose) {
                // As a player does: type the name, press Enter.
                auto *name = open->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (!name) {
                    open->reject();
                    return true;
                }
                name->setText(QStringLiteral("PHOTO.JPG"));
                QTest::keyClick(name, Qt::Key_Return);
            } else {
                open->reject();
            }
            return true;
        };
        connect(&poll, &QTimer::timeout, this, [&] { inspect(); });
        poll.start(50);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, dialog.ShowOpen());
        listed.sort(Qt::CaseInsensitive);
        QCOMPARE(listed,
                 (QStringList {"camera.jpeg", "foto.avif", "icon.Ico", "IMG_0001.HEIC",
                               "pagina.webp", "PHOTO.JPG", "scatto.heif"}));
        QCOMPARE(filters.size(), 1);
        QVERIFY(filters[0].startsWith(QStringLiteral("Tutti i File di Grafica")));
        QVERIFY2(buttons.contains(QStringLiteral("Annulla")),
                 qPrintable(buttons.join(QLatin1Char(','))));

        choose = true;
        poll.start(50);
        dialog.ShowOpen();
        QCOMPARE(QFileInfo(dialog.FileName).fileName(), QStringLiteral("PHOTO.JPG"));
        // Ended hidden, its window kept (another thread may still be drawing into it).
        QList<QFileDialog *> kept;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *open = qobject_cast<QFileDialog *>(widget))
                kept << open;
        QCOMPARE(kept.size(), 1);
        QVERIFY(!kept[0]->isVisible() && kept[0]->windowHandle()
                && kept[0]->windowHandle()->handle());
    }

private:
    QTemporaryDir dir;
    QTranslator m_translator;
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
