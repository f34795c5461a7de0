// SPDX-License-Identifier: GPL-3.0-or-later
#include "client.h"

#include "loadwait.h"
#include "protocol.h"
#include "runtimeerror.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

QStringList g_locations;
std::function<void(qint64)> g_confinedHook;
bool g_loading = false;

[[noreturn]] void failed()
{
    throw RuntimeError(QStringLiteral("Invalid picture"));
}

QString decoderProgram()
{
    const QStringList folders = g_locations.isEmpty()
        ? QStringList {QCoreApplication::applicationDirPath()}
        : g_locations;
    for (const QString &folder : folders) {
        const QString path = folder + QStringLiteral("/puzzle-decoder");
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

// A descriptor closed when its owner goes.
struct Descriptor
{
    int fd = -1;
    explicit Descriptor(int f = -1)
        : fd(f)
    { }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
};

// One decoder process from its start to its end: what it says is read as it comes, while the
// windows answer; the process is killed and reaped whatever the end.
class Decoding
{
public:
    Decoding(int input, QSize box, const PictureLimits &limits, const LoadProgress &working)
        : m_box(box)
        , m_working(working)
        , m_wait([this] { cancel(); })
    {
        const QString program = decoderProgram();
        int pipe[2];
        if (program.isEmpty() || ::pipe2(pipe, O_CLOEXEC) != 0)
            failed();
        m_out.fd = pipe[0];
        Descriptor write(pipe[1]);
        ::fcntl(m_out.fd, F_SETFL, O_NONBLOCK);
        // The picture as its input, the answer on a pipe, nothing printed, nothing else of the
        // game's; every signal as a new program has it.
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, write.fd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const QByteArray path = QFile::encodeName(program);
        QList<QByteArray> args {path};
        for (const QString &arg : decoding::arguments(box, limits))
            args << arg.toLatin1();
        std::vector<char *> argv;
        for (QByteArray &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int spawned
            = posix_spawn(&m_pid, path.constData(), &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (spawned != 0) {
            m_pid = -1;
            failed();
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_out.fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readable(); });
    }

    ~Decoding()
    {
        m_notifier.reset();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
        }
    }

    Picture picture()
    {
        m_wait.run();
        if (m_cancelled || m_state != State::Done)
            failed();
        return m_picture;
    }

private:
    enum class State { Kind, Progress, Header, Rows, Done, Failed };

    void cancel()
    {
        m_cancelled = true;
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
        m_wait.finish();
    }

    void end(State state)
    {
        m_state = state;
        m_notifier->setEnabled(false);
        m_wait.finish();
    }

    void readable()
    {
        char chunk[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(m_out.fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return;
            if (n <= 0) { // the decoder ended: with its picture whole, or without it
                end(m_state == State::Done ? State::Done : State::Failed);
                return;
            }
            m_pending.append(chunk, n);
            if (!take() || m_state == State::Failed) {
                end(State::Failed);
                return;
            }
        }
    }

    // Takes whole messages from what was read; false for anything malformed.
    bool take()
    {
        for (;;) {
            switch (m_state) {
            case State::Kind: {
                if (m_pending.isEmpty())
                    return true;
                const char kind = m_pending.front();
                m_pending.remove(0, 1);
                if (kind == decoding::Confined) {
                    if (g_confinedHook)
                        g_confinedHook(m_pid);
                } else if (kind == decoding::Progress) {
                    m_state = State::Progress;
                } else if (kind == decoding::Result) {
                    m_state = State::Header;
                } else {
                    m_state = State::Failed; // refused, or not a word of ours
                    return true;
                }
                break;
            }
            case State::Progress: {
                std::int64_t numbers[2];
                if (m_pending.size() < qsizetype(sizeof numbers))
                    return true;
                std::memcpy(numbers, m_pending.constData(), sizeof numbers);
                m_pending.remove(0, sizeof numbers);
                if (numbers[0] < 0 || numbers[1] < 0)
                    return false;
                m_wait.progress(numbers[0], numbers[1]);
                if (m_working)
                    m_working(numbers[0], numbers[1]);
                m_state = State::Kind;
                break;
            }
            case State::Header: {
                decoding::ResultHeader h;
                if (m_pending.size() < qsizetype(sizeof h))
                    return true;
                std::memcpy(&h, m_pending.constData(), sizeof h);
                m_pending.remove(0, sizeof h);
                const bool fits = (h.width <= m_box.width() && h.height <= m_box.height())
                    || (h.width <= m_box.height() && h.height <= m_box.width());
                if (h.width < 1 || h.height < 1 || !fits
                    || (h.format != QImage::Format_RGB32 && h.format != QImage::Format_ARGB32)
                    || h.bytes != std::int64_t(h.width) * h.height * 4)
                    return false;
                m_picture = QImage(h.width, h.height, QImage::Format(h.format));
                if (m_picture.isNull())
                    return false;
                m_state = State::Rows;
                break;
            }
            case State::Rows: {
                const qsizetype row = qsizetype(m_picture.width()) * 4;
                while (m_row < m_picture.height() && m_pending.size() >= row) {
                    std::memcpy(m_picture.scanLine(m_row++), m_pending.constData(), row);
                    m_pending.remove(0, row);
                }
                if (m_row < m_picture.height())
                    return true;
                m_state = State::Done;
                break;
            }
            case State::Done:
                // The picture is whole: nothing may follow it.
                if (!m_pending.isEmpty())
                    return false;
                end(State::Done);
                return true;
            case State::Failed:
                return true;
            }
        }
    }

    QSize m_box;
    const LoadProgress &m_working;
    LoadWait m_wait;
    pid_t m_pid = -1;
    Descriptor m_out;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending;
    State m_state = State::Kind;
    Picture m_picture;
    int m_row = 0;
    bool m_cancelled = false;
};

Picture decodeApart(int input, QSize box, const PictureLimits &limits, const LoadProgress &working)
{
    // One load at a time: a handler the screen reader started meanwhile does not start another.
    if (g_loading)
        failed();
    g_loading = true;
    struct Done
    {
        ~Done() { g_loading = false; }
    } done;
    Decoding decoding(input, box, limits, working);
    return decoding.picture();
}

} // namespace

Picture LoadPicture(const QString &path, QSize decodeBox, const PictureLimits &limits,
                    const LoadProgress &working)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
    // Opened here, never waiting (a file swapped for a pipe meanwhile is no picture).
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat opened
    {
    };
    if (file.fd < 0 || ::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        throw RuntimeError(QStringLiteral("Permission denied: %1").arg(path));
    if (opened.st_size > limits.fileBytes)
        failed();
    return decodeApart(file.fd, decodeBox, limits, working);
}

Picture LoadPictureData(const QByteArray &bytes, QSize decodeBox, const PictureLimits &limits)
{
    if (bytes.size() > limits.fileBytes)
        failed();
    const Descriptor memory(::memfd_create("picture", MFD_CLOEXEC));
    if (memory.fd < 0)
        failed();
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n
            = ::write(memory.fd, bytes.constData() + at, std::size_t(bytes.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed();
        at += n;
    }
    if (::lseek(memory.fd, 0, SEEK_SET) != 0)
        failed();
    return decodeApart(memory.fd, decodeBox, limits, {});
}

void setDecoderLocations(const QStringList &folders)
{
    g_locations = folders;
}

void setDecoderConfinedHook(std::function<void(qint64)> hook)
{
    g_confinedHook = std::move(hook);
}
