// SPDX-License-Identifier: GPL-3.0-or-later
// Plays the game's sounds through the real player and records what the sound server plays, from
// the monitor of the sink given, in the same process so that both share one clock. Every play is
// found in the recording sample by sample: its latency, how much of it was heard, whether the
// sound before it stopped in time.
// Usage: soundcheck MODULE_DIR MONITOR_SOURCE | MODULE_DIR --no-recording | --find-fanfare RAW
//        | MODULE_DIR --hold chime|fanfare
// SOUNDCHECK_ROUNDS=N plays each series N times instead of 20; SOUNDCHECK_DUMP=FILE keeps the
// recording (raw mono 16-bit, 44.1 kHz) for a closer look; SOUNDCHECK_TIMING=0 checks no times.
#include "qtservices.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {
constexpr int Rate = 44100;
using Clock = std::chrono::steady_clock;

// Waits as the game does: its event loop runs meanwhile.
void wait(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

double msSince(Clock::time_point origin, Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(t - origin).count();
}

std::vector<qint16> waveSamples(const QString &resource)
{
    QFile file(resource);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const qsizetype data = bytes.indexOf("data");
    std::vector<qint16> out(size_t(bytes.size() - data - 8) / 2);
    std::memcpy(out.data(), bytes.constData() + data + 8, out.size() * 2);
    return out;
}

// Records mono 16-bit samples with the time at which each read returned.
class Recorder
{
public:
    explicit Recorder(const char *source)
    {
        const pa_sample_spec sampleFormat {PA_SAMPLE_S16LE, Rate, 1};
        pa_buffer_attr attributes {};
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.fragsize = Rate / 1000 * 2 * 2; // 2 ms
        int error = 0;
        m_stream = pa_simple_new(nullptr, "soundcheck", PA_STREAM_RECORD, source, "monitor",
                                 &sampleFormat, nullptr, &attributes, &error);
        if (m_stream)
            m_thread = QThread::create([this] { run(); });
        if (m_thread)
            m_thread->start();
    }
    ~Recorder()
    {
        m_stop = true;
        if (m_thread) {
            m_thread->wait();
            delete m_thread;
        }
        if (m_stream)
            pa_simple_free(m_stream);
    }
    bool ok() const { return m_stream != nullptr; }
    // When sample i was played, in ms from the origin. A read can return late, never early, so
    // among the reads within a second of that sample the least delayed one tells best.
    double timeOf(size_t i, Clock::time_point origin)
    {
        std::lock_guard lock(m_mutex);
        double zero = 1e300;
        for (const auto &[end, when] : m_reads) {
            if (end + Rate >= i && end <= i + Rate)
                zero = std::min(zero, msSince(origin, when) - double(end) * 1000.0 / Rate);
        }
        return zero + double(i) * 1000.0 / Rate;
    }
    // Roughly the sample played at a time: from the first read after it, so never too late.
    size_t indexAt(double ms, Clock::time_point origin)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &[end, when] : m_reads) {
            const double at = msSince(origin, when);
            if (at >= ms) {
                const double back = (at - ms) * Rate / 1000.0;
                return back >= double(end) ? 0 : end - size_t(back);
            }
        }
        return m_samples.size();
    }
    size_t sampleCount()
    {
        std::lock_guard lock(m_mutex);
        return m_samples.size();
    }
    std::vector<qint16> samples()
    {
        std::lock_guard lock(m_mutex);
        return m_samples;
    }

private:
    void run()
    {
        std::vector<qint16> chunk(Rate / 1000 * 2);
        while (!m_stop) {
            int error = 0;
            if (pa_simple_read(m_stream, chunk.data(), chunk.size() * 2, &error) < 0)
                return;
            const auto now = Clock::now();
            std::lock_guard lock(m_mutex);
            m_samples.insert(m_samples.end(), chunk.begin(), chunk.end());
            m_reads.emplace_back(m_samples.size(), now);
        }
    }
    pa_simple *m_stream = nullptr;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::vector<qint16> m_samples;
    std::vector<std::pair<size_t, Clock::time_point>> m_reads;
};

// The names the game asks its player for, and its own sequence for every sound.
const QString Notify = QStringLiteral("C:\\WINDOWS\\Media\\Windows XP - Notifica.wav");
const QString Tada = QStringLiteral("C:\\WINDOWS\\Media\\tada.wav");
void playAsTheGame(QtMediaPlayer &player, const QString &file)
{
    player.setCommand(QStringLiteral("close"));
    player.setFileName(file);
    player.setCommand(QStringLiteral("open"));
    player.setCommand(QStringLiteral("play"));
}

struct Play
{
    const char *name;
    const std::vector<qint16> *wave;
    double calledAt; // ms
};

