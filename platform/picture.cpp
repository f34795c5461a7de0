// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture.h"

#include "int16.h"
#include "jpegreader.h"
#include "runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <vector>

namespace {

RuntimeError unreadable()
{
    return RuntimeError(QStringLiteral("Invalid picture"));
}

// Reads a device forward in chunks, for the walks over a file's structure below; puts the
// device back where it was when done.
class ByteWalk
{
public:
    explicit ByteWalk(QIODevice &device)
        : m_device(device)
        , m_start(device.pos())
    { }
    ~ByteWalk() { m_device.seek(m_start); }
    ByteWalk(const ByteWalk &) = delete;
    ByteWalk &operator=(const ByteWalk &) = delete;

    // The next byte, or -1 at the end.
    int next()
    {
        if (m_at == m_chunk.size()) {
            m_chunk = m_device.read(64 * 1024);
            m_at = 0;
            if (m_chunk.isEmpty())
                return -1;
        }
        return static_cast<unsigned char>(m_chunk[m_at++]);
    }
    bool skip(qint64 count)
    {
        const qint64 here = std::min<qint64>(count, m_chunk.size() - m_at);
        m_at += here;
        count -= here;
        return count == 0 || m_device.skip(count) == count;
    }

private:
    QIODevice &m_device;
    qint64 m_start;
    QByteArray m_chunk;
    qsizetype m_at = 0;
};

quint32 little(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Qt's BMP reader hands back a picture whose rows the file never held (cut short, or pixel data
// that starts past its end) filled with whatever the memory held. The file must hold them all.
bool bmpIsWhole(QIODevice &device)
{
    const QByteArray head = device.peek(54);
    if (head.size() < 26)
        return false;
    const quint32 offset = little(head, 10, 4);
    const quint32 headerSize = little(head, 14, 4);
    qint64 width = 0, height = 0;
    quint32 bits = 0, compression = 0;
    if (headerSize == 12) {
        width = little(head, 18, 2);
        height = little(head, 20, 2);
        bits = little(head, 24, 2);
    } else if (headerSize >= 40 && head.size() >= 54) {
        width = qint32(little(head, 18, 4));
        height = qint32(little(head, 22, 4));
        bits = little(head, 28, 2);
        compression = little(head, 30, 4);
    } else {
        return false;
    }
    const qint64 size = device.size();
    if (width <= 0 || height == 0 || offset < 14 + qint64(headerSize) || offset >= size)
        return false;
    enum { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };
    if (compression == Rgb || compression == BitFields || compression == AlphaBitFields) {
        const qint64 rowBytes = (width * bits + 31) / 32 * 4;
        return rowBytes <= (size - offset) / std::abs(height);
    }
    if (compression != Rle8 && compression != Rle4)
        return true; // the reader refuses what it cannot decode
    // Run-length data must reach its end-of-picture code inside the file.
    ByteWalk walk(device);
    if (!walk.skip(offset))
        return false;
    for (;;) {
        const int count = walk.next();
        const int code = walk.next();
        if (count < 0 || code < 0)
            return false;
        if (count > 0 || code == 0) // a run, or the end of a row
            continue;
        if (code == 1)
            return true;
        if (code == 2) { // move ahead
            if (!walk.skip(2))
                return false;
            continue;
        }
        const int bytes = compression == Rle8 ? code : (code + 1) / 2;
        if (!walk.skip(bytes + bytes % 2))
            return false;
    }
}

// Whether a GIF image's codes, read from their sub-blocks, make at least `pixels` pixels. Only
// the lengths of the strings are followed, not the strings.
bool lzwCovers(ByteWalk &walk, int minimumSize, qint64 pixels, qint64 cap)
{
    const int clear = 1 << minimumSize, end = clear + 1;
    std::vector<quint16> lengths(4096, 1);
    int size = minimumSize + 1, next = end + 1, previous = -1;
    quint32 bits = 0;
    int held = 0;
    qint64 made = 0;
    bool ended = false;
    for (int block = walk.next(); block != 0; block = walk.next()) {
        if (block < 0 || (cap -= block) < 0)
            return false;
        for (int i = 0; i < block; ++i) {
            const int byte = walk.next();
            if (byte < 0)
                return false;
            if (ended)
                continue; // the rest of the blocks is read only to be there
            bits |= quint32(byte) << held;
            held += 8;
            while (held >= size && !ended) {
                const int code = int(bits & ((1u << size) - 1));
                bits >>= size;
                held -= size;
                if (code == clear) {
                    size = minimumSize + 1;
                    next = end + 1;
                    previous = -1;
                    continue;
                }
                if (code == end || code > next || (code == next && previous < 0)) {
                    ended = true; // Qt's reader stops here too
                    break;
                }
                if (previous >= 0 && next < 4096) {
                    lengths[std::size_t(next++)] = quint16(lengths[std::size_t(previous)] + 1);
                    if (next == 1 << size && size < 12)
                        ++size;
                }
                made += lengths[std::size_t(code)];
                previous = code;
            }
        }
    }
    return made >= pixels;
}

// Qt's GIF reader paints a first frame whose data ran out as if it were whole (black where
// its codes end): its blocks must all be in the file and its codes make every pixel.
bool gifIsWhole(QIODevice &device)
{
    ByteWalk walk(device);
    // Qt's reader takes 0.45 s over 250 MB of sub-blocks, where a real GIF has small
    // extensions before its image and at most three bytes of codes a pixel in it.
    qint64 extensions = 16 << 20;
    const auto table = [&](int flags) {
        return (flags & 0x80) == 0 || walk.skip(3 << ((flags & 7) + 1));
    };
    const auto u16 = [&] {
        const int low = walk.next(), high = walk.next();
        return low < 0 || high < 0 ? -1 : low | high << 8;
    };
    if (!walk.skip(10))
        return false;
    const int screenFlags = walk.next();
    if (screenFlags < 0 || !walk.skip(2) || !table(screenFlags))
        return false;
    for (;;) {
        switch (walk.next()) {
        case 0x21: // extension: label, then sub-blocks up to their terminator
            if (walk.next() < 0)
                return false;
            for (int length = walk.next(); length != 0; length = walk.next())
                if (length < 0 || !walk.skip(length) || (extensions -= length) < 0)
                    return false;
            break;
        case 0x2C: { // image: place, size, flags, local table, code size, codes
            const int x = u16(), y = u16(), width = u16(), height = u16(), flags = walk.next();
            if (x < 0 || y < 0 || width < 0 || height < 0 || flags < 0 || !table(flags))
                return false;
            const int codeSize = walk.next();
            const qint64 pixels = qint64(width) * height;
            return codeSize >= 1 && codeSize <= 11
                && lzwCovers(walk, codeSize, pixels, 3 * pixels + 4096);
        }
        default: // the trailer before any image, or not a block
            return false;
        }
    }
}

quint32 big(const QByteArray &bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | static_cast<unsigned char>(byte);
    return value;
}

// Qt's PNG reader keeps every text chunk, inflating compressed ones: 250 MB of text took 5 s and
// 1.2 GB, 250 MB of compressed text 21 s. A photo's metadata is far below these caps.
bool pngMetadataIsModest(QIODevice &device)
{
    constexpr qint64 MaxMetadata = 4 << 20, MaxCompressed = 256 << 10, MaxChunks = 100000;
    ByteWalk walk(device);
    if (!walk.skip(8))
        return false;
    qint64 metadata = 0, compressed = 0;
    for (qint64 chunks = 0; chunks < MaxChunks; ++chunks) {
        QByteArray header;
        for (int i = 0; i < 8; ++i) {
            const int byte = walk.next();
            if (byte < 0)
                return false;
            header.append(char(byte));
        }
        const qint64 length = big(header.left(4));
        const QByteArray type = header.mid(4);
        if (type == "IEND")
            return true;
        if (type != "IDAT") {
            metadata += length;
            if (type == "zTXt" || type == "iTXt" || type == "iCCP")
                compressed += length;
            if (metadata > MaxMetadata || compressed > MaxCompressed)
                return false;
        }
        if (!walk.skip(length + 4)) // data and checksum
            return false;
    }
    return false;
}

// Qt's ICO reader reads the first icon's data whole and hands a PNG icon to the PNG reader.
bool icoIsModest(QIODevice &device)
{
    const QByteArray head = device.peek(22);
    if (head.size() < 22 || little(head, 14, 4) > 4 << 20)
        return false;
    const qint64 start = device.pos();
    if (!device.seek(start + little(head, 18, 4)))
        return false;
    const bool modest = !device.peek(4).startsWith("\x89PNG") || pngMetadataIsModest(device);
    device.seek(start);
    return modest;
}

// Lowers Qt's own allocation limit to ours while a reader runs, so that a size the header hid
// (a GIF frame larger than its screen, say) still cannot take more.
class AllocationLimit
{
public:
    explicit AllocationLimit(qint64 bytes)
        : m_saved(QImageReader::allocationLimit())
    {
        const int megabytes = int(std::max<qint64>(1, bytes >> 20));
        QImageReader::setAllocationLimit(m_saved > 0 ? std::min(m_saved, megabytes) : megabytes);
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_saved); }
    AllocationLimit(const AllocationLimit &) = delete;
    AllocationLimit &operator=(const AllocationLimit &) = delete;

private:
    int m_saved;
};

} // namespace

