// SPDX-License-Identifier: GPL-3.0-or-later
// GIF: the first image, on its screen. Its codes must make every one of its pixels shown, each a
// colour of its table (or the transparent one); the screen around it stays transparent.
#include "codec.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Screen
{
    int width = 0, height = 0;
    std::vector<QRgb> colours;
};

void readTable(Reader &in, int flags, std::vector<QRgb> &colours)
{
    if (!(flags & 0x80))
        return;
    colours.resize(std::size_t(2) << (flags & 7));
    for (QRgb &c : colours) {
        uchar rgb[3];
        in.take(rgb, 3);
        c = qRgb(rgb[0], rgb[1], rgb[2]);
    }
}

// Codes in, pixel indices out, one image row at a time.
class Lzw
{
public:
    Lzw(Reader &in, int minimumSize, qint64 byteCap)
        : m_in(in)
        , m_minimum(minimumSize)
        , m_cap(byteCap)
    {
        for (int i = 0; i < (1 << minimumSize); ++i) {
            m_suffix[std::size_t(i)] = m_first[std::size_t(i)] = uchar(i);
            m_length[std::size_t(i)] = 1;
        }
        reset();
    }
    // Fills `row` with `count` indices; false when the codes end first.
    bool fill(uchar *row, int count)
    {
        int at = 0;
        while (at < count) {
            if (m_pending > 0) {
                const int here = std::min(m_pending, count - at);
                std::memcpy(row + at, m_string.data() + (m_stringLength - m_pending),
                            std::size_t(here));
                at += here;
                m_pending -= here;
                continue;
            }
            if (!nextString())
                return false;
        }
        return true;
    }
    // Reads the rest of the sub-blocks, which must be in the file.
    void finish()
    {
        while (!m_blocksEnded) {
            m_in.skip(m_blockLeft);
            m_blockLeft = 0;
            nextBlock();
        }
    }

private:
    void reset()
    {
        m_size = m_minimum + 1;
        m_next = (1 << m_minimum) + 2;
        m_previous = -1;
    }
    void nextBlock()
    {
        m_blockLeft = m_in.byte();
        if (m_blockLeft == 0)
            m_blocksEnded = true;
        else if ((m_cap -= m_blockLeft) < 0)
            refuse();
    }
    int code()
    {
        while (m_held < m_size) {
            while (m_blockLeft == 0) {
                if (m_blocksEnded)
                    return -1;
                nextBlock();
            }
            m_bits |= quint32(m_in.byte()) << m_held;
            --m_blockLeft;
            m_held += 8;
        }
        const int c = int(m_bits & ((1u << m_size) - 1));
        m_bits >>= m_size;
        m_held -= m_size;
        return c;
    }
    bool nextString()
    {
        const int clear = 1 << m_minimum;
        for (;;) {
            if (m_ended)
                return false;
            const int c = code();
            if (c < 0 || c == clear + 1) {
                m_ended = true;
                return false;
            }
            if (c == clear) {
                reset();
                continue;
            }
            if (c > m_next || (c == m_next && (m_previous < 0 || m_next == 4096)))
                refuse(); // a code the table does not hold yet
            if (c >= clear && c != m_next && m_previous < 0)
                refuse();
            // Past 8 bits a root's colour is none a table of 256 holds (nor the transparent
            // one); every string's pixels are roots once sent alone.
            if (c < clear && c > 255)
                refuse();
            if (m_previous >= 0 && m_next < 4096) {
                const int first
                    = c == m_next ? m_first[std::size_t(m_previous)] : m_first[std::size_t(c)];
                m_prefix[std::size_t(m_next)] = quint16(m_previous);
                m_suffix[std::size_t(m_next)] = uchar(first);
                m_first[std::size_t(m_next)] = m_first[std::size_t(m_previous)];
                m_length[std::size_t(m_next)] = quint16(m_length[std::size_t(m_previous)] + 1);
                if (++m_next == 1 << m_size && m_size < 12)
                    ++m_size;
            }
            m_previous = c;
            m_stringLength = m_length[std::size_t(c)];
            for (int i = m_stringLength - 1, k = c; i >= 0; --i) {
                m_string[std::size_t(i)] = m_suffix[std::size_t(k)];
                k = m_prefix[std::size_t(k)];
            }
            m_pending = m_stringLength;
            return true;
        }
    }

    Reader &m_in;
    int m_minimum;
    qint64 m_cap;
    int m_size = 0, m_next = 0, m_previous = -1;
    quint32 m_bits = 0;
    int m_held = 0, m_blockLeft = 0;
    bool m_blocksEnded = false, m_ended = false;
    std::array<quint16, 4096> m_prefix {}, m_length {};
    std::array<uchar, 4096> m_suffix {}, m_first {};
    std::array<uchar, 4096> m_string {};
    int m_stringLength = 0, m_pending = 0;
};

// Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1.
int interlacedRow(int i, int height)
{
    static constexpr int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = (height - starts[pass] + steps[pass] - 1) / steps[pass];
        if (i < rows)
            return starts[pass] + i * steps[pass];
        i -= std::max(rows, 0);
    }
    return -1;
}

class Gif : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        return head.startsWith("GIF87a") || head.startsWith("GIF89a");
    }
    QImage decode(Load &load) const override
    {
        Reader in(load.device);
        in.skip(6);
        Screen screen;
        screen.width = in.u16();
        screen.height = in.u16();
        const int flags = in.byte();
        in.skip(2);
        if (screen.width == 0 || screen.height == 0
            || qint64(screen.width) * screen.height > load.limits.pixels)
            refuse();
        readTable(in, flags, screen.colours);
        // A real GIF has small extensions before its image.
        qint64 extensions = 16 << 20;
        int transparent = -1;
        for (;;) {
            const int block = in.byte();
            if (block == 0x2C)
                break;
            if (block != 0x21)
                refuse(); // the trailer before any image, or not a block
            const int label = in.byte();
            if (label == 0x01)
                refuse(); // text to be drawn, which only this file's own viewer can
            for (int length = in.byte(), first = true; length != 0; length = in.byte()) {
                if ((extensions -= length) < 0)
                    refuse();
                if (label == 0xF9 && first && length >= 4) {
                    uchar control[4];
                    in.take(control, 4);
                    transparent = control[0] & 1 ? control[3] : -1;
                    in.skip(length - 4);
                } else {
                    in.skip(length);
                }
                first = false;
            }
        }
        const int x = in.u16(), y = in.u16(), width = in.u16(), height = in.u16();
        const int imageFlags = in.byte();
        std::vector<QRgb> colours = screen.colours;
        if (imageFlags & 0x80) {
            colours.clear();
            readTable(in, imageFlags, colours);
        }
        const int codeSize = in.byte();
        if (width == 0 || height == 0 || colours.empty() || codeSize < 1 || codeSize > 11)
            refuse();
        // The image counts as the file states it, whatever part of it the screen shows.
        if (qint64(width) * height > load.limits.pixels)
            refuse();
        // The image's rows on the screen, from its top; the codes past the last are never read.
        const int shown = std::clamp(screen.height - y, 0, height);
        const bool interlaced = imageFlags & 0x40;
        const qint64 pixels = qint64(width) * (interlaced ? height : shown);
        Lzw codes(in, codeSize, 3 * pixels + 4096);

        // The part of the image on its screen; the screen around it is transparent.
        const int left = std::min(x, screen.width), right = std::min(x + width, screen.width);
        if (shown == 0 || left == right)
            refuse(); // an image wholly off its screen: not one pixel from the file
        const bool covers = x == 0 && y == 0 && width >= screen.width && height >= screen.height;
        RowScaler scaler(QSize(screen.width, screen.height),
                         fittedSize(QSize(screen.width, screen.height), load.box),
                         covers && transparent < 0 ? QImage::Format_RGB32 : QImage::Format_ARGB32,
                         load.working);
        const auto clearRow = [&](int row) {
            std::memset(scaler.rowFor(row), 0, std::size_t(screen.width) * 4);
            scaler.put(row);
        };
        const auto colourRow = [&](int row, const uchar *indices) {
            auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(row));
            std::fill(out, out + left, 0);
            std::fill(out + right, out + screen.width, 0);
            for (int i = left; i < right; ++i) {
                const int index = indices[i - x];
                if (index == transparent)
                    out[i] = 0;
                else if (std::size_t(index) < colours.size())
                    out[i] = colours[std::size_t(index)];
                else
                    refuse(); // a colour the table lacks
            }
            scaler.put(row);
        };
        for (int row = 0; row < std::min(y, screen.height); ++row)
            clearRow(row);
        std::vector<uchar> indices;
        if (interlaced) { // the rows in order only once all shown have come
            if (qint64(shown) * width > load.limits.memoryBytes)
                refuse();
            indices.resize(std::size_t(shown) * std::size_t(width));
            std::vector<uchar> unshown(static_cast<std::size_t>(width));
            for (int i = 0, come = 0; come < shown; ++i) {
                const int row = interlacedRow(i, height);
                uchar *to = row < shown ? indices.data() + qint64(row) * width : unshown.data();
                if (row < 0 || !codes.fill(to, width))
                    refuse();
                come += row < shown;
            }
            for (int row = 0; row < shown; ++row)
                colourRow(y + row, indices.data() + qint64(row) * width);
        } else {
            indices.resize(std::size_t(width));
            for (int row = y; row < y + shown; ++row) {
                if (!codes.fill(indices.data(), width))
                    refuse(); // the codes ran out before the pixels
                colourRow(row, indices.data());
            }
        }
        if (shown == height)
            codes.finish();
        for (int row = std::min(y + height, screen.height); row < screen.height; ++row)
            clearRow(row);
        return scaler.finish();
    }
};

} // namespace

const Codec &gifCodec()
{
    static const Gif codec;
    return codec;
}
