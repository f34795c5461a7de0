// SPDX-License-Identifier: GPL-3.0-or-later
// WebP through libwebp: a still picture is scaled as it decodes, straight into the picture
// returned; an animation shows its first frame, as the canvas shows it. The container is walked
// once, here, and what libwebp's lossless decoder will build (its pixels, its transforms' data,
// its Huffman tables for every group the stream names) is counted before it builds any of it.
#include "codec.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

namespace {

struct AnimationFree
{
    void operator()(WebPAnimDecoder *d) const { WebPAnimDecoderDelete(d); }
};

constexpr WEBP_CSP_MODE NativeArgb = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;

quint32 le(const QByteArray &bytes, qsizetype at, int size)
{
    return little(bytes, int(at), size);
}

// A chunk of the RIFF container: its type, and where its content lies in the file.
struct Chunk
{
    QByteArrayView type; // into the file

    qsizetype at = 0;
    qsizetype size = 0;
};

// What the container holds, walked chunk by chunk to its end.
struct Container
{
    QByteArrayView first; // the type of the chunk after the header: VP8X, VP8 or VP8L
    quint32 flags = 0;
    QSize canvas;
    std::vector<Chunk> head; // VP8X, ICCP and ANIM, for a first frame standing alone
    Chunk firstFrame; // an animation's first ANMF
    Chunk exif;
};

Container walk(const QByteArray &file)
{
    if (file.size() < 20)
        refuse();
    const qint64 riff = qint64(le(file, 4, 4)) + 8;
    // The container whole, or nothing: a file cut short is refused here.
    if (riff > file.size() || riff < 20)
        refuse();
    Container c;
    for (qsizetype at = 12; at < riff;) {
        if (at + 8 > riff)
            refuse();
        Chunk chunk {QByteArrayView(file).sliced(at, 4), at + 8, qsizetype(le(file, at + 4, 4))};
        if (chunk.size > riff - chunk.at)
            refuse();
        if (c.first.isEmpty())
            c.first = chunk.type;
        if (chunk.type == "VP8X" || chunk.type == "ICCP" || chunk.type == "ANIM")
            c.head.push_back(chunk);
        else if (chunk.type == "ANMF" && c.firstFrame.type.isEmpty())
            c.firstFrame = chunk;
        else if (chunk.type == "EXIF" && c.exif.type.isEmpty())
            c.exif = chunk;
        at = chunk.at + chunk.size + (chunk.size & 1);
    }
    if (c.first == "VP8X") {
        if (c.head.front().size < 10)
            refuse();
        const qsizetype x = c.head.front().at;
        c.flags = le(file, x, 1);
        c.canvas = QSize(int(le(file, x + 4, 3)) + 1, int(le(file, x + 7, 3)) + 1);
    }
    return c;
}

// Reads bits least significant first, as a lossless stream packs them.
class LsbBits
{
public:
    LsbBits(const uchar *data, qsizetype size)
        : m_data(data)
        , m_size(size)
    { }
    quint32 bits(int count)
    {
        const quint32 value = peek(count);
        skip(count);
        return value;
    }
    // The next `count` bits (up to 24), zeros past the end.
    quint32 peek(int count) const
    {
        quint64 window = 0;
        const qsizetype byte = m_at >> 3;
        for (int i = 0; i < 4 && byte + i < m_size; ++i)
            window |= quint64(m_data[byte + i]) << (8 * i);
        return quint32(window >> (m_at & 7)) & ((1u << count) - 1);
    }
    void skip(int count)
    {
        m_at += count;
        if (m_at > m_size * 8)
            refuse();
    }

private:
    const uchar *m_data;
    qsizetype m_size;
    qint64 m_at = 0;
};

// A canonical prefix code read from its lengths, as DEFLATE builds one; looked up a whole code
// at a time. A code of one symbol takes no bits; any other must be complete.
class PrefixCode
{
public:
    explicit PrefixCode(const std::vector<int> &lengths)
    {
        std::array<int, 16> count {};
        int used = 0, last = 0;
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] < 0 || lengths[s] > 15)
                refuse();
            if (lengths[s] > 0) {
                ++count[std::size_t(lengths[s])];
                ++used;
                last = int(s);
                m_longest = std::max(m_longest, lengths[s]);
            }
        }
        if (used == 0)
            refuse();
        if (used == 1) {
            m_table.assign(1, {last, 0});
            m_longest = 0;
            return;
        }
        int open = 1;
        for (int len = 1; len <= 15; ++len) {
            open = open * 2 - count[std::size_t(len)];
            if (open < 0)
                refuse();
        }
        if (open != 0)
            refuse();
        std::array<int, 16> next {};
        for (int len = 1, code = 0; len <= 15; ++len) {
            code = (code + count[std::size_t(len - 1)]) << 1;
            next[std::size_t(len)] = code;
        }
        m_table.assign(std::size_t(1) << m_longest, {0, 0});
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            const int len = lengths[s];
            if (len == 0)
                continue;
            const int code = next[std::size_t(len)]++;
            int reversed = 0;
            for (int b = 0; b < len; ++b)
                reversed |= (code >> b & 1) << (len - 1 - b);
            for (int fill = reversed; fill < (1 << m_longest); fill += 1 << len)
                m_table[std::size_t(fill)] = {int(s), len};
        }
    }
    int read(LsbBits &in) const
    {
        const auto [symbol, length] = m_table[m_longest ? in.peek(m_longest) : 0];
        in.skip(length);
        return symbol;
    }

