// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picture.h"

#include <QSize>
#include <QString>

#include <functional>

class QIODevice;

// The largest size a loaded picture is decoded at: the board shows it at about 540 x 410
// logical pixels, so this leaves room for a 2x screen and keeps large photos small.
inline constexpr QSize PictureDecodeBox(1100, 1100);

// A picture's size once fitted into `box`: its shape kept, never enlarged, at least 1 x 1.
QSize fittedSize(QSize size, QSize box);

// What one load may cost, whatever the file claims: a file is refused rather than let past
// these. All are counted in the file's own terms, never in time, so that every machine gives
// the same answer for the same file.
struct PictureLimits
{
    qint64 fileBytes = qint64(256) << 20;
    // Cameras and phones take up to 50 megapixels; rows are scaled down as they arrive, so the
    // count bounds the work, not the memory.
    qint64 pixels = 64'000'000;
    // A baseline JPEG is decoded at an eighth of its size a side with little work or memory:
    // phones' 200-megapixel mode, 16320 x 12240, loads that way.
    qint64 scaledJpegPixels = qint64(16320) * 12240;
    qint64 memoryBytes = qint64(120) << 20; // a decoder's own, beside the picture it returns
    // A progressive JPEG keeps every coefficient until its last scan: 2 bytes each, 288 MB for
    // 48 megapixels without chroma subsampling. HEIF, AVIF and WebP pictures that are decoded
    // whole are held to the same.
    qint64 progressiveBytes = qint64(320) << 20;
    // The bytes of a JPEG's scans, each through the entropy decoder: a camera's 50 megapixels
    // at its best quality are about 40 MB.
    qint64 jpegBytes = qint64(128) << 20;
    int jpegScans = 100; // encoders write about ten
    int jpegSegments = 10000; // metadata segments (EXIF, colour profile, comments)
    // Coefficients a progressive JPEG's scans go over, per coefficient it holds: about 3 for
    // what encoders write, each scan covering a band of them once or refining it.
    int jpegCoefficientPasses = 6;
};

// Called now and then while a picture decodes, with the rows (or pixels) decoded so far of
// all there are; 0 of 0 where the decoder cannot say.
using LoadProgress = std::function<void(qint64 done, qint64 total)>;

// Decodes a picture: BMP, GIF, JPEG, ICO, PNG, HEIF, AVIF or WebP, whatever its name, by its
// content, from an open device (a file's content, a buffer). A picture that is not one of
// those, truncated or beyond the limits raises RuntimeError. Up to `threads` threads decode
// where a library can use them; the outcome is the same for any number.
Picture decodePicture(QIODevice &device, QSize decodeBox = PictureDecodeBox,
                      const PictureLimits &limits = {}, const LoadProgress &working = {},
                      int threads = 1);

// What the memory a picture is decoded into holds before the decoder writes it: by default
// whatever it held. Tests decode twice with different fills to find pixels no file set.
void setPictureFill(int byte);

// A picture turned over left to right, top to bottom or both: Qt 6.9 names it flipped and warns
// at the older name.
inline QImage flippedImage(const QImage &image, Qt::Orientations sides)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 9, 0)
    return image.flipped(sides);
#else
    return image.mirrored(sides.testFlag(Qt::Horizontal), sides.testFlag(Qt::Vertical));
#endif
}
