// SPDX-License-Identifier: GPL-3.0-or-later
// Icons and cursors. A bitmap icon is small by nature (256 x 256 at most), so Qt's reader reads
// it once its data is known to be whole: its colour rows and its transparency mask. A PNG icon
// goes to the PNG decoder, with its limits.
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

bool bitmapIsWhole(const QByteArray &data)
{
    const qint64 size = data.size();
    if (data.size() < 40 || little(data, 0, 4) < 40)
        return false;
    const qint64 width = qint32(little(data, 4, 4)), height = qint32(little(data, 8, 4)) / 2;
    const int bits = int(little(data, 14, 2));
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024 || bits <= 0 || bits > 32)
        return false;
    const qint64 used = little(data, 32, 4);
    const qint64 colours = bits <= 8 ? (used ? used : qint64(1) << bits) : 0;
    const auto rowBytes = [&](int depth) {
        return (width * depth + 31) / 32 * 4;
    };
    // The colours, then the mask that says which pixels are transparent: both whole.
    return little(data, 0, 4) + colours * 4 + (rowBytes(bits) + rowBytes(1)) * height <= size;
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
        QByteArray data = firstIcon(load.device);
        if (data.startsWith("\x89PNG")) {
            QBuffer png(&data);
            png.open(QIODevice::ReadOnly);
            Load inner {png, load.box, load.limits, load.working};
            return pngCodec().decode(inner);
        }
        if (!bitmapIsWhole(data))
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
