// SPDX-License-Identifier: GPL-3.0-or-later
// Icons and cursors. A bitmap icon is small by nature (256 x 256 at most), so Qt's reader reads
// it once its data is known to be whole and to say what Qt reads in it. A PNG icon goes to the
// PNG decoder, with its limits.
#include "codec.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// The first icon's data, which the reader shows; empty when it is not in the file.
QByteArray firstIcon(QIODevice &device)
{
    const QByteArray directory = device.peek(22);
    if (directory.size() < 22 || little(directory, 4, 2) == 0)
        return {};
    const qint64 size = little(directory, 14, 4), offset = little(directory, 18, 4);
    if (size > 4 << 20 || offset < 22 || offset + size > device.size())
        return {};
    const qint64 start = device.pos();
    QByteArray data;
    if (device.seek(start + offset))
        data = device.read(size);
    device.seek(start);
    return data.size() == size ? data : QByteArray();
}

// Whether Qt's reader, which takes the size from the directory and the rest from the bitmap's
// header, reads the bitmap the header describes: both sizes the same, a header of the one
// kind it reads, its colours and the transparency mask behind them whole, every colour index
// one of the colours.
bool bitmapIsSound(const QByteArray &directory, const QByteArray &data)
{
    const qint64 size = data.size();
    if (data.size() < 40 || little(data, 0, 4) != 40 || little(data, 16, 4) != 0)
        return false; // another header, or compressed: read as if neither
    const qint64 width = qint32(little(data, 4, 4)), height = qint32(little(data, 8, 4)) / 2;
    const int bits = int(little(data, 14, 2));
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024)
        return false;
    // The directory's byte says 0 for 256 and anything larger.
    const auto agrees = [](int stated, qint64 side) {
        return stated == 0 ? side >= 256 : stated == side;
    };
    if (!agrees(uchar(directory[6]), width) || !agrees(uchar(directory[7]), height))
        return false;
    const qint64 used = little(data, 32, 4);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return false; // 16 bits Qt does not read, and depths no bitmap has
    const qint64 colours = bits <= 8 ? (used ? used : qint64(1) << bits) : 0;
    // A table beside 24 or 32 bits is one Qt would read as pixels; 1 bit is 2 colours to Qt.
    if ((bits > 8 && used != 0) || colours > (qint64(1) << bits) || (bits == 1 && colours != 2))
        return false;
    const auto rowBytes = [&](int depth) {
        return (width * depth + 31) / 32 * 4;
    };
    const qint64 pixels = 40 + colours * 4;
    if (pixels + (rowBytes(bits) + rowBytes(1)) * height > size)
        return false;
    if (bits != 4 && bits != 8)
        return true; // 2 colours for 2 indices, or no table
    for (qint64 y = 0; y < height; ++y) {
        const auto *row
            = reinterpret_cast<const uchar *>(data.constData()) + pixels + y * rowBytes(bits);
        for (qint64 x = 0; x < width; ++x) {
            const int index = bits == 8 ? row[x] : (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            if (index >= colours)
                return false; // a colour the table lacks
        }
    }
    return true;
}

class Ico : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        return head.startsWith(QByteArray("\0\0\1\0", 4))
            || head.startsWith(QByteArray("\0\0\2\0", 4));
    }
    QImage decode(Load &load) const override
    {
        const QByteArray directory = load.device.peek(22);
        QByteArray data = firstIcon(load.device);
        if (data.startsWith("\x89PNG")) {
            QBuffer png(&data);
            png.open(QIODevice::ReadOnly);
            Load inner {png, load.box, load.limits, load.working, load.threads};
            return pngCodec().decode(inner);
        }
        if (!bitmapIsSound(directory, data))
            refuse();
        QImageReader reader(&load.device, "ico");
        QImage icon = reader.read();
        if (icon.isNull())
            refuse();
        const QSize fitted = fittedSize(icon.size(), load.box);
        return fitted == icon.size()
            ? icon
            : icon.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
};

} // namespace

const Codec &icoCodec()
{
    static const Ico codec;
    return codec;
}
