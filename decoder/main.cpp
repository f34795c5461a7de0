// SPDX-License-Identifier: GPL-3.0-or-later
// The picture decoder: the one picture on its standard input (a descriptor the game opened),
// decoded apart from the game, confined before it reads a byte; its progress, then the picture
// or a refusal, on its standard output. Usage: puzzle-decoder BOX_WIDTH BOX_HEIGHT LIMITS...
#include "confine.h"
#include "loader.h"
#include "protocol.h"
#include "runtimeerror.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libheif/heif.h>
#include <malloc.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The most threads a load uses, whatever the machine: the limits count for these.
constexpr int MostThreads = 16;

// The game's descriptor as a device, its size taken before confinement; read at a position,
// so that no buffer stands between a seek and a read.
class Input : public QIODevice
{
public:
    explicit Input(qint64 size)
        : m_size(size)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        for (;;) {
            const ssize_t n = ::pread(STDIN_FILENO, data, std::size_t(max), off_t(pos()));
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_size;
};

void send(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(1); // the game is gone
        bytes += n;
        size -= std::size_t(n);
    }
}

void send(char kind)
{
    send(&kind, 1);
}

// Every library the decoders load lazily, loaded before the filter forbids it: libheif's
// plugins, Qt's image plugins.
void prepare()
{
    heif_init(nullptr);
    QBuffer nothing;
    nothing.open(QIODevice::ReadOnly);
    QImageReader(&nothing, "ico").canRead();
}

// Memory arenas for the threads, however many cores there are: the address space they reserve
// is counted below.
constexpr int Arenas = 4;

// Room for what the limits let the decoders hold, the file they read whole, each thread's stack
// (the decoders' and those Qt scales with) and the memory arenas, past what is mapped now
// (libraries, plugins); none under the sanitizers, which map terabytes of shadow memory.
qint64 addressSpace(qint64 fileSize, const PictureLimits &limits, int threads)
{
#ifdef PUZZLE_SANITIZE
    Q_UNUSED(fileSize);
    Q_UNUSED(limits);
    Q_UNUSED(threads);
    return 0;
#else
    constexpr qint64 Stack = qint64(8) << 20, Arena = qint64(64) << 20, Slack = qint64(128) << 20;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return qint64(pages) * sysconf(_SC_PAGESIZE) + fileSize + limits.memoryBytes
        + limits.progressiveBytes + (threads + QThread::idealThreadCount()) * Stack + Arenas * Arena
        + Slack;
#endif
}

} // namespace

int main(int argc, char **argv)
{
    // Nothing of the game's but the three descriptors it meant to give.
    ::close_range(3, ~0U, 0);
    mallopt(M_ARENA_MAX, Arenas);
    // Gone with the game; a game gone already is not waited for.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        return 1;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLatin1(argv[i]);
    QSize box;
    PictureLimits limits;
    struct stat input = {};
    if (!decoding::readArguments(args, box, limits) || fstat(STDIN_FILENO, &input) != 0
        || !S_ISREG(input.st_mode))
        return 2;
    const int threads = std::clamp(QThread::idealThreadCount(), 1, MostThreads);
    prepare();
    Confinement confinement;
    confinement.addressSpace = addressSpace(input.st_size, limits, threads);
    if (!confine(confinement))
        return 3;
    send(decoding::Confined);

    Input device(input.st_size);
    qint64 shown = -1;
    const LoadProgress progress = [&](qint64 done, qint64 total) {
        // A hundredth at a time is all a progress bar shows.
        const qint64 part = total > 0 ? done * 100 / total : -1;
        if (part == shown)
            return;
        shown = part;
        const std::int64_t numbers[2] = {done, total};
        send(decoding::Progress);
        send(numbers, sizeof numbers);
    };
    try {
        QImage picture = decodePicture(device, box, limits, progress, threads);
        picture = picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                    : QImage::Format_RGB32);
        const decoding::ResultHeader header {qint64(picture.width()) * picture.height() * 4,
                                             picture.width(), picture.height(), picture.format()};
        send(decoding::Result);
        send(&header, sizeof header);
        for (int y = 0; y < picture.height(); ++y)
            send(picture.constScanLine(y), std::size_t(picture.width()) * 4);
    } catch (const std::exception &) { // refused, or beyond the memory it may map
        send(decoding::Refused);
    }
    _exit(0);
}
