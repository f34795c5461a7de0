// SPDX-License-Identifier: GPL-3.0-or-later
// In-process figures: how long the game's own work takes, and how much memory it needs.
// Usage: puzzle_bench make-jpeg FILE WIDTH HEIGHT | load FILE [RUNS] | board [RUNS]
// Figures only: nothing here passes or fails.

#include "puzzleform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
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

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int makeJpeg(const QString &file, int width, int height)
{
    // Detail everywhere, as in a photo, so the decoder does real work.
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 7 + y) & 255, (y * 5 + (x >> 3)) & 255, ((x ^ y) * 3) & 255);
    }
    return image.save(file, "JPG", 85) ? 0 : 1;
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

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("make-jpeg"))
        return makeJpeg(args[1], args[2].toInt(), args[3].toInt());

    BenchDialog dialog;
    SilentPlayer player;
    ClockRandom random(1);
    PuzzleForm form(Puzzle_03(), BoardServices {dialog, player, random});
    form.Show();
    const long startKb = peakResidentKb();

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
                    median(ms), size.width(), size.height(), peakResidentKb(), startKb);
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
        std::printf("%-24s %12.3f %14d %s\n", "drag: one pointer step", median(ms),
                    counter.tiles(), "(tiles under the dragged picture only)");
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
    std::fprintf(stderr,
                 "usage: puzzle_bench make-jpeg FILE W H | load FILE [RUNS] | board [RUNS]\n");
    return 2;
}
