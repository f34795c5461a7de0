// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every format's decoder shares: the interface the loader calls, a forward reader over
// the file, and the scaler that shrinks rows as they arrive.

#include "loader.h"

#include <QByteArray>
#include <QImage>

#include <vector>

class QIODevice;

// One load: the file, the size asked, the limits, and whom to tell that work goes on.
struct Load
{
    QIODevice &device;
    QSize box;
    const PictureLimits &limits;
    const LoadProgress &working;
    int threads = 1; // for the libraries that decode on several cores
};

class Codec
{
public:
    virtual ~Codec() = default;
    // Whether a file starting with these bytes (up to 16 of them) is this codec's.
    virtual bool recognises(const QByteArray &head) const = 0;
    // The picture at the size that fits the box, every pixel from the file; throws
    // RuntimeError for a file that is broken, short or beyond the limits.
    virtual QImage decode(Load &load) const = 0;
};

const Codec &bmpCodec();
const Codec &gifCodec();
const Codec &icoCodec();
const Codec &jpegCodec();
const Codec &pngCodec();
const Codec &heifCodec();
const Codec &avifCodec();
const Codec &webpCodec();

[[noreturn]] void refuse();

inline quint32 little(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Reads a device forward in chunks; a file that ends early is refused.
class Reader
{
public:
    explicit Reader(QIODevice &device)
        : m_device(device)
    { }
    // The next byte, or -1 at the end.
    int next()
    {
        if (m_at == m_chunk.size() && !refill())
            return -1;
        return static_cast<unsigned char>(m_chunk[m_at++]);
    }
    int byte()
    {
        const int b = next();
        if (b < 0)
            refuse();
        return b;
    }
    int u16()
    {
        const int low = byte();
        return low | byte() << 8;
    }
    void take(uchar *to, qint64 count);
    void skip(qint64 count);
    qint64 position() const;

private:
    bool refill();
    QIODevice &m_device;
    QByteArray m_chunk;
    qsizetype m_at = 0;
};

// Takes a picture's rows one at a time, top to bottom or bottom to top, each row whole, and
// keeps them at the size that fits the box: averaged over square blocks as they arrive, then
// smoothed to the exact size. Its memory is bounded by the box, not by the picture.
class RowScaler
{
public:
    // `target`: the size wanted, no larger than `full`.
    RowScaler(QSize full, QSize target, QImage::Format format, const LoadProgress &working);
    // Where the decoder writes row y, full width, 4 bytes a pixel in the format's order.
    uchar *rowFor(int y);
    // Row y is written.
    void put(int y);
    // Or pixels in any order, each once (an interlaced picture's passes): `count` pixels of
    // row y from column x, `step` columns apart.
    void putPixels(int y, int x, int step, int count, const uchar *pixels);
    // Every row written: the picture.
    QImage finish();

private:
    void average(int block, const quint32 *sums, int rows);
    void flush();
    QSize m_full, m_target;
    int m_factor = 1;
    QImage m_image;
    std::vector<uchar> m_row;
    std::vector<quint32> m_sums;
    std::vector<quint32> m_cells; // the whole picture's block sums, for pixels in any order
    qint64 m_pixels = 0;
    int m_block = -1, m_rows = 0, m_done = 0;
    const LoadProgress &m_working;
};

// For a picture a library decodes whole: its size against the pixel and side limits, and the
// `bytes` the library holds for it against the bound a progressive JPEG has (its coefficients
// and the usual budget beside them). Refuses past them.
void checkWholeDecode(const Load &load, QSize full, qint64 bytes);
// The orientation (1 upright, 2-8 mirrored and turned) an EXIF block states, from its TIFF
// header on; 1 where it states none.
int exifOrientation(const uchar *tiff, qint64 length);
// The picture turned and mirrored as an EXIF orientation says.
QImage upright(const QImage &image, int orientation);

// The rows of `crop` of a YUV picture (libavif's, or another library's planes described in
// it), converted to RGB by libavif a band at a time into the scaler: no RGB copy of the whole.
// A crop between two chroma samples starts from the sample before it.
struct avifImage;
struct avifCropRect;
void yuvRowsToScaler(const avifImage &image, const avifCropRect &crop, RowScaler &scaler);

// A new picture whose memory holds the fill tests ask for.
QImage blankPicture(QSize size, QImage::Format format);
