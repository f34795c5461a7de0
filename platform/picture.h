// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <chrono>

// A picture is an image shared by value: handing it from control to control copies nothing.
using Picture = QImage;

// The largest size a loaded picture is decoded at: the board shows it at about 540 x 410
// logical pixels, so this leaves room for a 2x screen and keeps large photos small.
inline constexpr QSize PictureDecodeBox(1100, 1100);

// A picture's size once fitted into `box`: its shape kept, never enlarged, at least 1 x 1.
QSize fittedSize(QSize size, QSize box);

// What one load may cost, whatever the file claims: a file is refused rather than let past these.
struct PictureLimits
{
    qint64 fileBytes = qint64(256) << 20;
    qint64 memoryBytes = qint64(120) << 20; // a JPEG decoder's own, beside the picture it returns
    // Other formats decode whole before scaling, at 4 bytes a pixel: 16 megapixels, which the
    // slowest of them (PNG, GIF) reads in about 0.4 s.
    qint64 wholePictureBytes = qint64(64) << 20;
    std::chrono::milliseconds time {800};
    int jpegScans = 100; // encoders write about ten
    int jpegSegments = 10000; // metadata segments (EXIF, colour profile, comments)
};

// Loads a picture file: BMP, GIF, JPEG, ICO or PNG, whatever its name, by its content. A file
// that is missing, unreadable, not one of those, truncated or beyond the limits raises
// RuntimeError.
Picture LoadPicture(const QString &path, QSize decodeBox = PictureDecodeBox,
                    const PictureLimits &limits = {});

// The same from an open device (the file's content, a buffer).
class QIODevice;
Picture decodePicture(QIODevice &device, QSize decodeBox = PictureDecodeBox,
                      const PictureLimits &limits = {});

// Loads a picture the program carries itself; a missing one is an empty picture.
Picture builtInPicture(const QString &resource);