Picture LoadPicture(const QString &path, QSize decodeBox, const PictureLimits &limits)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(QStringLiteral("Permission denied: %1").arg(path));
    return decodePicture(file, decodeBox, limits);
}

Picture decodePicture(QIODevice &device, QSize decodeBox, const PictureLimits &limits)
{
    if (device.size() > limits.fileBytes)
        throw unreadable();
    const QByteArray head = device.peek(10);
    const QByteArray magic = head.left(4);
    if (magic.startsWith("\xFF\xD8"))
        return decodeJpeg(device, decodeBox, limits);
    if ((magic.startsWith("BM") && !bmpIsWhole(device))
        || (magic.startsWith("GIF8") && !gifIsWhole(device))
        || (magic.startsWith("\x89PNG") && !pngMetadataIsModest(device))
        || ((magic == QByteArray("\0\0\1\0", 4) || magic == QByteArray("\0\0\2\0", 4))
            && !icoIsModest(device)))
        throw unreadable();

    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // Formats whose readers stay within the limits. PNM, XPM and XBM readers take seconds over
    // text: 16 megapixels as text, or a PNM header with 250 MB of comment (4 s).
    static const QByteArrayList bounded = {"bmp", "gif", "ico", "cur", "png"};
    if (!bounded.contains(reader.format()))
        throw unreadable();
    // A top-down BMP gives its height as negative. Qt finds a GIF's size by walking every
    // frame and keeping a list of their sizes: millions of tiny frames would cost seconds and
    // hundreds of MB. Its screen is what the first frame is drawn on (a frame that outgrows it,
    // or a screen of 0 x 0, meets the allocation limit lowered below).
    const QSize size = reader.format() == "gif"
        ? QSize(int(little(head, 6, 2)), int(little(head, 8, 2))).expandedTo(QSize(1, 1))
        : reader.size();
    const qint64 width = std::abs(qint64(size.width())), height = std::abs(qint64(size.height()));
    if (width == 0 || height == 0 || width * height * 4 > limits.wholePictureBytes)
        throw unreadable();

    Picture picture;
    {
        const AllocationLimit limit(limits.wholePictureBytes);
        picture = reader.read();
    }
    if (picture.isNull())
        throw unreadable();
    const QSize fitted = fittedSize(picture.size(), decodeBox);
    if (fitted != picture.size())
        picture = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

QSize fittedSize(QSize size, QSize box)
{
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

Picture builtInPicture(const QString &resource)
{
    return Picture(resource);
}

