// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A picture is an image shared by value: handing it from control to control copies nothing.
using Picture = QImage;

// The largest size a loaded picture is decoded at: the board shows it at about 540 x 410
// logical pixels, so this leaves room for a 2x screen and keeps large photos small.
inline constexpr QSize PictureDecodeBox(1100, 1100);

// Loads a picture file (bmp, gif, jpg, ico, whatever the content says it is). A file that is
// missing, unreadable, not a picture, truncated or too large to decode raises RuntimeError.
Picture LoadPicture(const QString &path, QSize decodeBox = PictureDecodeBox);

// The same from an open device (the file's content, a buffer).
class QIODevice;
Picture decodePicture(QIODevice &device, QSize decodeBox = PictureDecodeBox);

// Loads a picture the program carries itself; a missing one is an empty picture.
Picture builtInPicture(const QString &resource);