// Where a play's samples start in the recording: within [lo, hi), the place that matches the
// sound sample by sample (within 1, for rounding) over 32 samples. A monitor may miss the first
// milliseconds of a stream that starts while its sink is idle, so the match may begin up to
// 20 ms into the sound: the start is reckoned back from there.
size_t findStart(const std::vector<qint16> &rec, const std::vector<qint16> &wave, size_t lo,
                 size_t hi)
{
    for (size_t p = lo; p < hi && p + 32 < rec.size(); ++p) {
        if (std::abs(rec[p]) <= 1)
            continue;
        for (size_t k = 0; k + 32 < wave.size() && k < Rate / 50 && k <= p; ++k) {
            bool match = true;
            for (size_t n = 0; n < 32 && match; ++n)
                match = std::abs(rec[p + n] - wave[k + n]) <= 1;
            if (match)
                return p - k;
        }
    }
    return size_t(-1);
}

// Up to which sample the recording follows the sound (the first samples may be missing, above).
size_t heardLength(const std::vector<qint16> &rec, const std::vector<qint16> &wave, size_t start)
{
    size_t n = 0;
    while (n < wave.size() && start + n < rec.size()
           && (std::abs(rec[start + n] - wave[n]) <= 1 || n < size_t(Rate / 50)))
        ++n;
    return n;
}

struct Series
{
    int unheard; // -1: nothing could be recorded
    int late;
};

// Every sound of the game alone, again and again, then alternating, then one cutting another:
// the recording says what was heard of each, and when.
Series playSeries(const char *modules, const char *monitor, bool checkTiming)
{
    const auto chime = waveSamples(QStringLiteral(":/media/notify.wav"));
    const auto fanfare = waveSamples(QStringLiteral(":/media/tada.wav"));

    Recorder recorder(monitor);
    if (!recorder.ok()) {
        std::fprintf(stderr, "cannot record %s\n", monitor);
        return {-1, 0};
    }
    // The monitor runs only while its sink plays (the test keeps a silent stream going): wait
    // for a steady flow before the first sound, so that times and samples line up.
    for (int i = 0; i < 300 && recorder.sampleCount() < size_t(Rate / 4); ++i)
        QThread::msleep(10);
    if (recorder.sampleCount() < size_t(Rate / 4)) {
        std::fprintf(stderr, "%s gives no samples\n", monitor);
        return {-1, 0};
    }
    const auto origin = Clock::now();
    QtMediaPlayer player({QString::fromLocal8Bit(modules)});
    std::vector<Play> plays;
    const int rounds = qEnvironmentVariableIntValue("SOUNDCHECK_ROUNDS") > 0
        ? qEnvironmentVariableIntValue("SOUNDCHECK_ROUNDS")
        : 20;
    // Timed from the start of the sequence, where the game's mouse release would be.
    const auto sound = [&](const QString &file, const char *name, const std::vector<qint16> &wave) {
        plays.push_back({name, &wave, msSince(origin, Clock::now())});
        playAsTheGame(player, file);
    };
    const auto gap = [&](const std::vector<qint16> &wave) {
        wait(static_cast<int>(wave.size() * 1000 / Rate + 120));
    };
    for (int i = 0; i < rounds; ++i) {
        sound(Notify, "chime", chime);
        gap(chime);
    }
    for (int i = 0; i < rounds; ++i) {
        sound(Tada, "fanfare", fanfare);
        gap(fanfare);
    }
    for (int i = 0; i < rounds; ++i) {
        const bool even = i % 2 == 0;
        sound(even ? Notify : Tada, even ? "chime" : "fanfare", even ? chime : fanfare);
        gap(even ? chime : fanfare);
    }
    // The fanfare cuts a chime that is still playing.
    sound(Notify, "chime (to be cut)", chime);
    wait(120);
    const size_t cutPlay = plays.size();
    sound(Tada, "fanfare (cutting)", fanfare);
    gap(fanfare);
    wait(200);

    const std::vector<qint16> rec = recorder.samples();
    const auto timeOf = [&](size_t i) {
        return recorder.timeOf(i, origin);
    };
    const auto indexAt = [&](double ms) {
        return std::min(rec.size(), recorder.indexAt(ms, origin));
    };
    if (qEnvironmentVariableIsSet("SOUNDCHECK_DUMP")) {
        QFile dump(qEnvironmentVariable("SOUNDCHECK_DUMP"));
        dump.open(QIODevice::WriteOnly);
        dump.write(reinterpret_cast<const char *>(rec.data()), qint64(rec.size() * 2));
    }
    int unheard = 0, late = 0;
    size_t from = 0;
    double worstFirst = 0, worstLater = 0, worstShort = 0;
    for (size_t p = 0; p < plays.size(); ++p) {
        const Play &play = plays[p];
        const bool first = p == 0; // the process's first sound: the module loads, connects
        const size_t lo = std::max(from, indexAt(play.calledAt - 5));
        const size_t start = findStart(rec, *play.wave, lo, indexAt(play.calledAt + 400));
        if (start == size_t(-1)) {
            std::printf("play %zu (%s): not heard\n", p + 1, play.name);
            ++unheard;
            continue;
        }
        const double latency = timeOf(start) - play.calledAt;
        const size_t heard = heardLength(rec, *play.wave, start);
        const double missing = double(play.wave->size() - heard) * 1000.0 / Rate;
        (first ? worstFirst : worstLater) = std::max(first ? worstFirst : worstLater, latency);
        const bool cut = p + 1 == cutPlay;
        if (!cut)
            worstShort = std::max(worstShort, missing);
        bool isLate = checkTiming && latency > (first ? 60 : (p == cutPlay ? 40 : 30));
        if (cut) {
            // Stopped within 20 ms of the call that cut it, and nothing of it after.
            const double stoppedAfter = timeOf(start + heard) - plays[cutPlay].calledAt;
            std::printf("play %zu (%s): latency %.1f ms, stopped %.1f ms after the cut\n", p + 1,
                        play.name, latency, stoppedAfter);
            isLate = isLate || (checkTiming && stoppedAfter > 20);
        } else {
            std::printf("play %zu (%s): latency %.1f ms, heard %.1f of %.1f ms\n", p + 1, play.name,
                        latency, double(heard) * 1000.0 / Rate,
                        double(play.wave->size()) * 1000.0 / Rate);
            unheard += missing > 10 ? 1 : 0;
        }
        late += isLate ? 1 : 0;
        from = start + heard;
    }
    std::printf("worst latency: first %.1f ms, later %.1f ms; worst missing end %.1f ms\n",
                worstFirst, worstLater, worstShort);
    std::printf("of %zu plays: %d not heard whole, %d late\n", plays.size(), unheard, late);
    std::fflush(stdout);
    return {unheard, late};
}
} // namespace

