// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picture.h"

class QIODevice;

// Decodes the JPEG the device holds, read from its current position, at the size that fits
// `box` (never larger than the photo), upright by its EXIF orientation. Stays within `limits`
// and throws RuntimeError for a file that is short, corrupt where data ran out, or too costly.
Picture decodeJpeg(QIODevice &device, QSize box, const PictureLimits &limits);
