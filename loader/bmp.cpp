// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and OS/2 bitmaps: palette, 16, 24 and 32 bits, bit fields, run-length. Every pixel
// must come from the file: data cut short, run-length codes that skip pixels or end early,
// colour indices past the palette: the file is refused.
#include "codec.h"

#include <QIODevice>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

enum Compression { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

// A colour channel held under a bit mask, widened to 8 bits.
struct Channel
{
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;
    explicit Channel(quint32 m = 0)
        : mask(m)
        , shift(m ? std::countr_zero(m) : 0)
        , max(m >> shift)
    { }
    int value(quint32 pixel, int absent) const
    {
        if (max == 0)
            return absent;
        return int(((quint64(pixel & mask) >> shift) * 255 + max / 2) / max);
    }
};

struct Header
{
    qint64 width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    quint32 compression = Rgb;
    quint32 offset = 0;
    Channel red, green, blue, alpha;
    std::vector<QRgb> palette;
};

Header readHeader(Reader &in, const PictureLimits &limits)
{
    QByteArray head(14, Qt::Uninitialized);
    in.take(reinterpret_cast<uchar *>(head.data()), 14);
    Header h;
    h.offset = little(head, 10, 4);
    QByteArray info(4, Qt::Uninitialized);
    in.take(reinterpret_cast<uchar *>(info.data()), 4);
    const quint32 size = little(info, 0, 4);
    // OS/2 1 and 2 (short forms of 2 too), Windows 3, its bit-field forms, 4 and 5.
    static constexpr quint32 known[] = {12, 16, 40, 52, 56, 64, 108, 124};
    if (std::find(std::begin(known), std::end(known), size) == std::end(known))
        refuse();
    info.resize(std::max<qsizetype>(size, 56));
    std::memset(info.data() + 4, 0, std::size_t(info.size() - 4));
    in.take(reinterpret_cast<uchar *>(info.data() + 4), size - 4);
    qint32 height = 0;
    if (size == 12) {
        h.width = little(info, 4, 2);
        height = qint32(little(info, 6, 2));
        h.bits = int(little(info, 10, 2));
    } else {
        h.width = qint32(little(info, 4, 4));
        height = qint32(little(info, 8, 4));
        h.bits = int(little(info, 14, 2));
        h.compression = little(info, 16, 4);
    }
    h.topDown = height < 0;
    h.height = std::abs(qint64(height));
    if (h.width <= 0 || h.height <= 0 || h.width * h.height > limits.pixels)
        refuse();
    const bool rle = h.compression == Rle8 || h.compression == Rle4;
    if ((h.compression == Rle8 && h.bits != 8) || (h.compression == Rle4 && h.bits != 4)
        || (rle && h.topDown))
        refuse();
    if (h.compression == BitFields || h.compression == AlphaBitFields) {
        if (h.bits != 16 && h.bits != 32)
            refuse();
        if (size < 52) { // the masks follow a short header
            const int count = h.compression == AlphaBitFields ? 4 : 3;
            in.take(reinterpret_cast<uchar *>(info.data() + 40), count * 4);
        }
        h.red = Channel(little(info, 40, 4));
        h.green = Channel(little(info, 44, 4));
        h.blue = Channel(little(info, 48, 4));
        if (h.compression == AlphaBitFields || size >= 56)
            h.alpha = Channel(little(info, 52, 4));
        if (!h.red.mask && !h.green.mask && !h.blue.mask)
            refuse();
    } else if (h.compression == Rgb && h.bits == 16) {
        h.red = Channel(0x7c00), h.green = Channel(0x03e0), h.blue = Channel(0x001f);
    } else if (h.compression == Rgb && h.bits == 32) {
        h.red = Channel(0xff0000), h.green = Channel(0xff00), h.blue = Channel(0xff);
    } else if (h.compression != Rgb && !rle) {
        refuse(); // embedded JPEG or PNG, Huffman, 24-bit run-length
    }
    if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24
        && h.bits != 32)
        refuse();
    if (h.bits <= 8) {
        const quint32 used = size >= 36 ? little(info, 32, 4) : 0;
        const quint32 most = 1u << h.bits;
        if (used > most)
            refuse();
        h.palette.resize(used ? used : most);
        const int entry = size == 12 ? 3 : 4;
        for (QRgb &colour : h.palette) {
            uchar bgr[4];
            in.take(bgr, entry);
            colour = qRgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    const qint64 at = in.position();
    if (h.offset < at)
        refuse();
    in.skip(h.offset - at);
    return h;
}

QRgb colour(const Header &h, quint32 index)
{
    if (index >= h.palette.size())
        refuse(); // no colour to show
    return h.palette[index];
}

void readRows(Reader &in, const Header &h, RowScaler &scaler)
{
    const qint64 rowBytes = (h.width * h.bits + 31) / 32 * 4;
    std::vector<uchar> data(static_cast<std::size_t>(rowBytes));
    const bool alpha = h.alpha.max != 0;
    for (qint64 i = 0; i < h.height; ++i) {
        const int y = int(h.topDown ? i : h.height - 1 - i);
        in.take(data.data(), rowBytes);
        auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(y));
        const uchar *p = data.data();
        for (qint64 x = 0; x < h.width; ++x) {
            switch (h.bits) {
            case 24:
                out[x] = qRgb(p[x * 3 + 2], p[x * 3 + 1], p[x * 3]);
                break;
            case 16:
            case 32: {
                const uchar *q = p + x * (h.bits / 8);
                const quint32 v = h.bits == 16
                    ? quint32(q[0] | q[1] << 8)
                    : quint32(q[0] | q[1] << 8 | q[2] << 16) | quint32(q[3]) << 24;
                out[x] = qRgba(h.red.value(v, 0), h.green.value(v, 0), h.blue.value(v, 0),
                               alpha ? h.alpha.value(v, 255) : 255);
                break;
            }
            default: {
                const qint64 bit = x * h.bits;
                const int shift = 8 - h.bits - int(bit % 8);
                out[x] = colour(h, (p[bit / 8] >> shift) & ((1u << h.bits) - 1));
            }
            }
        }
        scaler.put(y);
    }
}

// Run-length rows, bottom first. Runs and literal strings must fill each row exactly; an end
// of row, a jump or the end of the picture that leaves pixels out refuses the file.
void readRunLength(Reader &in, const Header &h, RowScaler &scaler)
{
    const bool four = h.compression == Rle4;
    const int width = int(h.width);
    qint64 row = 0;
    int x = 0;
    auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(int(h.height - 1)));
    const auto put = [&](int index) {
        if (x >= width)
            refuse();
        out[x++] = colour(h, quint32(index));
    };
    for (;;) {
        const int count = in.byte(), code = in.byte();
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i % 2 ? code & 15 : code >> 4) : code);
            continue;
        }
        if (code == 0 || code == 1) { // end of row, end of picture
            if (x != width)
                refuse();
            const int y = int(h.height - 1 - row);
            scaler.put(y);
            x = 0;
            if (++row == h.height)
                return; // a missing end code after the last row loses nothing
            if (code == 1)
                refuse();
            out = reinterpret_cast<QRgb *>(scaler.rowFor(y - 1));
            continue;
        }
        if (code == 2) { // a jump over pixels the file never gives
            refuse();
        }
        const int bytes = four ? (code + 1) / 2 : code;
        uchar literal[256];
        in.take(literal, bytes + bytes % 2);
        for (int i = 0; i < code; ++i)
            put(four ? (i % 2 ? literal[i / 2] & 15 : literal[i / 2] >> 4) : literal[i]);
    }
}

class Bmp : public Codec
{
public:
    bool recognises(const QByteArray &head) const override { return head.startsWith("BM"); }
    QImage decode(Load &load) const override
    {
        Reader in(load.device);
        const Header h = readHeader(in, load.limits);
        RowScaler scaler(QSize(int(h.width), int(h.height)),
                         fittedSize(QSize(int(h.width), int(h.height)), load.box),
                         h.alpha.max ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
        if (h.compression == Rle8 || h.compression == Rle4)
            readRunLength(in, h, scaler);
        else
            readRows(in, h, scaler);
        return scaler.finish();
    }
};

} // namespace

const Codec &bmpCodec()
{
    static const Bmp codec;
    return codec;
}
