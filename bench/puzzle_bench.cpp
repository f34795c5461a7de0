// SPDX-License-Identifier: GPL-3.0-or-later
// In-process figures: how long the game's own work takes, and how much memory it needs; and the
// pictures they are measured on. Run without arguments for the verbs. Figures only: nothing
// here passes or fails.

#include "client.h"
#include "hostile.h"
#include "loader.h"
#include "puzzleform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/resource.h>
#include <vector>

namespace {

class BenchDialog : public FileOpenDialog
{
public:
    QString answer;
    void ShowOpen() override { FileName = answer; }
};

class SilentPlayer : public MediaPlayer
{
public:
    void setFileName(const QString &) override { }
    void setCommand(const QString &) override { }
};

// A figure of /proc/self/status in kB: "VmHWM:" the peak resident set, "VmRSS:" the current.
long statusKb(const QByteArray &field = "VmHWM:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
    return -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int makeJpeg(const QString &file, int width, int height)
{
    return testpictures::write(file, testpictures::jpeg(testpictures::detailed(width, height))) ? 0
                                                                                                : 1;
}

// The files that once cost the loader seconds or gigabytes, and their neighbours.
int makeHostile(const QString &folder)
{
    using namespace testpictures;
    const QImage photo = detailed(1200, 900);
    const QImage large = detailed(6000, 4000);
    const QByteArray baseline = jpeg(large);
    // The PNG's text chunk (checksum and all) repeated until the file is `bytes` long.
    const auto textChunks = [](const QByteArray &png, qsizetype bytes) {
        const qsizetype idat = png.indexOf("IDAT") - 4;
        const qsizetype text = png.indexOf("Comment") - 8;
        const QByteArray chunk = png.mid(text, idat - text);
        return png.left(idat) + chunk.repeated(bytes / chunk.size()) + png.mid(idat);
    };
    QImage bombed = photo;
    bombed.setText(QStringLiteral("Comment"), QString(8 << 20, QLatin1Char('y')));
    const QByteArray pngBomb = encoded(bombed, "PNG");
    const auto comments = [&](int count) { // the largest comment segments, before the photo
        const QByteArray bytes = jpeg(photo);
        QByteArray segment("\xff\xfe\xff\xff", 4);
        segment.append(QByteArray(65533, 'x'));
        return bytes.left(2) + segment.repeated(count) + bytes.mid(2);
    };
    // A real header claiming the size, then 250 MB of noise for the decoder to chew on.
    const auto noiseClaiming = [&](int width, int height) {
        const qsizetype sos = segmentOf(baseline, 0xDA);
        QByteArray bytes
            = baseline.left(sos + 2 + (uchar(baseline[sos + 2]) << 8 | uchar(baseline[sos + 3])));
        claimSize(bytes, segmentOf(bytes, 0xC0), width, height);
        QByteArray noise(250 << 20, Qt::Uninitialized);
        quint32 seed = 1;
        for (char &c : noise)
            c = char((seed = seed * 1103515245 + 12345) >> 24 & 0x7f);
        return bytes + noise + QByteArray("\xff\xd9", 2);
    };
    const QByteArray heic = madeBy("heif-enc", {"-q", "80"}, photo, ".heic");
    const QByteArray avif = madeBy("avifenc", {"-s", "10"}, photo, ".avif");
    const QByteArray webp = madeBy("cwebp", {"-lossless"}, photo, ".webp");
    QImage flat(8000, 6000, QImage::Format_RGB32);
    flat.fill(qRgb(90, 140, 220));
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"ok-baseline-24mp.jpg", baseline},
        {"ok-progressive-24mp-420.jpg", jpeg(large, {.progressive = true})},
        {"ok-cmyk.jpg", jpeg(photo, {.cmyk = true})},
        {"ok-top-down.bmp", topDownBmp(photo)},
        {"ok-fill-2mb-before-frame.jpg", fillBeforeFrame(photo, 2 << 20)},
        {"ok-fill-20mb-before-frame.jpg", fillBeforeFrame(photo, 20 << 20)},
        {"ok-progressive-48mp-420.jpg", jpeg(detailed(8000, 6000), {.progressive = true})},
        {"ok-progressive-48mp-444.jpg",
         jpeg(detailed(8000, 6000), {.progressive = true, .fullChroma = true})},
        {"ok-baseline-48mp.jpg", jpeg(detailed(8000, 6000), {.quality = 92})},
        {"ok-baseline-48mp-best.jpg",
         jpeg(detailed(8000, 6000), {.fullChroma = true, .quality = 100})},
        {"ok-noise-24mp-best-quality.jpg",
         [] { // noise at the best quality: more bytes than the scans may hold
             QImage noise(6000, 4000, QImage::Format_RGB32);
             quint32 seed = 7;
             for (int y = 0; y < noise.height(); ++y) {
                 auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
                 for (int x = 0; x < noise.width(); ++x)
                     line[x] = (seed = seed * 1103515245 + 12345) >> 8;
             }
             return jpeg(noise, {.fullChroma = true, .quality = 100});
         }()},
        {"progressive-scans-to-the-cap-48mp-444.jpg",
         [] { // the last scan (a refinement of every luma coefficient) again and again
             const QByteArray b
                 = jpeg(detailed(8000, 6000), {.progressive = true, .fullChroma = true});
             const qsizetype last = b.lastIndexOf(QByteArray("\xff\xda", 2));
             const QByteArray scan = b.mid(last, b.size() - 2 - last);
             return b.left(last) + scan.repeated(12) + QByteArray("\xff\xd9", 2);
         }()},
        {"ok-cmyk-48mp.jpg", jpeg(detailed(8000, 6000), {.cmyk = true})},
        {"ok-png-48mp.png", encoded(detailed(8000, 6000), "PNG")},
        {"ok-png-48mp-interlaced.png", interlacedPng(detailed(8000, 6000))},
        {"ok-bmp-48mp.bmp", encoded(detailed(8000, 6000), "BMP")},
        {"ok-gif-48mp.gif",
         [] {
             QImage indexed(8000, 6000, QImage::Format_Indexed8);
             QList<QRgb> colours;
             for (int i = 0; i < 256; ++i)
                 colours << qRgb(i, 255 - i, (i * 7) & 255);
             indexed.setColorTable(colours);
             for (int y = 0; y < indexed.height(); ++y)
                 for (int x = 0; x < indexed.width(); ++x)
                     indexed.scanLine(y)[x] = uchar((x * 7 + y) ^ (y >> 3));
             return uncompressedGif(indexed);
         }()},
        {"header-progressive-20000x20000.jpg", progressiveClaiming(20000, 20000)},
        {"header-progressive-30000x30000.jpg", progressiveClaiming(30000, 30000)},
        {"header-baseline-65500x65500.jpg", jpegClaiming(65500, 65500)},
        {"scan-repeated-1500.jpg", repeatedScan(scene(300, 200), 1500)},
        {"segments-100k-empty.jpg", emptySegments(photo, 100000)},
        {"segments-20mb-empty.jpg", emptySegments(photo, 5 << 20)},
        {"cut-progressive.jpg",
         [&] {
             const QByteArray b = jpeg(large, {.progressive = true});
             return b.left(b.size() * 2 / 3);
         }()},
        {"ok-comments-255mb.jpg", comments(3890)},
        {"over-256mb.jpg", comments(4100)},
        {"ok-gif-of-10m-frames.gif",
         [] {
             const QByteArray two = gif(2); // header, loop, two frames of 2 x 2, trailer
             const qsizetype first = two.indexOf("\x21\xf9"), each = (two.size() - 1 - first) / 2;
             return two.left(first) + two.mid(first, each).repeated(10 << 20) + ';';
         }()},
        {"png-240mb-of-text.png", textChunks(pngWithText(photo, 1 << 20), 240 << 20)},
        {"png-240mb-of-inflating-text.png", textChunks(pngBomb, 240 << 20)},
        {"ico-holding-240mb-of-text.ico",
         icoHolding(textChunks(pngWithText(photo, 1 << 20), 240 << 20))},
        {"ok-tables-240mb-before-frame.jpg",
         [&] {
             QByteArray table("\xff\xdb\0\x43\0", 5);
             for (char q = 1; q <= 64; ++q)
                 table.append(q);
             return baseline.left(2) + table.repeated((240 << 20) / table.size()) + baseline.mid(2);
         }()},
        {"entropy-250mb-claims-65500x65500.jpg", noiseClaiming(65500, 65500)},
        // The most pixels a file may claim, and noise beyond what any photo holds.
        {"entropy-250mb-claims-8000x8000.jpg", noiseClaiming(8000, 8000)},
        {"gif-250mb-of-comment.gif",
         [] {
             const QByteArray one = gif();
             QByteArray comment("\x21\xfe", 2);
             comment.append((char(-1) + QByteArray(255, 'c')).repeated((250 << 20) / 256))
                 .append('\0');
             return one.left(19) + comment + one.mid(19);
         }()},
        {"cut-pixels.bmp", encoded(photo, "BMP").chopped(100000)},
        {"past-end-pixels.bmp", bmpDataPastEnd(photo)},
        {"cut-first-frame.gif", largeGif().chopped(3000)},
        // Sizes and counts one header states and another, or the data, contradicts.
        {"gif-image-65535x65535-on-1x1-screen.gif", oneColourGif(QSize(1, 1), QSize(65535, 65535))},
        {"gif-interlaced-65535x1831-on-1x1-screen.gif",
         oneColourGif(QSize(1, 1), QSize(65535, 1831), true)},
        {"ok-gif-image-8000x8000-on-1x1-screen.gif", oneColourGif(QSize(1, 1), QSize(8000, 8000))},
        {"gif-colour-257-of-2.gif", gifOfColour257()},
        {"ok-png-31-comments-inflating-to-248mb.png",
         pngWithCompressedText(photo, 31, (8 << 20) - 4096)},
        {"png-inflating-10gb-past-its-row.png", pngInflatingPastItsRow(qint64(10) << 30)},
        {"png-colour-past-palette.png", pngPastItsPalette(false)},
        {"png-transparency-past-palette.png", pngPastItsPalette(true)},
        {"ico-directory-16x16-bitmap-32x32.ico", icoSmallerThanItsBitmap()},
        {"ico-colour-past-table.ico", icoOfColour5()},
        {"claims-12000x12000.png",
         [] {
             QImage blank(12000, 12000, QImage::Format_Mono);
             blank.fill(0);
             return encoded(blank, "PNG");
         }()},
        // HEIF, AVIF and WebP: sizes the container states against the data, and flat pictures
        // that claim a photo's size in a few bytes.
        {"heic-claims-30000x30000.heic", claimingExtents(heic, 30000, 30000)},
        {"heic-frame-larger-than-stated-16x16.heic", claimingExtents(heic, 16, 16)},
        {"avif-claims-60000x60000.avif", claimingExtents(avif, 60000, 60000)},
        {"avif-frame-larger-than-stated-16x16.avif", claimingExtents(avif, 16, 16)},
        {"webp-claims-16383x16383.webp", webpClaiming(webp, 16383, 16383)},
        {"avif-flat-8000x6000-in-a-few-kb.avif", madeBy("avifenc", {"-s", "10"}, flat, ".avif")},
        {"heic-flat-8000x6000-in-a-few-kb.heic",
         madeBy("heif-enc", {"-q", "10", "-p", "preset=ultrafast"}, flat, ".heic")},
        {"heic-flat-8000x6000-claiming-16x16.heic",
         claimingExtents(madeBy("heif-enc", {"-q", "10", "-p", "preset=ultrafast"}, flat, ".heic"),
                         16, 16)},
        {"webp-flat-8000x6000-lossless.webp",
         madeBy("cwebp", {"-lossless", "-z", "0"}, flat, ".webp")},
        {"ok-webp-animated-1200x900.webp",
         madeBy("gif2webp", {}, uncompressedGif(photo.convertToFormat(QImage::Format_Indexed8)),
                ".webp", ".gif")},
        // HEIF and WebP structures that made a library build what no box or chunk counted.
        {"heif-grid-canvas-32767x32767-in-its-data.heic", heifGridOfCanvas(QSize(32767, 32767))},
        {"heif-overlay-canvas-16000x12000.heic", heifOverlayOfCanvas(QSize(16000, 12000))},
        {"heif-av1-stated-64x64-coded-8000x6000-beside-hevc-thumbnail.heif",
         heifAv1BehindThumbnail(QSize(8000, 6000))},
        {"heic-stated-64x64-parameter-sets-of-8000x6000-in-data.heic",
         heifParameterSetsInData(QSize(8000, 6000))},
        {"ok-webp-animation-of-1m-frames.webp", webpAnimationOfFrames(1'000'000)},
        {"webp-lossless-8000x8000-naming-65536-groups.webp",
         losslessWebpOfGroups(QSize(8000, 8000), 65536, 680000)},
        {"webp-7800x7800-alpha-lossless-at-4-bytes-a-pixel.webp",
         webpWithPlainAlpha(
             madeBy("cwebp", {"-q", "10"}, flatPicture(QSize(7800, 7800)), ".webp"))},
        {"ok-heif-thumbnail-as-primary.heic",
         heifThumbnailAsPrimary(madeBy("heif-enc", {"-q", "80"}, photo, ".heic"),
                                madeBy("heif-enc", {"-q", "80"}, large, ".heic"))},
        {"cut-heic.heic", heic.left(heic.size() / 2)},
        {"cut-avif.avif", avif.left(avif.size() / 2)},
        {"cut-webp.webp", webp.left(webp.size() / 2)},
    };
    QDir().mkpath(folder);
    for (const auto &[name, bytes] : files)
        if (!write(folder + QLatin1Char('/') + QLatin1String(name), bytes))
            return 1;
    return 0;
}