int main(int argc, char *argv[])
{
    useUtf8CharacterType(); // as the game starts: nothing printed under a bare C locale
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: soundcheck MODULE_DIR MONITOR_SOURCE\n");
        return 2;
    }
    if (std::strcmp(argv[2], "--no-recording") == 0) {
        // Sounds one after another while the test does to the server what it likes: nothing
        // may be printed, nothing may hang.
        QtMediaPlayer player({QString::fromLocal8Bit(argv[1])});
        for (int i = 0; i < 40; ++i) {
            playAsTheGame(player, i % 2 ? Tada : Notify);
            wait(100);
        }
        leaveProcess(0);
    }
    if (std::strcmp(argv[2], "--hold") == 0 && argc > 3) {
        // One sound, then the game idles on until the test is done with it.
        QtMediaPlayer player({QString::fromLocal8Bit(argv[1])});
        playAsTheGame(player, std::strcmp(argv[3], "fanfare") == 0 ? Tada : Notify);
        std::printf("played\n");
        std::fflush(stdout);
        for (;;)
            wait(100);
    }
    if (std::strcmp(argv[1], "--find-fanfare") == 0) {
        // A recording (raw mono 16-bit, 44.1 kHz) made while the real game played: the fanfare
        // must be in it, whole.
        QFile file(QString::fromLocal8Bit(argv[2]));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        std::vector<qint16> rec(size_t(bytes.size()) / 2);
        std::memcpy(rec.data(), bytes.constData(), rec.size() * 2);
        const auto fanfare = waveSamples(QStringLiteral(":/media/tada.wav"));
        const size_t start = findStart(rec, fanfare, 0, rec.size());
        const size_t heard = start == size_t(-1) ? 0 : heardLength(rec, fanfare, start);
        std::printf("fanfare: heard %.1f of %.1f ms\n", double(heard) * 1000.0 / Rate,
                    double(fanfare.size()) * 1000.0 / Rate);
        return fanfare.size() - heard <= size_t(Rate / 100) ? 0 : 1;
    }
    // A sanitizer build is slow by design: there only what is heard counts, not when.
    const bool checkTiming = qEnvironmentVariable("SOUNDCHECK_TIMING") != QLatin1String("0");
    // A sound missing or cut short fails at once. A late one may be the machine's (a loaded CI
    // runner once held one play of 61 for 91 ms): the series runs again, and the player is
    // found late only if none of three series is on time.
    for (int series = 1;; ++series) {
        const Series outcome = playSeries(argv[1], argv[2], checkTiming);
        if (outcome.unheard != 0)
            leaveProcess(outcome.unheard < 0 ? 2 : 1);
        if (outcome.late == 0)
            leaveProcess(0);
        if (series == 3)
            leaveProcess(1);
        std::printf("late plays: the series again\n");
    }
}
