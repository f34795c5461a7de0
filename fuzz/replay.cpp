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
        write(dir.filePath(QStringLiteral("scene.bmp")), encoded(scene(12, 9), "BMP"));
        write(dir.filePath(QStringLiteral("indexed.bmp")),
              encoded(scene(12, 9).convertToFormat(QImage::Format_Indexed8), "BMP"));
        write(dir.filePath(QStringLiteral("scene.jpg")), jpeg);
        write(dir.filePath(QStringLiteral("phone.jpg")), rotatedJpeg(scene(16, 8)));
        write(dir.filePath(QStringLiteral("half.jpg")), jpeg.left(jpeg.size() / 2));
        write(dir.filePath(QStringLiteral("huge.jpg")), jpegClaiming(60000, 60000));
        write(dir.filePath(QStringLiteral("scene.ico")), encoded(scene(16, 16), "ICO"));
        write(dir.filePath(QStringLiteral("dot.gif")), gif());
        write(dir.filePath(QStringLiteral("moving.gif")), gif(3));
        write(dir.filePath(QStringLiteral("text.jpg")), "not a picture");
        const QImage small = detailed(40, 24);
        write(dir.filePath(QStringLiteral("progressive.jpg")),
              testpictures::jpeg(small, {.progressive = true}));
        write(dir.filePath(QStringLiteral("cmyk.jpg")), testpictures::jpeg(small, {.cmyk = true}));
        write(dir.filePath(QStringLiteral("claims.jpg")), progressiveClaiming(20000, 20000));
        write(dir.filePath(QStringLiteral("scans.jpg")), repeatedScan(small, 40));
        write(dir.filePath(QStringLiteral("fill.jpg")), fillBeforeFrame(small, 3000));
        write(dir.filePath(QStringLiteral("segments.jpg")), emptySegments(small, 1000));
        write(dir.filePath(QStringLiteral("top-down.bmp")), topDownBmp(small));
        write(dir.filePath(QStringLiteral("past-end.bmp")), bmpDataPastEnd(small));
        write(dir.filePath(QStringLiteral("many-colours.gif")), largeGif());
        return 0;
    }
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QFileInfo &entry : dir.entryInfoList(QDir::Files)) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                   std::size_t(bytes.size()));
            ++files;
        }
    }
    std::printf("%d passed, 0 failed\n", files);
    return files > 0 ? 0 : 1;
}