double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Counts the paint events each widget receives.
class PaintCounter : public QObject
{
public:
    // By name, taken when painted: a drag image is gone by the time the counts are read.
    std::map<QString, int> paints;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints[watched->objectName().isEmpty()
                         ? QString::fromLatin1(watched->metaObject()->className())
                         : watched->objectName()];
        return false;
    }
    int tiles() const
    {
        int n = 0;
        for (const auto &[name, count] : paints)
            n += name.startsWith(QLatin1String("Image2("));
        return n;
    }
};

template<typename Work> std::vector<double> timed(int runs, Work work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}

} // namespace

// Every verb, with what it does.
constexpr const char *Usage = R"(usage: puzzle_bench VERB [ARGUMENTS]
  make-jpeg FILE W H          writes a detailed picture of W x H as a baseline JPEG
  make-photo FILE W H [16]    writes a photo-like picture: a baseline JPEG made row by row
                              (FILE.jpg), or a PNG for the HEIF, AVIF and WebP encoders (16:
                              16 bits a sample, for a 10-bit HEIC)
  make-hostile FOLDER         writes the pictures made to hurt, and their legal neighbours
  load FILE [RUNS]            loads FILE through the menu handler, then deals 6 X 5: the
                              median time, the size decoded, the peak resident set
  attack FILE                 one load through the menu handler: loaded or refused, its time,
                              the game's peak resident set above the one before it, and the
                              decoder process's peak
  board [RUNS]                builds and deals each of the 13 grids: median times
  moves [RUNS]                CPU from a move's mouse event to its repaint being scheduled,
                              and which widgets the repaint touched
)";

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Figures only: what Qt's platform says of windows it cannot raise is no figure.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (args.size() == 4 && args[0] == QLatin1String("make-jpeg"))
        return makeJpeg(args[1], args[2].toInt(), args[3].toInt());
    if ((args.size() == 4 || args.size() == 5) && args[0] == QLatin1String("make-photo")) {
        // A camera's photo: a baseline JPEG made row by row, or a PNG for the other encoders,
        // of 16 bits a sample when asked (for a 10-bit HEIC).
        const int width = args[2].toInt(), height = args[3].toInt();
        if (args[1].endsWith(QLatin1String(".jpg")))
            return testpictures::write(args[1], testpictures::photoJpeg(width, height)) ? 0 : 1;
        QImage photo = testpictures::photo(width, height);
        if (args.size() == 5 && args[4] == QLatin1String("16"))
            photo.convertTo(QImage::Format_RGBX64);
        return testpictures::write(args[1], testpictures::encoded(photo, "PNG", 100)) ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == QLatin1String("make-hostile"))
        return makeHostile(args[1]);

    setDecoderLocations({QStringLiteral(PUZZLE_DECODER_DIR)});
    BenchDialog dialog;
    SilentPlayer player;
    ClockRandom random(1);
    PuzzleForm form(Puzzle_03(), BoardServices {dialog, player, random});
    form.Show();
    const long startKb = statusKb();

    if (args.size() == 2 && args[0] == QLatin1String("attack")) {
        // One load, from the resident set before it to the peak during it.
        dialog.answer = args[1];
        form.co_ri_Click(12);
        const Picture before = form.Image1->picture();
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
            return 1; // the peak cannot be reset here
        clear.close();
        const long startRss = statusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        form.mnu_carica_Click();
        const double ms = timer.nsecsElapsed() / 1e6;
        const QSize size = form.Image1->picture().size();
        // The decoder's own peak: the largest of the finished children's.
        rusage children {};
        getrusage(RUSAGE_CHILDREN, &children);
        std::printf("outcome=%s ms=%.1f peak_extra_mb=%.1f decoder_peak_mb=%.1f size=%dx%d\n",
                    form.Image1->picture() == before ? "refused" : "loaded", ms,
                    (statusKb() - startRss) / 1024.0, children.ru_maxrss / 1024.0, size.width(),
                    size.height());
        return 0;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("load")) {
        // One load per process keeps the peak honest; RUNS repeats it in the same process.
        dialog.answer = args[1];
        const int runs = args.size() > 2 ? args[2].toInt() : 1;
        const auto ms = timed(runs, [&] { form.mnu_carica_Click(); });
        const QSize size = form.Image1->picture().size();
        form.co_ri_Click(12);
        form.Cmd_Scambia_Click();
        QTest::qWait(50); // painted as the player would see it
        std::printf("load_and_rebuild_ms=%.1f decoded=%dx%d dealt_peak_kb=%ld before_kb=%ld\n",
                    median(ms), size.width(), size.height(), statusKb(), startKb);
        return size == QSize(550, 495) ? 1 : 0;
    }
    if (!args.isEmpty() && args[0] == QLatin1String("moves")) {
        // CPU from the mouse event to the repaint being scheduled, then what the repaint touched.
        PaintCounter counter;
        qApp->installEventFilter(&counter);
        QWindow *window = form.windowHandle();
        const auto at = [&](QWidget *w) {
            return w->mapTo(&form, w->rect().center());
        };
        const int runs = args.size() > 1 ? args[1].toInt() : 200;
        std::printf("%-24s %12s %14s %s\n", "move (6 X 5)", "cpu_ms", "tiles_painted",
                    "other repaints");
        const auto report = [&](const char *name, const std::vector<double> &ms, PaintCounter &c) {
            QStringList others;
            for (const auto &[name, count] : c.paints) {
                if (!name.startsWith(QLatin1String("Image2(")))
                    others << name;
            }
            std::printf("%-24s %12.3f %14d %s\n", name, median(ms), c.tiles(),
                        qPrintable(others.join(QLatin1Char(' '))));
        };
        const auto measure = [&](const char *name, QAction *method, auto &&move) {
            method->trigger();
            form.co_ri_Click(12);
            std::vector<double> ms;
            for (int i = 0; i < runs; ++i) {
                form.Cmd_Scambia_Click();
                QTest::qWait(1);
                double spent = 0;
                move(spent);
                ms.push_back(spent);
                counter.paints.clear();
                QTest::qWait(1);
                if (i + 1 < runs)
                    counter.paints.clear();
            }
            // The last run's repaint, done after the move, is what the counts show.
            form.Cmd_Scambia_Click();
            QTest::qWait(5);
            counter.paints.clear();
            double spent = 0;
            move(spent);
            QTest::qWait(5);
            report(name, ms, counter);
        };
        const auto timedEvent = [&](double &spent, auto &&event) {
            const double start = cpuMs();
            event();
            spent += cpuMs() - start;
        };
        measure("swap (drag and drop)", form.mnu_Scambio, [&](double &spent) {
            QTest::mousePress(window, Qt::LeftButton, {}, at(form.Image2(3)));
            QTest::mouseMove(window, at(form.Image2(17)));
            timedEvent(spent, [&] {
                QTest::mouseRelease(window, Qt::LeftButton, {}, at(form.Image2(17)));
            });
        });
        measure("two-step exchange", form.mnu_Scambio2, [&](double &spent) {
            QTest::mouseClick(window, Qt::LeftButton, {}, at(form.Image2(3)));
            QTest::mouseMove(window, at(form.Image2(17)));
            timedEvent(spent,
                       [&] { QTest::mouseClick(window, Qt::LeftButton, {}, at(form.Image2(17))); });
        });
        measure("click into the gap", form.mnu_Clic, [&](double &spent) {
            QTest::mouseClick(window, Qt::LeftButton, {}, at(form.Image2(3)));
            QTest::qWait(1);
            timedEvent(spent,
                       [&] { QTest::mouseClick(window, Qt::LeftButton, {}, at(form.Image2(17))); });
        });
        // A drag in flight: what one step of the pointer repaints.
        form.mnu_Scambio->trigger();
        form.Cmd_Scambia_Click();
        QTest::mousePress(window, Qt::LeftButton, {}, at(form.Image2(0)));
        QTest::mouseMove(window, at(form.Image2(1)));
        QTest::qWait(5);
        counter.paints.clear();
        std::vector<double> ms;
        QPoint p = at(form.Image2(1));
        for (int i = 0; i < runs; ++i) {
            p += QPoint(i % 2 ? -3 : 3, 1);
            const double start = cpuMs();
            QTest::mouseMove(window, p);
            ms.push_back(cpuMs() - start);
        }
        counter.paints.clear();
        QTest::mouseMove(window, p + QPoint(4, 0));
        QTest::qWait(5);
        std::printf("%-24s %12.3f %14d %s\n", "drag: one pointer step", median(ms), counter.tiles(),
                    "(tiles under the dragged picture only)");
        QTest::mouseRelease(window, Qt::LeftButton, {}, p);
        return 0;
    }
    if (!args.isEmpty() && args[0] == QLatin1String("board")) {
        const int runs = args.size() > 1 ? args[1].toInt() : 50;
        std::printf("%-8s %10s %10s\n", "grid", "build_us", "deal_us");
        for (int grid = 0; grid < 13; ++grid) {
            const auto build = timed(runs, [&] { form.co_ri_Click(static_cast<Int16>(grid)); });
            const auto deal = timed(runs, [&] { form.Cmd_Scambia_Click(); });
            std::printf("%-8s %10.1f %10.1f\n", gridChoices()[static_cast<size_t>(grid)].caption,
                        median(build) * 1000, median(deal) * 1000);
        }
        return 0;
    }
    std::fputs(Usage, stderr);
    return 2;
}
