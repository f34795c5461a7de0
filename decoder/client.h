// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The game's side of its picture decoder (decoder/main.cpp): a picture decoded in a process of
// its own, confined, while the game's windows keep answering and a long load shows its progress
// and may be given up. What comes back is checked before the game takes it.

#include "loader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Loads a picture file: BMP, GIF, JPEG, ICO, PNG, HEIF, AVIF or WebP, whatever its name, by its
// content. A file that is missing, unreadable, not one of those, truncated or beyond the limits
// raises RuntimeError; so does a load the player gave up, or a decoder that failed in any way.
Picture LoadPicture(const QString &path, QSize decodeBox = PictureDecodeBox,
                    const PictureLimits &limits = {}, const LoadProgress &working = {});
// The same for a picture's bytes (one copied to the clipboard).
Picture LoadPictureData(const QByteArray &bytes, QSize decodeBox = PictureDecodeBox,
                        const PictureLimits &limits = {});

// Where the decoder program is looked for, first found first; by default beside the program.
void setDecoderLocations(const QStringList &folders);

// Tests: called with the decoder's process id once it says it is confined.
void setDecoderConfinedHook(std::function<void(qint64 pid)> hook);
