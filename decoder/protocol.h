// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the game and its picture decoder speak: the decoder's arguments (the size asked and the
// limits), and what it says on its standard output, message after message, each a kind in one
// byte and its numbers in the machine's own order (both ends are one build of one program).

#include "loader.h"

#include <QStringList>

#include <cstdint>
#include <tuple>
#include <type_traits>

namespace decoding {

enum Kind : char {
    Confined = 'C', // confined, about to read the picture
    Progress = 'P', // rows done, of rows in all: two 64-bit numbers
    Result = 'R', // the picture: a header, then its rows
    Refused = 'F', // not a picture the game shows
};

struct ResultHeader
{
    std::int64_t bytes = 0; // width x height x 4, rows one after another
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t format = 0; // QImage::Format: RGB32 or ARGB32
    std::int32_t unused = 0; // no padding of unknown bytes
};

// Every limit, in one order for both ends.
inline auto limitFields()
{
    return std::tuple {&PictureLimits::fileBytes,
                       &PictureLimits::pixels,
                       &PictureLimits::scaledJpegPixels,
                       &PictureLimits::memoryBytes,
                       &PictureLimits::progressiveBytes,
                       &PictureLimits::jpegBytes,
                       &PictureLimits::jpegScans,
                       &PictureLimits::jpegSegments,
                       &PictureLimits::jpegCoefficientPasses};
}

inline QStringList arguments(QSize box, const PictureLimits &limits)
{
    QStringList args {QString::number(box.width()), QString::number(box.height())};
    std::apply([&](auto... field) { ((args << QString::number(limits.*field)), ...); },
               limitFields());
    return args;
}

// False for arguments that are not those.
inline bool readArguments(const QStringList &args, QSize &box, PictureLimits &limits)
{
    if (args.size() != 2 + int(std::tuple_size_v<decltype(limitFields())>))
        return false;
    bool ok = true;
    const auto number = [&](const QString &arg) {
        bool good = false;
        const qint64 value = arg.toLongLong(&good);
        ok = ok && good && value >= 0;
        return value;
    };
    box = QSize(int(number(args[0])), int(number(args[1])));
    int at = 2;
    const auto read = [&](auto &field) {
        field = std::remove_reference_t<decltype(field)>(number(args[at++]));
    };
    std::apply([&](auto... field) { (read(limits.*field), ...); }, limitFields());
    return ok && box.width() > 0 && box.height() > 0;
}

} // namespace decoding
