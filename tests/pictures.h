// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Picture files for the loading tests and the fuzz corpus, made here rather than shipped.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include "loader.h"
#include "runtimeerror.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace testpictures {

inline QImage scene(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(200, 40, 40));
    g.setColorAt(1, QColor(40, 40, 200));
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 0, std::max(1, width / 2), std::max(1, height / 2)), QColor(30, 200, 60));
    return image;
}

inline QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A GIF of 2 x 2 pixels in two colours; with frames > 1 an animation whose frames differ.
inline QByteArray gif(int frames = 1)
{
    QByteArray b("GIF89a");
    b.append("\x02\x00\x02\x00\x80\x00\x00", 7); // 2 x 2, global table of 2 colours
    b.append("\xff\x00\x00\x00\x00\xff", 6); // red, blue
    if (frames > 1)
        b.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int f = 0; f < frames; ++f) {
        b.append("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8); // 100 ms
        b.append("\x2c\x00\x00\x00\x00\x02\x00\x02\x00\x00", 10);
        // LZW, minimum code size 2: clear, then pixels 0,1,1,0 (or 1,0,0,1), end.
        b.append(f % 2 ? QByteArray("\x02\x03\x0c\x10\x05\x00", 6)
                       : QByteArray("\x02\x03\x44\x02\x05\x00", 6));
    }
    b.append(';');
    return b;
}

// A JPEG whose EXIF orientation says "turn 90 degrees clockwise to view", as phones write.
inline QByteArray rotatedJpeg(const QImage &image)
{
    const QByteArray jpeg = encoded(image, "JPG", 90);
    QByteArray exif("Exif\0\0", 6);
    exif.append("II*\0\x08\0\0\0", 8); // TIFF header, IFD at 8
    exif.append("\x01\x00", 2); // one entry
    exif.append("\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00", 12); // Orientation = 6
    exif.append("\0\0\0\0", 4);
    QByteArray app1("\xff\xe1", 2);
    const int length = exif.size() + 2;
    app1.append(char(length >> 8)).append(char(length & 0xff)).append(exif);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

// Makes the frame header that starts at `sof` claim the given size.
inline void claimSize(QByteArray &jpeg, qsizetype sof, int width, int height)
{
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xff);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xff);
}

// A real JPEG whose frame header claims the given size.
inline QByteArray jpegClaiming(int width, int height)
{
    QByteArray jpeg = encoded(scene(64, 64), "JPG", 80);
    claimSize(jpeg, jpeg.indexOf(QByteArray("\xff\xc0", 2)), width, height);
    return jpeg;
}

// Decodes the bytes twice, the memory that will hold the picture filled differently each time
// (with glibc, every fresh heap block too): a pixel the file never set comes out different.
struct Decoded
{
    bool refused = true;
    bool alike = true; // both loads refused, or both gave the same picture
    QImage picture;
};
inline Decoded decodeTwice(const QByteArray &bytes, const PictureLimits &limits = {})
{
    Decoded first, second;
    for (Decoded *d : {&first, &second}) {
        const int fill = d == &first ? 0x00 : 0xff;
        setPictureFill(fill);
#ifdef __GLIBC__
        mallopt(M_PERTURB, fill ^ 0x5a);
#endif
        QByteArray copy = bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        try {
            d->picture = decodePicture(buffer, PictureDecodeBox, limits);
            d->refused = false;
        } catch (const RuntimeError &) { }
    }
    setPictureFill(-1);
#ifdef __GLIBC__
    mallopt(M_PERTURB, 0);
#endif
    first.alike = first.refused == second.refused && first.picture == second.picture;
    return first;
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file a command-line encoder of Debian's (heif-enc, avifenc, cwebp, gif2webp) makes of
// `input` (a PNG, or the bytes of another file named `in` + `inputSuffix`): its options, then
// the input and the output. Empty if the encoder failed or is missing.
inline QByteArray madeBy(const QString &program, const QStringList &options,
                         const QByteArray &input, const QString &outputSuffix,
                         const QString &inputSuffix = QStringLiteral(".png"))
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in") + inputSuffix);
    const QString out = dir.filePath(QStringLiteral("out") + outputSuffix);
    if (!write(in, input))
        return {};
    QProcess encoder;
    encoder.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = options;
    args << in;
    if (program == QLatin1String("cwebp") || program == QLatin1String("gif2webp")
        || program == QLatin1String("heif-enc"))
        args << QStringLiteral("-o");
    args << out;
    encoder.start(program, args);
    if (!encoder.waitForFinished(120000) || encoder.exitStatus() != QProcess::NormalExit
        || encoder.exitCode() != 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), encoder.readAll().constData());
        return {};
    }
    QFile made(out);
    return made.open(QIODevice::ReadOnly) ? made.readAll() : QByteArray();
}
inline QByteArray madeBy(const QString &program, const QStringList &options, const QImage &image,
                         const QString &outputSuffix)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return madeBy(program, options, png, outputSuffix);
}

} // namespace testpictures
