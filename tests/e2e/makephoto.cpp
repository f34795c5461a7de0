// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a photo-like picture at a phone's size for the end-to-end checks, without keeping it
// whole where a JPEG is written row by row; or a HEIC as phones write one, a grid of 512 x 512
// tiles (sixteen of a photo, again and again).
// Usage: makephoto FILE.png|FILE.jpg WIDTH HEIGHT [progressive] | FILE.heic WIDTH HEIGHT grid
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
    if (args[1].endsWith(QLatin1String(".heic"))) {
        // Sixteen tiles of a photo's detail, each coded as phones code theirs.
        const QImage source = photo(2048, 2048);
        QList<HeifItem> tiles;
        for (int i = 0; i < 16; ++i)
            tiles << heifCoded(quint32(2 + i),
                               madeBy("heif-enc", {"-q", "85", "-p", "preset=ultrafast"},
                                      source.copy(i % 4 * 512, i / 4 * 512, 512, 512), ".heic"));
        bytes = heifGrid(tiles, (height + 511) / 512, (width + 511) / 512, QSize(width, height),
                         QSize(width, height));
    } else if (!args[1].endsWith(QLatin1String(".jpg")))
        bytes = encoded(photo(width, height), "PNG", 100);
    else if (args.size() > 4 && args[4] == QLatin1String("progressive"))
        bytes = jpeg(photo(width, height), {.progressive = true, .fullChroma = true});
    else
        bytes = photoJpeg(width, height);
    return write(args[1], bytes) ? 0 : 1;
}
