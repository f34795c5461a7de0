// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

// What the player needs of an audio backend. The backend lives in a module of its own, loaded
// at the first sound, so that the audio stack costs start-up nothing.
class SoundDevice
{
public:
    virtual ~SoundDevice() = default;
    virtual void close() = 0;
    virtual void open(const QUrl &source) = 0;
    virtual void play() = 0;
};

// The module's one entry point.
using CreateSoundDevice = SoundDevice *(*)();
inline constexpr char CreateSoundDeviceSymbol[] = "puzzle_create_sound_device";
