// In-process figures: how long the game's own work takes, and how much memory it needs.
// Usage: puzzle_bench make-jpeg FILE WIDTH HEIGHT | load FILE [RUNS] | board [RUNS]
// Figures only: nothing here passes or fails.

#include "puzzleform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
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
        std::printf("load_and_rebuild_ms=%.1f decoded=%dx%d peak_kb=%ld before_kb=%ld\n",
                    median(ms), size.width(), size.height(), peakResidentKb(), startKb);
        return size == QSize(550, 495) ? 1 : 0;
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
