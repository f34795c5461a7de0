// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec.h"

#include "runtimeerror.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {
int pictureFill = -1;
}

void setPictureFill(int byte)
{
    pictureFill = byte;
}

QImage blankPicture(QSize size, QImage::Format format)
{
    QImage image(size, format);
    if (image.isNull())
        refuse();
    if (pictureFill >= 0)
        std::memset(image.bits(), pictureFill, std::size_t(image.sizeInBytes()));
    return image;
}

void refuse()
{
    throw RuntimeError(QStringLiteral("Invalid picture"));
}

bool Reader::refill()
{
    m_chunk = m_device.read(64 * 1024);
    m_at = 0;
    return !m_chunk.isEmpty();
}

void Reader::take(uchar *to, qint64 count)
{
    while (count > 0) {
        if (m_at == m_chunk.size() && !refill())
            refuse();
        const qint64 here = std::min<qint64>(count, m_chunk.size() - m_at);
        std::memcpy(to, m_chunk.constData() + m_at, std::size_t(here));
        to += here;
        m_at += here;
        count -= here;
    }
}

void Reader::skip(qint64 count)
{
    const qint64 here = std::min<qint64>(count, m_chunk.size() - m_at);
    m_at += here;
    count -= here;
    if (count > 0 && m_device.skip(count) != count)
        refuse();
}

qint64 Reader::position() const
{
    return m_device.pos() - (m_chunk.size() - m_at);
}

RowScaler::RowScaler(QSize full, QSize target, QImage::Format format, const LoadProgress &working)
    : m_full(full)
    , m_target(target)
    , m_working(working)
{
    // Past what GIF and JPEG can say: a single row of such a picture outweighs the board.
    if (full.width() > 65535 || full.height() > 65535)
        refuse();
    // Averaging whole blocks keeps every source pixel's weight equal; the last step to the
    // exact size is a small one.
    m_factor
        = std::max(1, std::min(full.width() / m_target.width(), full.height() / m_target.height()));
    m_image = blankPicture(
        QSize((full.width() + m_factor - 1) / m_factor, (full.height() + m_factor - 1) / m_factor),
        format);
    if (m_factor > 1) {
        m_row.resize(std::size_t(full.width()) * 4);
        m_sums.assign(std::size_t(m_image.width()) * 4, 0);
    }
}

uchar *RowScaler::rowFor(int y)
{
    return m_factor == 1 ? m_image.scanLine(y) : m_row.data();
}

void RowScaler::put(int y)
{
    if (++m_done % 256 == 0 && m_working)
        m_working(m_done, m_full.height());
    if (m_factor == 1)
        return;
    if (y / m_factor != m_block) {
        flush();
        m_block = y / m_factor;
    }
    const uchar *in = m_row.data();
    quint32 *sum = m_sums.data();
    for (int x = 0; x < m_full.width(); x += m_factor, sum += 4) {
        const int columns = std::min(m_factor, m_full.width() - x);
        quint32 b0 = 0, b1 = 0, b2 = 0, b3 = 0;
        for (int k = 0; k < columns; ++k, in += 4) {
            b0 += in[0];
            b1 += in[1];
            b2 += in[2];
            b3 += in[3];
        }
        sum[0] += b0;
        sum[1] += b1;
        sum[2] += b2;
        sum[3] += b3;
    }
    ++m_rows;
}

void RowScaler::putPixels(int y, int x, int step, int count, const uchar *pixels)
{
    const qint64 before = m_pixels;
    m_pixels += count;
    if (before / 65536 != m_pixels / 65536 && m_working)
        m_working(m_pixels, qint64(m_full.width()) * m_full.height());
    if (m_factor == 1) {
        uchar *line = m_image.scanLine(y);
        for (int i = 0; i < count; ++i, x += step)
            std::memcpy(line + x * 4, pixels + i * 4, 4);
        return;
    }
    if (m_cells.empty())
        m_cells.assign(std::size_t(m_image.width()) * m_image.height() * 4, 0);
    quint32 *row = m_cells.data() + std::size_t(y / m_factor) * m_image.width() * 4;
    for (int i = 0; i < count; ++i, x += step) {
        quint32 *cell = row + x / m_factor * 4;
        for (int c = 0; c < 4; ++c)
            cell[c] += pixels[i * 4 + c];
    }
}

// A block row of the picture from its sums over `rows` source rows.
void RowScaler::average(int block, const quint32 *sums, int rows)
{
    uchar *line = m_image.scanLine(block);
    for (int i = 0; i < m_image.width() * 4; ++i) {
        const int columns = std::min(m_factor, m_full.width() - i / 4 * m_factor);
        line[i] = uchar(sums[i] / quint32(rows * columns));
    }
}

void RowScaler::flush()
{
    if (m_rows == 0)
        return;
    average(m_block, m_sums.data(), m_rows);
    std::fill(m_sums.begin(), m_sums.end(), 0);
    m_rows = 0;
}

QImage RowScaler::finish()
{
    flush();
    if (m_pixels > 0) {
        if (m_pixels != qint64(m_full.width()) * m_full.height())
            refuse(); // a decoder that skipped pixels
        for (int y = 0; y < m_image.height() && !m_cells.empty(); ++y)
            average(y, m_cells.data() + std::size_t(y) * m_image.width() * 4,
                    std::min(m_factor, m_full.height() - y * m_factor));
    } else if (m_done != m_full.height()) {
        refuse(); // a decoder that skipped rows
    }
    if (m_image.size() == m_target)
        return m_image;
    return m_image.scaled(m_target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void checkWholeDecode(const Load &load, QSize full, qint64 bytes)
{
    const PictureLimits &limits = load.limits;
    if (full.width() < 1 || full.height() < 1 || full.width() > 65535 || full.height() > 65535
        || qint64(full.width()) * full.height() > limits.pixels
        || bytes > limits.memoryBytes + limits.progressiveBytes)
        refuse();
    // Beyond the usual budget only for a file big enough to be the photo it claims, as for a
    // progressive JPEG: a byte for every 512 the decoder holds.
    if (bytes > limits.memoryBytes && load.device.size() < bytes / 512)
        refuse();
}

int exifOrientation(const uchar *tiff, qint64 length)
{
    if (length < 8 || (tiff[0] != 'I' && tiff[0] != 'M'))
        return 1;
    const bool intel = tiff[0] == 'I';
    const auto u16 = [&](qint64 at) {
        return intel ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const auto u32 = [&](qint64 at) {
        return intel ? quint32(u16(at)) | quint32(u16(at + 2)) << 16
                     : quint32(u16(at)) << 16 | quint32(u16(at + 2));
    };
    const quint32 ifd = u32(4);
    if (ifd > quint64(length - 2))
        return 1;
    const int entries = u16(ifd);
    for (int i = 0; i < entries; ++i) {
        const qint64 at = qint64(ifd) + 2 + qint64(i) * 12;
        if (at + 12 > length)
            break;
        if (u16(at) == 0x0112) {
            const int value = u16(at + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

QImage upright(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2:
        return flippedImage(image, Qt::Horizontal);
    case 3:
        return flippedImage(image, Qt::Horizontal | Qt::Vertical);
    case 4:
        return flippedImage(image, Qt::Vertical);
    case 5:
        return flippedImage(image.transformed(QTransform().rotate(90)), Qt::Horizontal);
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return flippedImage(image.transformed(QTransform().rotate(-90)), Qt::Horizontal);
    case 8:
        return image.transformed(QTransform().rotate(-90));
    default:
        return image;
    }
}
