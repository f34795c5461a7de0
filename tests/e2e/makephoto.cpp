// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a photo-like picture at a phone's size for the end-to-end checks, without keeping it
// whole where a JPEG is written row by row.
// Usage: makephoto FILE.png|FILE.jpg WIDTH HEIGHT [progressive]
#include "hostile.h"

#include <QGuiApplication>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    const int width = args[2].toInt(), height = args[3].toInt();
    using namespace testpictures;
    QByteArray bytes;
    if (!args[1].endsWith(QLatin1String(".jpg")))
        bytes = encoded(photo(width, height), "PNG", 100);
    else if (args.size() > 4 && args[4] == QLatin1String("progressive"))
        bytes = jpeg(photo(width, height), {.progressive = true, .fullChroma = true});
    else
        bytes = photoJpeg(width, height);
    return write(args[1], bytes) ? 0 : 1;
}