private:
    std::vector<std::pair<int, int>> m_table;
    int m_longest = 0;
};

constexpr int Literals = 256, LengthCodes = 24, DistanceCodes = 40;
constexpr std::array<int, 19> CodeLengthOrder {17, 18, 0, 1,  2,  3,  4,  5,  16, 6,
                                               7,  8,  9, 10, 11, 12, 13, 14, 15};
// Distances for the 120 nearest pixels, as (rows up) << 4 | (8 - columns left).
constexpr std::array<uchar, 120> NearDistances {
    0x18, 0x07, 0x17, 0x19, 0x28, 0x06, 0x27, 0x29, 0x16, 0x1a, 0x26, 0x2a, 0x38, 0x05, 0x37,
    0x39, 0x15, 0x1b, 0x36, 0x3a, 0x25, 0x2b, 0x48, 0x04, 0x47, 0x49, 0x14, 0x1c, 0x35, 0x3b,
    0x46, 0x4a, 0x24, 0x2c, 0x58, 0x45, 0x4b, 0x34, 0x3c, 0x03, 0x57, 0x59, 0x13, 0x1d, 0x56,
    0x5a, 0x23, 0x2d, 0x44, 0x4c, 0x55, 0x5b, 0x33, 0x3d, 0x68, 0x02, 0x67, 0x69, 0x12, 0x1e,
    0x66, 0x6a, 0x22, 0x2e, 0x54, 0x5c, 0x43, 0x4d, 0x65, 0x6b, 0x32, 0x3e, 0x78, 0x01, 0x77,
    0x79, 0x53, 0x5d, 0x11, 0x1f, 0x64, 0x6c, 0x42, 0x4e, 0x76, 0x7a, 0x21, 0x2f, 0x75, 0x7b,
    0x31, 0x3f, 0x63, 0x6d, 0x52, 0x5e, 0x00, 0x74, 0x7c, 0x41, 0x4f, 0x10, 0x20, 0x62, 0x6e,
    0x30, 0x73, 0x7d, 0x51, 0x5f, 0x40, 0x72, 0x7e, 0x61, 0x6f, 0x50, 0x71, 0x7f, 0x60, 0x70};

int subSampled(int size, int bits)
{
    return (size + (1 << bits) - 1) >> bits;
}

// A lossless stream read as far as libwebp's tables: its transforms' images and the map of
// Huffman groups are decoded (they come first, and the tables are sized from the map); the
// picture's own pixels are left to libwebp. What libwebp holds for it, in bytes, is counted.
class LosslessCost
{
public:
    LosslessCost(const uchar *data, qsizetype size, qint64 budget)
        : m_in(data, size)
        , m_budget(budget)
    { }

