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
bool jpegIsComplete(const QByteArray &data)
{
    const auto byte = [&](qsizetype i) {
        return static_cast<unsigned char>(data.at(i));
    };
    qsizetype i = 2; // after SOI
    while (i + 4 <= data.size()) {
        if (byte(i) != 0xFF)
            return false;
        const unsigned char marker = byte(i + 1);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xDA) // start of scan: the end must come after it
            return data.indexOf(QByteArray("\xFF\xD9", 2), i + 2) >= 0;
        const qsizetype length = (byte(i + 2) << 8) | byte(i + 3);
        if (length < 2)
            return false;
        i += 2 + length;
    }
    return false;
}

RuntimeError unreadable(const QString &path)
{
    return RuntimeError(QStringLiteral("Invalid picture: %1").arg(path));
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

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        throw unreadable(path);

    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        throw unreadable(path);
    // Decode no larger than the board can show; JPEG scales while decoding, which is what keeps
    // a 36-megapixel photo inside the allocation limit and fast.
    if (size.width() > decodeBox.width() || size.height() > decodeBox.height())
        reader.setScaledSize(size.scaled(decodeBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));

    const Picture picture = reader.read();
    if (picture.isNull())
        throw unreadable(path);

    if (format == "jpeg" || format == "jpg") {
        file.seek(0);
        if (!jpegIsComplete(file.readAll()))
            throw unreadable(path);
    }
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
