// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the fuzz target over a corpus, as a plain test (no libFuzzer needed), or writes the
// seed corpus: replay DIR... | replay --make-corpus DIR
#include "../tests/hostile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--make-corpus") {
        LLVMFuzzerTestOneInput(nullptr, 0); // brings up the application the pictures need
        using namespace testpictures;
        const QDir dir(QString::fromLocal8Bit(argv[2]));
        const QByteArray jpeg = encoded(scene(24, 16), "JPG", 80);
        const QImage small = detailed(40, 24);
        const auto seed = [&](const char *name, const QByteArray &bytes) {
            write(dir.filePath(QLatin1String(name)), bytes);
        };
        // Seeds named ok- load, so that the fuzzer starts from a whole decode of each kind.
        seed("ok-scene.bmp", encoded(scene(12, 9), "BMP"));
        seed("ok-indexed.bmp",
             encoded(scene(12, 9).convertToFormat(QImage::Format_Indexed8), "BMP"));
        seed("ok-rle8.bmp", rleBmp(stripes(), rowRuns(stripes())));
        seed("ok-rle4.bmp", rleBmp(stripes(), rowRuns(stripes(), true), true));
        seed("ok-top-down.bmp", topDownBmp(small));
        seed("ok-scene.jpg", jpeg);
        seed("ok-phone.jpg", rotatedJpeg(scene(16, 8)));
        seed("ok-progressive.jpg", testpictures::jpeg(small, {.progressive = true}));
        seed("ok-cmyk.jpg", testpictures::jpeg(small, {.cmyk = true}));
        seed("ok-fill.jpg", fillBeforeFrame(small, 3000));
        seed("ok-segments.jpg", emptySegments(small, 1000));
        seed("ok-scene.ico", encoded(scene(16, 16), "ICO"));
        seed("ok-indexed.ico",
             bitmapIcon(8, {qRgb(200, 0, 0), qRgb(0, 0, 200)}, QByteArray(16, 1)));
        seed("ok-dot.gif", gif());
        seed("ok-moving.gif", gif(3));
        seed("ok-many-colours.gif", largeGif());
        const QImage indexed = scene(16, 12).convertToFormat(QImage::Format_Indexed8);
        seed("ok-interlaced.gif", uncompressedGif(indexed, true));
        seed("ok-scene.png", encoded(scene(12, 9), "PNG"));
        seed("ok-interlaced.png", interlacedPng(small));
        QImage translucent = stripes().scaled(8, 8);
        translucent.setColor(2, qRgba(30, 30, 200, 128));
        seed("ok-palette.png", encoded(translucent, "PNG"));
        // Made by Debian's encoders: the decoders behind libheif, libavif and libwebp.
        const QImage tiny = scene(16, 12);
        seed("ok-scene.heic", madeBy("heif-enc", {"-q", "50"}, tiny, ".heic"));
        seed("ok-scene.avif", madeBy("avifenc", {"-s", "10"}, tiny, ".avif"));
        const QByteArray turned
            = madeBy("avifenc", {"-s", "10", "--irot", "1", "--imir", "0"}, scene(15, 9), ".avif");
        seed("ok-turned.avif", turned);
        seed("ok-turned.heif", QByteArray(turned).replace(8, 4, "mif1"));
        seed("ok-scene.webp", madeBy("cwebp", {"-q", "50"}, tiny, ".webp"));
        QImage seeThrough = tiny.convertToFormat(QImage::Format_ARGB32);
        seeThrough.setPixel(3, 3, qRgba(10, 20, 30, 40));
        seed("ok-alpha.webp", madeBy("cwebp", {"-lossless"}, seeThrough, ".webp"));
        seed("ok-moving.webp", madeBy("gif2webp", {}, gif(3), ".webp", ".gif"));
        seed("ok-phone.webp",
             madeBy("cwebp", {"-metadata", "exif"}, rotatedJpeg(scene(16, 8)), ".webp", ".jpg"));
        // HEIF put together box by box: a grid, a thumbnail shown as the primary image, a turn
        // and a mirror the loader applies itself.
        const HeifItem tile
            = heifCoded(2, madeBy("heif-enc", {"-q", "50"}, scene(16, 16), ".heic"));
        seed("ok-grid.heic", heifGrid(tile, 2, 2, QSize(30, 24), QSize(30, 24)));
        seed("ok-thumbnail-primary.heic",
             heifThumbnailAsPrimary(madeBy("heif-enc", {"-q", "50"}, tiny, ".heic"),
                                    madeBy("heif-enc", {"-q", "50"}, scene(64, 48), ".heic")));
        const QByteArray deep = madeBy("heif-enc", {"-q", "50", "-b", "10"}, tiny, ".heic");
        seed("ok-turned-mirrored.heic",
             heifWith(heifWith(deep, box("irot", "\1")), box("imir", QByteArray(1, '\0'))));
        // WebP put together chunk by chunk: a map of many Huffman groups, many frames, an alpha
        // plane of a plain lossless stream.
        seed("ok-groups.webp", losslessWebpOfGroups(QSize(40, 24), 50));
        seed("ok-many-frames.webp", webpAnimationOfFrames(40));
        seed("ok-plain-alpha.webp",
             webpWithPlainAlpha(madeBy("cwebp", {"-q", "50"}, tiny, ".webp")));
        seed("claims.avif", claimingExtents(madeBy("avifenc", {"-s", "10"}, tiny, ".avif"), 16, 4));
        seed("claims.heic", claimingExtents(madeBy("heif-enc", {"-q", "50"}, tiny, ".heic"), 4, 4));
        seed("claims.webp",
             webpClaiming(madeBy("cwebp", {"-lossless"}, tiny, ".webp"), 16383, 16383));
        QImage flat(2000, 1500, QImage::Format_RGB32);
        flat.fill(qRgb(90, 140, 220));
        seed(
            "frame-larger-than-stated.heic",
            claimingExtents(
                madeBy("heif-enc", {"-q", "10", "-p", "preset=ultrafast"}, flat, ".heic"), 16, 16));
        seed("half.jpg", jpeg.left(jpeg.size() / 2));
        seed("huge.jpg", jpegClaiming(60000, 60000));
        seed("text.jpg", "not a picture");
        seed("claims.jpg", progressiveClaiming(20000, 20000));
        seed("scans.jpg", repeatedScan(small, 40));
        seed("past-end.bmp", bmpDataPastEnd(small));
        return 0;
    }
    int files = 0, failed = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QFileInfo &entry : dir.entryInfoList(QDir::Files)) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                   std::size_t(bytes.size()));
            // A seed that stopped loading leaves the fuzzer blind to that format's decoding.
            if (entry.fileName().startsWith(QLatin1String("ok-"))
                && testpictures::decodeTwice(bytes, {.pixels = 1'000'000}).refused) {
                std::printf("%s: refused\n", qPrintable(entry.fileName()));
                ++failed;
            }
            ++files;
        }
    }
    std::printf("%d passed, %d failed\n", files - failed, failed);
    return files > 0 && failed == 0 ? 0 : 1;
}