    // The stream of a picture of this size, from its transforms on; `alpha` for an alpha
    // plane's, which libwebp decodes a byte a pixel where only a palette and codes of one colour
    // beside green make it up.
    qint64 count(int width, int height, bool alpha = false)
    {
        int xsize = width;
        unsigned seen = 0;
        while (m_in.bits(1)) {
            const unsigned type = m_in.bits(2);
            if (seen & (1u << type))
                refuse(); // each transform once
            seen |= 1u << type;
            if (type == 0 || type == 1) { // predictor, cross-colour: an image of their data
                const int bits = int(m_in.bits(3)) + 2;
                subImage(subSampled(xsize, bits), subSampled(height, bits));
            } else if (type == 3) { // a palette, the pixels bundled a few to a byte
                const int colours = int(m_in.bits(8)) + 1;
                subImage(colours, 1);
                xsize = subSampled(xsize, colours > 16 ? 0 : colours > 4 ? 1 : colours > 2 ? 2 : 3);
            }
        }
        const int cacheBits = readCacheBits();
        // Each group's five tables at their largest, and its own record.
        m_groupBytes = (630 * 3 + 410 + 654 + tableGrowth(cacheBits)) * 4 + 600;
        spend(m_groupBytes);
        if (m_in.bits(1)) { // the map of Huffman groups
            const int bits = int(m_in.bits(3)) + 2;
            m_mapping = true;
            subImage(subSampled(xsize, bits), subSampled(height, bits));
            m_mapping = false;
            // libwebp allocates a table for each group up to the highest, unless that looks
            // too many, when only for those the map uses.
            if (m_highest <= 1000 && qint64(m_highest) <= qint64(xsize) * height)
                spend((m_highest - m_distinct) * m_groupBytes);
        }
        bool bytePerPixel = alpha && seen == 1u << 3 && cacheBits == 0;
        for (int group = 0; bytePerPixel && group < std::max(m_highest, 1); ++group)
            for (int code = 0; code < 5; ++code) {
                const std::vector<int> lengths = codeLengths(code == 0 ? Literals + LengthCodes
                                                                 : code == 4 ? DistanceCodes
                                                                             : Literals);
                if (code >= 1 && code <= 3
                    && std::count_if(lengths.begin(), lengths.end(), [](int l) { return l > 0; })
                        > 1)
                    bytePerPixel = false;
            }
        spend(qint64(width) * height * (bytePerPixel ? 1 : 4));
        return m_held;
    }

private:
    static int tableGrowth(int cacheBits)
    {
        static constexpr std::array<int, 12> growth {0,  2,   4,   8,   16,   32,
                                                     64, 128, 258, 514, 1026, 2050};
        return growth[std::size_t(cacheBits)];
    }

    void spend(qint64 bytes)
    {
        m_held += bytes;
        if (m_held > m_budget)
            refuse();
    }

    int readCacheBits()
    {
        if (!m_in.bits(1))
            return 0;
        const int bits = int(m_in.bits(4));
        if (bits < 1 || bits > 11)
            refuse();
        return bits;
    }

    std::vector<int> codeLengths(int alphabet)
    {
        std::vector<int> lengths(std::size_t(alphabet), 0);
        if (m_in.bits(1)) { // one or two symbols, written out
            const int symbols = int(m_in.bits(1)) + 1;
            const int first = int(m_in.bits(m_in.bits(1) ? 8 : 1));
            if (first >= alphabet)
                refuse();
            lengths[std::size_t(first)] = 1;
            if (symbols == 2) {
                const int second = int(m_in.bits(8));
                if (second >= alphabet)
                    refuse();
                lengths[std::size_t(second)] = 1;
            }
            return lengths;
        }
        std::vector<int> lengthCodeLengths(19, 0);
        const int codes = int(m_in.bits(4)) + 4;
        for (int i = 0; i < codes; ++i)
            lengthCodeLengths[std::size_t(CodeLengthOrder[std::size_t(i)])] = int(m_in.bits(3));
        const PrefixCode lengthCode(lengthCodeLengths);
        int left = alphabet;
        if (m_in.bits(1)) {
            const int size = 2 + 2 * int(m_in.bits(3));
            left = 2 + int(m_in.bits(size));
            if (left > alphabet)
                refuse();
        }
        int previous = 8;
        for (int symbol = 0; symbol < alphabet && left-- > 0;) {
            const int length = lengthCode.read(m_in);
            if (length < 16) {
                lengths[std::size_t(symbol++)] = length;
                if (length)
                    previous = length;
                continue;
            }
            const int repeat = length == 16 ? 3 + int(m_in.bits(2))
                : length == 17              ? 3 + int(m_in.bits(3))
                                            : 11 + int(m_in.bits(7));
            if (symbol + repeat > alphabet)
                refuse();
            for (int i = 0; i < repeat; ++i)
                lengths[std::size_t(symbol++)] = length == 16 ? previous : 0;
        }
        return lengths;
    }

    int copyLength(int prefix)
    {
        if (prefix < 4)
            return prefix + 1;
        const int extra = (prefix - 2) >> 1;
        return ((2 + (prefix & 1)) << extra) + int(m_in.bits(extra)) + 1;
    }

