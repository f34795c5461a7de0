// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture.h"

#include "int16.h"
#include "runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// A JPEG cut short decodes "successfully" with grey where the data ran out. A whole one ends
// with an EOI marker after the start of the image's scan data; markers inside APPn segments
// (an embedded thumbnail, say) are skipped so that they cannot stand in for the real end.
// Reads only the segment headers and then the file from its end backwards, in chunks.
bool jpegIsComplete(QIODevice &file)
{
    qint64 at = 2; // after SOI
    qint64 scan = -1;
    while (scan < 0) {
        file.seek(at);
        const QByteArray header = file.read(4);
        if (header.size() < 4 || static_cast<unsigned char>(header[0]) != 0xFF)
            return false;
        const auto marker = static_cast<unsigned char>(header[1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA) {
            scan = at + 2;
            break;
        }
        const int length
            = (static_cast<unsigned char>(header[2]) << 8) | static_cast<unsigned char>(header[3]);
        if (length < 2)
            return false;
        at += 2 + length;
    }
    constexpr qint64 Chunk = 1 << 20;
    for (qint64 end = file.size(); end > scan; end -= Chunk - 1) { // chunks overlap by one byte
        const qint64 begin = std::max(scan, end - Chunk);
        file.seek(begin);
        if (file.read(end - begin).contains(QByteArray("\xFF\xD9", 2)))
            return true;
    }
    return false;
}

RuntimeError unreadable()
{
    return RuntimeError(QStringLiteral("Invalid picture"));
}

} // namespace

Picture LoadPicture(const QString &path, QSize decodeBox)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(QStringLiteral("Permission denied: %1").arg(path));
    return decodePicture(file, decodeBox);
}

Picture decodePicture(QIODevice &device, QSize decodeBox)
{
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        throw unreadable();

    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        throw unreadable();
    // Decode no larger than the board can show; JPEG scales while decoding, which is what keeps
    // a 36-megapixel photo inside the allocation limit and fast.
    if (size.width() > decodeBox.width() || size.height() > decodeBox.height())
        reader.setScaledSize(size.scaled(decodeBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));

    Picture picture = reader.read();
    if (picture.isNull())
        throw unreadable();
    // A header may lie about the size (a GIF's screen, say): hold to the box all the same.
    if (picture.width() > decodeBox.width() || picture.height() > decodeBox.height())
        picture = picture.scaled(
            picture.size().scaled(decodeBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if ((format == "jpeg" || format == "jpg") && !jpegIsComplete(device))
        throw unreadable();
    return picture;
}

Picture builtInPicture(const QString &resource)
{
    return Picture(resource);
}

double tagValue(const QString &tag)
{
    bool ok = false;
    const double value = tag.trimmed().toDouble(&ok);
    if (!ok)
        throw RuntimeError(QStringLiteral("Type mismatch"));
    return value;
}
