// SPDX-License-Identifier: GPL-3.0-or-later
// The audio backend: QSoundEffect (QMediaPlayer crashes without GStreamer's base plugins).
#include "sounddevice.h"

#include <QSoundEffect>

namespace {
class SoundEffectDevice : public SoundDevice
{
public:
    void close() override { m_effect.stop(); }
    void open(const QUrl &source) override
    {
        if (m_effect.source() != source)
            m_effect.setSource(source);
    }
    void play() override { m_effect.play(); }

private:
    QSoundEffect m_effect;
};
} // namespace

extern "C" Q_DECL_EXPORT SoundDevice *puzzle_create_sound_device()
{
    return new SoundEffectDevice;
}