    // An image of the stream's own (a transform's data, the group map): one group of codes, its
    // pixels decoded in full, as libwebp decodes and keeps them.
    void subImage(int width, int height)
    {
        const qint64 pixels = qint64(width) * height;
        spend(pixels * 4);
        const int cacheBits = readCacheBits();
        const int cacheSize = cacheBits ? 1 << cacheBits : 0;
        const PrefixCode green(codeLengths(Literals + LengthCodes + cacheSize));
        const PrefixCode red(codeLengths(Literals)), blue(codeLengths(Literals)),
            alpha(codeLengths(Literals)), distance(codeLengths(DistanceCodes));
        // Memory touched as it is decoded: a map refused early leaves the rest untouched.
        const std::unique_ptr<quint32[]> image(new quint32[std::size_t(pixels)]);
        std::vector<quint32> cache(static_cast<std::size_t>(cacheSize));
        qint64 at = 0;
        const auto keep = [&](quint32 argb) {
            image[std::size_t(at++)] = argb;
            if (cacheBits)
                cache[(argb * 0x1e35a7bdu) >> (32 - cacheBits)] = argb;
            if (m_mapping) { // each new group costs its tables, now
                const int group = int(argb >> 8 & 0xffff);
                m_highest = std::max(m_highest, group + 1);
                if (!m_used[std::size_t(group)]) {
                    m_used[std::size_t(group)] = true;
                    if (++m_distinct > 1)
                        spend(m_groupBytes);
                }
            }
        };
        while (at < pixels) {
            const int g = green.read(m_in);
            if (g < Literals) {
                const quint32 r = quint32(red.read(m_in)), b = quint32(blue.read(m_in)),
                              a = quint32(alpha.read(m_in));
                keep(a << 24 | r << 16 | quint32(g) << 8 | b);
            } else if (g < Literals + LengthCodes) {
                const qint64 length = copyLength(g - Literals);
                const int code = copyLength(distance.read(m_in));
                qint64 back = code - 120;
                if (code <= 120) {
                    const uchar near = NearDistances[std::size_t(code - 1)];
                    back = std::max<qint64>(1, qint64(near >> 4) * width + 8 - (near & 15));
                }
                if (back > at || length > pixels - at)
                    refuse();
                for (qint64 i = 0; i < length; ++i)
                    keep(image[std::size_t(at - back)]);
            } else {
                keep(cache[std::size_t(g - Literals - LengthCodes)]);
            }
        }
    }

    LsbBits m_in;
    qint64 m_budget;
    qint64 m_held = 0;
    qint64 m_groupBytes = 0;
    bool m_mapping = false; // decoding the map of groups
    std::vector<bool> m_used = std::vector<bool>(65536);
    int m_highest = 0;
    int m_distinct = 0;
};

constexpr int AlphaLossless = 1;

// Bytes libwebp holds to decode a picture: its lossless stream's pixels, transforms' data and
// Huffman tables; a lossy picture's colour goes a row of blocks at a time into the picture
// returned, but its alpha is decoded whole (a plane, and the lossless decoder's own pixels
// beside it where the alpha is a lossless stream).
qint64 heldFor(const QByteArray &file, const Chunk &image, const Chunk *alph, QSize size,
               qint64 budget)
{
    const auto *bytes = reinterpret_cast<const uchar *>(file.constData());
    if (image.type == "VP8L") {
        if (image.size < 5)
            refuse();
        LosslessCost cost(bytes + image.at + 5, image.size - 5, budget);
        return cost.count(size.width(), size.height());
    }
    if (!alph || alph->size < 1)
        return 0;
    const qint64 plane = qint64(size.width()) * size.height();
    if ((uchar(file[alph->at]) & 3) != AlphaLossless)
        return plane;
    LosslessCost cost(bytes + alph->at + 1, alph->size - 1, budget - plane);
    return plane + cost.count(size.width(), size.height(), true);
}

// The still picture's chunks: its ALPH, if any, and its VP8 or VP8L.
std::pair<Chunk, Chunk> stillChunks(const QByteArray &file)
{
    Chunk alph, image;
    for (qsizetype at = 12; at + 8 <= file.size();) {
        Chunk chunk {QByteArrayView(file).sliced(at, 4), at + 8, qsizetype(le(file, at + 4, 4))};
        if (chunk.type == "ALPH" && alph.type.isEmpty())
            alph = chunk;
        if (chunk.type == "VP8 " || chunk.type == "VP8L") {
            image = chunk;
            break;
        }
        at = chunk.at + chunk.size + (chunk.size & 1);
    }
    if (image.type.isEmpty())
        refuse();
    return {alph, image};
}

