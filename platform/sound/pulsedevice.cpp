// SPDX-License-Identifier: GPL-3.0-or-later
// The audio backend: the desktop's sound server through PulseAudio's own API (PipeWire serves it
// too). Each sound is decoded once; a play is a stream of its own that is handed the whole sound
// at once, so the server plays it to its last sample, and ends when it has played out; "close"
// ends the stream that plays.
#include "sounddevice.h"

#include <QByteArray>
#include <QFile>
#include <pulse/pulseaudio.h>

#include <cstring>
#include <map>

namespace {
struct Pcm
{
    pa_sample_spec sampleFormat {};
    QByteArray samples;
};

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

// A RIFF WAVE file of 8- or 16-bit PCM; anything else decodes to nothing.
Pcm decodeWave(const QByteArray &file)
{
    Pcm pcm;
    if (file.size() < 12 || std::memcmp(file.constData(), "RIFF", 4) != 0
        || std::memcmp(file.constData() + 8, "WAVE", 4) != 0)
        return pcm;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const char *chunk = file.constData() + at;
        const quint32 size = le32(chunk + 4);
        const qsizetype body = at + 8;
        const qsizetype available = std::min<qsizetype>(size, file.size() - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            const char *f = file.constData() + body;
            const quint16 bits = le16(f + 14);
            if (le16(f) != 1 || (bits != 8 && bits != 16))
                return pcm;
            pcm.sampleFormat.format = bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
            pcm.sampleFormat.channels = static_cast<uint8_t>(le16(f + 2));
            pcm.sampleFormat.rate = le32(f + 4);
            haveFormat = pa_sample_spec_valid(&pcm.sampleFormat);
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            const size_t frame = pa_frame_size(&pcm.sampleFormat);
            pcm.samples = file.mid(body, available - qsizetype(size_t(available) % frame));
            return pcm;
        }
        at = body + qsizetype(size) + (size & 1);
    }
    return pcm;
}

class PulseDevice : public SoundDevice
{
public:
    PulseDevice()
        : m_loop(pa_threaded_mainloop_new())
    {
        if (m_loop && pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
        }
    }

    ~PulseDevice() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_stop(m_loop);
        endStream();
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        pa_threaded_mainloop_free(m_loop);
    }

    void close() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        m_wanted = false;
        endStream();
        pa_threaded_mainloop_unlock(m_loop);
    }

    void open(const QUrl &source) override
    {
        if (!m_loop)
            return;
        // The map keeps every decoded sound where it is: the loop's thread may be reading one.
        auto cached = m_sounds.find(source);
        if (cached == m_sounds.end()) {
            QFile file(source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path()
                                                               : source.toLocalFile());
            QByteArray bytes;
            if (file.open(QIODevice::ReadOnly))
                bytes = file.read(64 * 1024 * 1024);
            Pcm pcm = decodeWave(bytes);
            pa_threaded_mainloop_lock(m_loop);
            cached = m_sounds.emplace(source, std::move(pcm)).first;
            pa_threaded_mainloop_unlock(m_loop);
        }
        pa_threaded_mainloop_lock(m_loop);
        m_sound = &cached->second;
        connectIfNeeded();
        pa_threaded_mainloop_unlock(m_loop);
    }

    void play() override
    {
        if (!m_loop || !m_sound)
            return;
        pa_threaded_mainloop_lock(m_loop);
        m_wanted = true;
        // Not connected yet (the first sound): it starts as soon as the server answers.
        if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
            startStream();
        pa_threaded_mainloop_unlock(m_loop);
    }

private:
    // A server that went away (or was never there) is asked again at the next sound.
    void connectIfNeeded()
    {
        if (m_context) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (PA_CONTEXT_IS_GOOD(state))
                return;
            endStream();
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
        pa_proplist *properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Puzzle");
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Puzzle",
                                                 properties);
        pa_proplist_free(properties);
        if (!m_context)
            return;
        pa_context_set_state_callback(m_context, &PulseDevice::contextChanged, this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            pa_context_unref(m_context);
            m_context = nullptr;
        }
    }

    static void contextChanged(pa_context *context, void *self)
    {
        auto *device = static_cast<PulseDevice *>(self);
        if (pa_context_get_state(context) == PA_CONTEXT_READY && device->m_wanted
            && !device->m_stream)
            device->startStream();
    }

    // Called with the loop locked.
    void startStream()
    {
        endStream();
        if (!m_sound || m_sound->samples.isEmpty())
            return;
        pa_proplist *properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
        m_stream = pa_stream_new_with_proplist(m_context, "sound", &m_sound->sampleFormat, nullptr,
                                               properties);
        pa_proplist_free(properties);
        if (!m_stream)
            return;
        // The server's own buffering in every respect: it places a new sound at once (it
        // rewinds what it mixed ahead), and lets the device sleep as soon after it as after the
        // desktop's player. A short buffer (20 ms) had a device waking from sleep mix ahead
        // before the sound came, and held the device a second longer; the library's defaults
        // (250 ms) half a second.
        pa_buffer_attr attributes {};
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(-1);
        attributes.prebuf = static_cast<uint32_t>(-1);
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(-1);
        pa_stream_set_state_callback(m_stream, &PulseDevice::streamChanged, this);
        if (pa_stream_connect_playback(m_stream, nullptr, &attributes, PA_STREAM_START_UNMUTED,
                                       nullptr, nullptr)
            < 0)
            endStream();
    }

    static void streamChanged(pa_stream *stream, void *self)
    {
        auto *device = static_cast<PulseDevice *>(self);
        if (stream != device->m_stream || pa_stream_get_state(stream) != PA_STREAM_READY
            || !device->m_sound)
            return;
        const QByteArray &samples = device->m_sound->samples;
        pa_stream_write(stream, samples.constData(), size_t(samples.size()), nullptr, 0,
                        PA_SEEK_RELATIVE);
        // Once played out the stream goes, so that the server can let the device sleep.
        if (pa_operation *drain = pa_stream_drain(stream, &PulseDevice::drained, device))
            pa_operation_unref(drain);
    }

    // Runs on the loop's thread, the loop locked; a stream ended meanwhile cancels its drain.
    static void drained(pa_stream *stream, int, void *self)
    {
        auto *device = static_cast<PulseDevice *>(self);
        if (stream != device->m_stream)
            return;
        device->m_wanted = false;
        device->endStream();
    }

    void endStream()
    {
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }

    pa_threaded_mainloop *m_loop;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    std::map<QUrl, Pcm> m_sounds;
    const Pcm *m_sound = nullptr;
    bool m_wanted = false; // a play asked for and not closed since
};
} // namespace

extern "C" Q_DECL_EXPORT SoundDevice *puzzle_create_sound_device()
{
    return new PulseDevice;
}
