// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// A picture is an image shared by value: handing it from control to control copies nothing.
using Picture = QImage;

// Loads a picture the program carries itself; a missing one is an empty picture.
inline Picture builtInPicture(const QString &resource)
{
    return Picture(resource);
}