// The frames of an animation after its first are never decoded, nor listed: the first stands
// alone in a container of its own, with the canvas and the loop it belongs to.
QByteArray firstFrameAlone(const QByteArray &file, const Container &c)
{
    if (c.firstFrame.type.isEmpty())
        refuse();
    QByteArray body("WEBP");
    for (const Chunk &chunk : c.head)
        body += file.mid(chunk.at - 8, chunk.size + 8 + (chunk.size & 1));
    body += file.mid(c.firstFrame.at - 8, c.firstFrame.size + 8 + (c.firstFrame.size & 1));
    QByteArray riff("RIFF");
    for (int i = 0; i < 4; ++i)
        riff += char(quint32(body.size()) >> (8 * i));
    return riff + body;
}

QImage firstFrame(Load &load, const QByteArray &alone, QSize canvas, int orientation)
{
    // The decoder keeps this canvas and the one before, and decodes a frame beside them.
    checkWholeDecode(load, canvas, qint64(canvas.width()) * canvas.height() * 12);
    const WebPData data {reinterpret_cast<const uint8_t *>(alone.constData()),
                         std::size_t(alone.size())};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        refuse();
    options.color_mode = NativeArgb;
    options.use_threads = load.threads > 1;
    std::unique_ptr<WebPAnimDecoder, AnimationFree> decoder(WebPAnimDecoderNew(&data, &options));
    uint8_t *pixels = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp))
        refuse();
    const QSize box = orientation >= 5 ? load.box.transposed() : load.box;
    RowScaler scaler(canvas, fittedSize(canvas, box), QImage::Format_ARGB32, load.working);
    const std::size_t row = std::size_t(canvas.width()) * 4;
    for (int y = 0; y < canvas.height(); ++y) {
        std::memcpy(scaler.rowFor(y), pixels + row * std::size_t(y), row);
        scaler.put(y);
    }
    return scaler.finish();
}

class Webp : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
    }
    QImage decode(Load &load) const override;
};

} // namespace

QImage Webp::decode(Load &load) const
{
    const QByteArray file = load.device.readAll();
    const Container container = walk(file);
    int orientation = 1;
    if ((container.flags & EXIF_FLAG) && !container.exif.type.isEmpty()) {
        const auto *tiff = reinterpret_cast<const uchar *>(file.constData()) + container.exif.at;
        qint64 length = container.exif.size;
        if (length >= 6 && std::memcmp(tiff, "Exif\0\0", 6) == 0) { // as some writers put it
            tiff += 6;
            length -= 6;
        }
        orientation = exifOrientation(tiff, length);
    }
    if (container.flags & ANIMATION_FLAG)
        return upright(
            firstFrame(load, firstFrameAlone(file, container), container.canvas, orientation),
            orientation);

    WebPDecoderConfig config;
    const auto *data = reinterpret_cast<const uint8_t *>(file.constData());
    if (!WebPInitDecoderConfig(&config)
        || WebPGetFeatures(data, std::size_t(file.size()), &config.input) != VP8_STATUS_OK)
        refuse();
    const QSize full(config.input.width, config.input.height);
    if (container.first == "VP8X" && full != container.canvas)
        refuse();
    // Lossless data is decoded whole (its references reach back anywhere), as is the alpha
    // plane of lossy data; lossy colour a row of blocks at a time.
    checkWholeDecode(load, full, 0);
    const auto [alph, image] = stillChunks(file);
    checkWholeDecode(load, full,
                     heldFor(file, image, alph.type.isEmpty() ? nullptr : &alph, full,
                             load.limits.memoryBytes + load.limits.progressiveBytes));
    const QSize target = fittedSize(full, orientation >= 5 ? load.box.transposed() : load.box);
    const bool alpha = config.input.has_alpha;
    QImage picture = blankPicture(target, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (target != full) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    config.options.use_threads = load.threads > 1;
    config.output.colorspace = NativeArgb;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.bits();
    config.output.u.RGBA.stride = int(picture.bytesPerLine());
    config.output.u.RGBA.size = std::size_t(picture.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, std::size_t(file.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        refuse();
    if (load.working)
        load.working(full.height(), full.height());
    return upright(picture, orientation);
}

const Codec &webpCodec()
{
    static const Webp codec;
    return codec;
}
