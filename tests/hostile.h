// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Picture files that cost a loader dearly or lie about themselves, made here for the loading
// tests and the benchmark; and JPEGs Qt's writer cannot make (CMYK, unsubsampled progressive).

#include "isobmff.h"
#include "pictures.h"

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace testpictures {

// Detail everywhere, as in a photo, so that a decoder does real work.
inline QImage detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 7 + y) & 255, (y * 5 + (x >> 3)) & 255, ((x ^ y) * 3) & 255);
    }
    return image;
}

struct JpegKind
{
    bool progressive = false;
    bool fullChroma = false; // no chroma subsampling
    bool cmyk = false; // inverted, as Adobe writes it
    int quality = 85;
};

// A JPEG of width x height from rows that `fillRow(row, y)` writes, `components` bytes a pixel in
// `space`; `setUp` adjusts the defaults (quality, sampling, progression) before compressing.
template<typename SetUp, typename FillRow>
QByteArray compressedJpeg(int width, int height, int components, J_COLOR_SPACE space, SetUp setUp,
                          FillRow fillRow)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    setUp(info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * std::size_t(components));
    while (info.next_scanline < info.image_height) {
        fillRow(row, int(info.next_scanline));
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

inline QByteArray jpeg(const QImage &source, JpegKind kind = {})
{
    const QImage image = source.convertToFormat(QImage::Format_RGBX8888);
    const auto setUp = [&kind](jpeg_compress_struct &info) {
        jpeg_set_quality(&info, kind.quality, TRUE);
        if (kind.fullChroma)
            info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
        if (kind.progressive)
            jpeg_simple_progression(&info);
    };
    const auto fillRow = [&](std::vector<JSAMPLE> &row, int y) {
        std::memcpy(row.data(), image.constScanLine(y), row.size());
        if (kind.cmyk) // C, M, Y inverted are R, G, B; no black
            for (std::size_t x = 3; x < row.size(); x += 4)
                row[x] = 255;
    };
    return compressedJpeg(image.width(), image.height(), 4, kind.cmyk ? JCS_CMYK : JCS_EXT_RGBX,
                          setUp, fillRow);
}

// Row y of a photo-like picture, 3 bytes a pixel: green above, red and blue below, with fine
// grain as a camera's sensor gives (`detail`, 0 to 255); `seed` runs on from row to row.
inline void photoRow(uchar *rgb, int y, int width, int height, int detail, quint32 &seed)
{
    for (int x = 0; x < width; ++x, rgb += 3) {
        const int grain = int((seed = seed * 1103515245 + 12345) >> 24) * detail / 256;
        if (y < height / 2) {
            rgb[0] = uchar(30 + grain / 2);
            rgb[1] = uchar(200 + grain / 4);
            rgb[2] = uchar(60 + (x / 64 + y / 64) % 32);
        } else {
            rgb[0] = uchar(200 - (x / 128) % 64 + grain / 4);
            rgb[1] = uchar(40 + grain / 4);
            rgb[2] = uchar(40 + (y / 128) % 128);
        }
    }
}

// A scene of many shapes, edges and grain, which encoders keep as they keep a photo's.
inline QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(90, 140, 220));
    sky.setColorAt(1, QColor(60, 120, 50));
    p.fillRect(image.rect(), sky);
    quint32 seed = 3;
    const auto next = [&](int range) {
        return int((seed = seed * 1103515245 + 12345) >> 8) % range;
    };
    for (int i = 0; i < 4000; ++i) {
        const int size = std::max(4, width / (8 + next(200)));
        p.setPen(QPen(QColor(next(256), next(256), next(256)), 1 + next(4)));
        p.setBrush(QColor(next(256), next(256), next(256), 60 + next(196)));
        p.drawEllipse(next(width), next(height), size, size * (1 + next(3)) / 2);
    }
    p.end();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = next(17) - 8;
            const QRgb c = line[x];
            line[x]
                = qRgb(std::clamp(qRed(c) + grain, 0, 255), std::clamp(qGreen(c) + grain, 0, 255),
                       std::clamp(qBlue(c) + grain, 0, 255));
        }
    }
    return image;
}

// A baseline JPEG of a photo's size made row by row, never held whole (see photoRow).
inline QByteArray photoJpeg(int width, int height, int detail = 16, int quality = 90)
{
    quint32 seed = 1;
    return compressedJpeg(
        width, height, 3, JCS_RGB,
        [quality](jpeg_compress_struct &info) { jpeg_set_quality(&info, quality, TRUE); },
        [&](std::vector<JSAMPLE> &row, int y) {
            photoRow(row.data(), y, width, height, detail, seed);
        });
}

// A HEIF or AVIF file whose image spatial extents box (the size its container states) claims
// width x height.
inline QByteArray claimingExtents(QByteArray file, quint32 width, quint32 height)
{
    const qsizetype ispe = file.indexOf("ispe");
    for (int i = 0; i < 4 && ispe > 0; ++i) {
        file[ispe + 8 + i] = char(width >> (24 - 8 * i));
        file[ispe + 12 + i] = char(height >> (24 - 8 * i));
    }
    return file;
}

// A lossless WebP whose header claims width x height.
inline QByteArray webpClaiming(QByteArray webp, quint32 width, quint32 height)
{
    if (webp.mid(12, 4) != "VP8L")
        return {};
    const quint32 bits = quint32(uchar(webp[21])) | quint32(uchar(webp[22])) << 8
        | quint32(uchar(webp[23])) << 16 | quint32(uchar(webp[24])) << 24;
    const quint32 claimed = (bits & 0xF0000000) | (width - 1) | (height - 1) << 14;
    for (int i = 0; i < 4; ++i)
        webp[21 + i] = char(claimed >> (8 * i));
    return webp;
}

// A PNG of the picture in seven interlaced passes, which Qt's writer cannot make.
inline QByteArray interlacedPng(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<QByteArray *>(png_get_io_ptr(p))
                ->append(reinterpret_cast<const char *>(data), qsizetype(size));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (int y = 0; y < image.height(); ++y)
        rows.push_back(const_cast<png_bytep>(image.constScanLine(y)));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// Where each marker segment of a JPEG begins, up to and including its first scan's header.
inline QList<qsizetype> segments(const QByteArray &jpeg)
{
    QList<qsizetype> at;
    for (qsizetype i = 2; i + 4 <= jpeg.size();) {
        at << i;
        const auto marker = uchar(jpeg[i + 1]);
        i += 2 + (uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]));
        if (marker == 0xDA)
            break;
    }
    return at;
}

inline qsizetype segmentOf(const QByteArray &jpeg, uchar marker)
{
    for (qsizetype at : segments(jpeg))
        if (uchar(jpeg[at + 1]) == marker)
            return at;
    return -1;
}

// The header of a progressive JPEG claiming width x height, its first scan begun, no more.
inline QByteArray progressiveClaiming(int width, int height)
{
    QByteArray bytes = jpeg(scene(16, 16), {.progressive = true, .quality = 50});
    claimSize(bytes, segmentOf(bytes, 0xC2), width, height);
    const qsizetype sos = segments(bytes).constLast();
    return bytes.left(sos + 2 + (uchar(bytes[sos + 2]) << 8 | uchar(bytes[sos + 3])) + 8);
}

// A progressive JPEG whose last scan (header and data) comes `times` times.
inline QByteArray repeatedScan(const QImage &image, int times)
{
    const QByteArray bytes = jpeg(image, {.progressive = true});
    const qsizetype last = bytes.lastIndexOf(QByteArray("\xff\xda", 2));
    const QByteArray scan = bytes.mid(last, bytes.size() - 2 - last);
    return bytes.left(last) + scan.repeated(times) + QByteArray("\xff\xd9", 2);
}

// A legal JPEG with `count` fill bytes before its frame header.
inline QByteArray fillBeforeFrame(const QImage &image, qsizetype count)
{
    QByteArray bytes = jpeg(image);
    return bytes.insert(segmentOf(bytes, 0xC0), QByteArray(count, '\xff'));
}

// A legal JPEG with `count` empty metadata segments (APP1 to APP13, in turn) after its start.
inline QByteArray emptySegments(const QImage &image, int count)
{
    const QByteArray bytes = jpeg(image);
    QByteArray empty;
    empty.reserve(qsizetype(count) * 4);
    for (int i = 0; i < count; ++i)
        empty.append('\xff').append(char(0xE1 + i % 13)).append('\0').append('\2');
    return bytes.left(2) + empty + bytes.mid(2);
}

// A PNG carrying `count` letters of text that does not compress, in a comment.
inline QByteArray pngWithText(QImage image, qsizetype count)
{
    QString text(count, QLatin1Char('a'));
    quint32 seed = 1;
    for (QChar &c : text)
        c = QLatin1Char(char('a' + (seed = seed * 1103515245 + 12345) % 26));
    image.setText(QStringLiteral("Comment"), text);
    return encoded(image, "PNG");
}

// An icon file whose one icon is the given PNG.
inline QByteArray icoHolding(const QByteArray &png)
{
    QByteArray ico("\0\0\1\0\1\0", 6);
    ico.append("\0\0\0\0\1\0\x20\0", 8); // 256 x 256, 32 bits
    const quint32 size = quint32(png.size()), offset = 22;
    ico.append(reinterpret_cast<const char *>(&size), 4)
        .append(reinterpret_cast<const char *>(&offset), 4);
    return ico + png;
}

// A 4 x 4 bitmap icon of 1, 2, 4 or 8 bits a pixel: its colour table, its rows as the file
// holds them (bottom first), and a mask that leaves every pixel opaque.
inline QByteArray bitmapIcon(int bits, const QList<QRgb> &table, const QByteArray &rows)
{
    QByteArray ico("\0\0\1\0\1\0\4\4\0\0\1\0", 12);
    ico.append(char(bits)).append('\0');
    QByteArray bitmap(40, '\0');
    const auto put = [&](int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            bitmap[at + i] = char(value >> (8 * i));
    };
    put(0, 40);
    put(4, 4);
    put(8, 8); // the colours and the mask
    put(12, 1 | bits << 16);
    put(32, quint32(table.size()));
    for (const QRgb c : table)
        bitmap.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    bitmap.append(rows).append(QByteArray(16, '\0'));
    const quint32 size = quint32(bitmap.size()), offset = 22;
    ico.append(reinterpret_cast<const char *>(&size), 4)
        .append(reinterpret_cast<const char *>(&offset), 4);
    return ico + bitmap;
}

inline QByteArray topDownBmp(const QImage &image)
{
    // Rows top first, as the negative height says.
    QByteArray bmp = encoded(flippedImage(image, Qt::Vertical), "BMP");
    qint32 height = 0;
    std::memcpy(&height, bmp.constData() + 22, 4);
    height = -height;
    std::memcpy(bmp.data() + 22, &height, 4);
    return bmp;
}

inline QByteArray bmpDataPastEnd(const QImage &image)
{
    QByteArray bmp = encoded(image, "BMP");
    const quint32 offset = quint32(bmp.size()) + 4096;
    std::memcpy(bmp.data() + 10, &offset, 4);
    return bmp;
}

// A 64 x 64 bitmap of 8-bit (or 4-bit) run-length codes, its palette from `indexed`'s.
inline QByteArray rleBmp(const QImage &indexed, const QByteArray &codes, bool four = false)
{
    QByteArray bmp = encoded(indexed, "BMP");
    const quint16 bits = four ? 4 : 8; // Qt writes few colours in 4 bits
    const quint32 rle = four ? 2 : 1;
    std::memcpy(bmp.data() + 28, &bits, 2);
    std::memcpy(bmp.data() + 30, &rle, 4);
    return bmp.left(quint8(bmp[10]) | quint8(bmp[11]) << 8) + codes;
}

// Run-length codes for an image whose rows are each of one colour: a run per row, bottom first.
inline QByteArray rowRuns(const QImage &indexed, bool four = false)
{
    QByteArray codes;
    for (int y = indexed.height() - 1; y >= 0; --y) {
        const int index = indexed.pixelIndex(0, y);
        codes.append(char(indexed.width()))
            .append(char(four ? index << 4 | index : index))
            .append('\0')
            .append('\0');
    }
    return codes.append("\0\1", 2);
}

// Rows of a few colours, for the run-length files.
inline QImage stripes()
{
    QImage image(64, 64, QImage::Format_Indexed8);
    image.setColorTable({qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200), qRgb(9, 9, 9)});
    for (int y = 0; y < 64; ++y)
        std::memset(image.scanLine(y), y / 8 % 4, 64);
    return image;
}

// A GIF of an indexed picture, its codes uncompressed: 9 bits a pixel, in several sub-blocks;
// interlaced, its rows in four passes.
inline QByteArray uncompressedGif(const QImage &image, bool interlaced = false)
{
    const int width = image.width(), height = image.height();
    QByteArray b("GIF89a");
    b.append(char(width & 0xff))
        .append(char(width >> 8))
        .append(char(height & 0xff))
        .append(char(height >> 8));
    b.append("\xf7\x00\x00", 3); // a global table of 256 colours
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < image.colorCount() ? image.color(i) : 0;
        b.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    b.append("\x2c\0\0\0\0", 5).append(b.mid(6, 4));
    b.append(interlaced ? '\x40' : '\0').append('\x08'); // no local table; 8-bit codes
    // A clear code before every 254 pixels keeps codes 9 bits wide.
    QByteArray codes;
    codes.reserve(qsizetype(width) * height * 9 / 8 + 16);
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            codes.append(char(bits & 0xff));
    };
    QList<int> rows;
    for (const auto &[start, step] : interlaced
             ? QList<std::pair<int, int>> {{0, 8}, {4, 8}, {2, 4}, {1, 2}}
             : QList<std::pair<int, int>> {{0, 1}})
        for (int y = start; y < height; y += step)
            rows << y;
    qint64 i = 0;
    for (const int y : rows) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < width; ++x, ++i) {
            if (i % 254 == 0)
                put(256);
            put(line[x]);
        }
    }
    put(257);
    if (count > 0)
        codes.append(char(bits & 0xff));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const qsizetype size = std::min<qsizetype>(255, codes.size() - at);
        b.append(char(size)).append(codes.constData() + at, size);
    }
    return b.append('\0').append(';');
}

// A GIF of many colours whose image data needs several sub-blocks.
inline QByteArray largeGif()
{
    return uncompressedGif(
        detailed(160, 120).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither));
}

// A GIF whose one image, of one colour, lies at the top left of its screen, the sizes given;
// its codes as few as LZW allows (strings of 1, 2, 3... pixels, then the longest again and again).
inline QByteArray oneColourGif(QSize screen, QSize image, bool interlaced = false)
{
    QByteArray b("GIF89a");
    const auto u16 = [&](int value) {
        b.append(char(value & 0xff)).append(char(value >> 8));
    };
    u16(screen.width());
    u16(screen.height());
    b.append("\x80\0\0\x20\x40\x60\xff\xff\xff", 9); // 2 colours
    b.append(',');
    u16(0);
    u16(0);
    u16(image.width());
    u16(image.height());
    b.append(interlaced ? '\x40' : '\0').append('\x02'); // codes of 3 bits and up
    QByteArray codes;
    quint32 bits = 0;
    int held = 0, size = 3, next = 6;
    bool previous = false;
    const auto put = [&](int code) { // as the decoder's table grows, so do the codes
        bits |= quint32(code) << held;
        for (held += size; held >= 8; held -= 8, bits >>= 8)
            codes.append(char(bits & 0xff));
        if (previous && next < 4096 && ++next == 1 << size && size < 12)
            ++size;
        previous = true;
    };
    put(4); // clear
    previous = false;
    put(0);
    qint64 left = qint64(image.width()) * image.height() - 1;
    for (int length = 2; left > 0; left -= length) {
        const int code = std::min(next, 4095);
        length = code - 4;
        put(code);
    }
    put(5);
    if (held > 0)
        codes.append(char(bits & 0xff));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const qsizetype size = std::min<qsizetype>(255, codes.size() - at);
        b.append(char(size)).append(codes.constData() + at, size);
    }
    return b.append('\0').append(';');
}

// A PNG's chunk, its length and checksum around it.
inline QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    const quint32 length = quint32(data.size());
    for (int i = 0; i < 4; ++i)
        chunk[i] = char(length >> (24 - 8 * i));
    chunk.append(type, 4).append(data);
    const uLong crc
        = crc32(0, reinterpret_cast<const Bytef *>(chunk.constData() + 4), uInt(chunk.size() - 4));
    for (int i = 0; i < 4; ++i)
        chunk.append(char(crc >> (24 - 8 * i)));
    return chunk;
}

inline QByteArray zlibbed(const QByteArray &data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &size,
              reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()), 9);
    return out.left(qsizetype(size));
}

// A 1 x 1 grey PNG whose image data inflates to `extra` zero bytes past its one row.
inline QByteArray pngInflatingPastItsRow(qint64 extra)
{
    z_stream z {};
    deflateInit(&z, 9);
    QByteArray stream;
    const auto deflated = [&](const QByteArray &in, int flush) {
        QByteArray out(qsizetype(deflateBound(&z, uLong(in.size())) + 64), '\0');
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        return out.left(out.size() - qsizetype(z.avail_out));
    };
    const QByteArray row("\0\x80", 2), zeros(1 << 20, '\0');
    stream = deflated(row, Z_FULL_FLUSH);
    // A block that stands alone, made once and repeated: each makes a megabyte of zeros.
    const QByteArray block = deflated(zeros, Z_FULL_FLUSH);
    uLong adler = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef *>(row.data()), 2);
    const uLong zeroAdler
        = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef *>(zeros.data()), 1 << 20);
    for (qint64 i = 0; i < extra >> 20; ++i) {
        stream += block;
        adler = adler32_combine(adler, zeroAdler, 1 << 20);
    }
    stream += deflated(QByteArray(), Z_FINISH).chopped(4);
    deflateEnd(&z);
    for (int i = 0; i < 4; ++i)
        stream.append(char(adler >> (24 - 8 * i)));
    return QByteArray("\x89PNG\r\n\x1a\n", 8)
        + pngChunk("IHDR", QByteArray("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13))
        + pngChunk("IDAT", stream) + pngChunk("IEND", {});
}

// A PNG with `count` compressed comments, each `size` bytes once inflated, before its image.
inline QByteArray pngWithCompressedText(const QImage &image, int count, qsizetype size)
{
    const QByteArray png = encoded(image, "PNG");
    const QByteArray text
        = pngChunk("zTXt", QByteArray("Comment\0\0", 9) + zlibbed(QByteArray(size, 'a')));
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return png.left(idat) + text.repeated(count) + png.mid(idat);
}

// A 1 x 1 GIF of 2 colours whose one pixel is colour 257, in codes of 10 bits: clear (512), 257,
// end (513).
inline QByteArray gifOfColour257()
{
    QByteArray wide = gif();
    wide[6] = wide[8] = wide[32] = wide[34] = '\1';
    const qsizetype codes = wide.indexOf(QByteArray("\x02\x03\x44", 3));
    return wide.left(codes) + QByteArray("\x09\x04\x00\x06\x14\x20\x00;", 8);
}

// A 4 x 4 PNG of a 3-colour palette with one pixel of colour 3, or with transparency for 4.
inline QByteArray pngPastItsPalette(bool opacities)
{
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)});
    indexed.fill(0);
    if (!opacities)
        indexed.scanLine(2)[2] = 3; // past what setPixel allows
    const QByteArray png = encoded(indexed, "PNG");
    if (!opacities)
        return png;
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return png.left(idat) + pngChunk("tRNS", "\x10\x20\x30\x40") + png.mid(idat);
}

// An icon whose directory says 16 x 16, its bitmap 32 x 32: read at the first, checked at the
// second.
inline QByteArray icoSmallerThanItsBitmap()
{
    QByteArray ico = encoded(scene(32, 32), "ICO");
    ico[6] = ico[7] = 16;
    return ico;
}

// An 8-bit icon of 2 colours with a pixel of colour 5.
inline QByteArray icoOfColour5()
{
    return bitmapIcon(8, {qRgb(200, 0, 0), qRgb(0, 0, 200)}, QByteArray(15, 1) + '\5');
}

// HEIF files written box by box: items with their properties (whole boxes), references and
// data, taken from what Debian's encoders write and put together as no encoder would.
inline QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char(value >> (8 * i)));
    return bytes;
}
inline QByteArray box(const char *type, const QByteArray &body)
{
    return bigEndian(quint64(body.size()) + 8, 4) + type + body;
}
inline QByteArray fullBox(const char *type, int version, const QByteArray &body)
{
    return box(type, bigEndian(quint64(version) << 24, 4) + body);
}
inline QByteArray ispe(quint32 width, quint32 height)
{
    return fullBox("ispe", 0, bigEndian(width, 4) + bigEndian(height, 4));
}

struct HeifItem
{
    quint32 id = 0;
    QByteArray type;
    QByteArray data;
    QList<QByteArray> properties; // whole boxes
    QList<std::pair<QByteArray, QList<quint32>>> references; // type, to items
    bool hidden = false;
};

inline QByteArray heifFile(quint32 primary, const QList<HeifItem> &items,
                           const char *brand = "heic")
{
    QList<QByteArray> properties;
    QByteArray infos, references, associations, mdat;
    for (const HeifItem &item : items) {
        infos += box("infe",
                     bigEndian(quint64(2) << 24 | (item.hidden ? 1 : 0), 4) + bigEndian(item.id, 2)
                         + bigEndian(0, 2) + item.type + '\0');
        for (const auto &[type, to] : item.references) {
            QByteArray body = bigEndian(item.id, 2) + bigEndian(quint64(to.size()), 2);
            for (const quint32 id : to)
                body += bigEndian(id, 2);
            references += box(type.constData(), body);
        }
        QByteArray indices;
        for (const QByteArray &property : item.properties) {
            if (!properties.contains(property))
                properties << property;
            indices += char(0x80 | (properties.indexOf(property) + 1));
        }
        associations += bigEndian(item.id, 2) + char(indices.size()) + indices;
    }
    const QByteArray head = box("ftyp", QByteArray(brand) + bigEndian(0, 4) + "mif1heic");
    // The locations point into the media data after the metadata, whose size they are part of.
    const auto metaWith = [&](quint64 dataStart) {
        QByteArray locations = bigEndian(0x4400, 2) + bigEndian(quint64(items.size()), 2);
        quint64 at = dataStart;
        for (const HeifItem &item : items) {
            locations += bigEndian(item.id, 2) + bigEndian(0, 2) + bigEndian(1, 2)
                + bigEndian(at, 4) + bigEndian(quint64(item.data.size()), 4);
            at += quint64(item.data.size());
        }
        return fullBox(
            "meta", 0,
            fullBox("hdlr", 0, bigEndian(0, 4) + "pict" + QByteArray(13, '\0'))
                + fullBox("pitm", 0, bigEndian(primary, 2))
                + fullBox("iinf", 0, bigEndian(quint64(items.size()), 2) + infos)
                + (references.isEmpty() ? QByteArray() : fullBox("iref", 0, references))
                + box("iprp",
                      box("ipco", properties.join())
                          + fullBox("ipma", 0, bigEndian(quint64(items.size()), 4) + associations))
                + fullBox("iloc", 0, locations));
    };
    const qsizetype metaSize = metaWith(0).size();
    for (const HeifItem &item : items)
        mdat += item.data;
    return head + metaWith(quint64(head.size() + metaSize + 8)) + box("mdat", mdat);
}

// An encoder's picture as items of a file to be put together: its primary item first, then the
// items it is made of (heif-enc codes a picture whose sides are not whole coding blocks as one
// tile of a grid that crops it), numbered from `first`, their properties as whole boxes.
inline QList<HeifItem> heifImage(quint32 first, const QByteArray &file)
{
    if (file.isEmpty())
        return {};
    const isobmff::Meta meta = isobmff::readMeta(file);
    QList<quint32> order {meta.primary};
    for (const quint32 id : meta.item(meta.primary).derivedFrom)
        if (!order.contains(id))
            order << id;
    QList<HeifItem> items;
    for (const quint32 id : order) {
        const isobmff::Item &item = meta.item(id);
        HeifItem part {first + quint32(order.indexOf(id)),
                       item.type,
                       isobmff::itemData(file, meta, item, file.size()),
                       {},
                       {},
                       id != meta.primary};
        for (const int index : item.properties) {
            const isobmff::Box &property = meta.properties[std::size_t(index)];
            part.properties << box(property.type.constData(), property.body);
        }
        QList<quint32> inputs;
        for (const quint32 input : item.derivedFrom)
            inputs << first + quint32(order.indexOf(input));
        if (!inputs.isEmpty())
            part.references << std::pair {QByteArray("dimg"), inputs};
        items << part;
    }
    return items;
}

// The one coded frame of an encoder's picture, as an item numbered `id`.
inline HeifItem heifCoded(quint32 id, const QByteArray &file)
{
    const QList<HeifItem> items = heifImage(id, file);
    if (items.isEmpty())
        return {};
    HeifItem coded = items.last();
    coded.id = id;
    coded.hidden = false;
    return coded;
}

// The property boxes of an item, those of one type replaced (or added at the end).
inline QList<QByteArray> withProperty(QList<QByteArray> properties, const QByteArray &property)
{
    for (QByteArray &p : properties) {
        if (p.mid(4, 4) == property.mid(4, 4)) {
            p = property;
            return properties;
        }
    }
    return properties << property;
}

// A grid or an overlay: the size its data states, and for an overlay where each layer lies.
inline QByteArray gridData(int rows, int columns, QSize canvas)
{
    return QByteArray(2, '\0') + char(rows - 1) + char(columns - 1) + bigEndian(canvas.width(), 2)
        + bigEndian(canvas.height(), 2);
}
inline QByteArray overlayData(QSize canvas, const QList<QPoint> &layers)
{
    QByteArray data = QByteArray(2, '\0') + QByteArray(8, '\xff') + bigEndian(canvas.width(), 2)
        + bigEndian(canvas.height(), 2);
    for (const QPoint at : layers)
        data += bigEndian(quint16(at.x()), 2) + bigEndian(quint16(at.y()), 2);
    return data;
}

// rows x columns places, the 8-bit tiles given one after another, again and again, on a canvas
// of the size the grid's data states; its box states `stated`.
inline QByteArray heifGrid(QList<HeifItem> tiles, int rows, int columns, QSize canvas, QSize stated)
{
    QList<quint32> places;
    for (int i = 0; i < rows * columns; ++i)
        places << tiles[i % tiles.size()].id;
    const HeifItem grid {1,
                         "grid",
                         gridData(rows, columns, canvas),
                         {ispe(quint32(stated.width()), quint32(stated.height())),
                          fullBox("pixi", 0, QByteArray("\3\10\10\10", 4))},
                         {{"dimg", places}}};
    for (HeifItem &tile : tiles)
        tile.hidden = true;
    return heifFile(1, QList<HeifItem> {grid} + tiles);
}
inline QByteArray heifGrid(const HeifItem &tile, int rows, int columns, QSize canvas, QSize stated)
{
    return heifGrid(QList<HeifItem> {tile}, rows, columns, canvas, stated);
}

// The NAL units of an HEVC decoder configuration, each after its length in 4 bytes, as an item's
// data carries them.
inline QByteArray hevcParameterSets(const HeifItem &item)
{
    QByteArray units;
    for (const QByteArray &property : item.properties) {
        if (property.mid(4, 4) != "hvcC")
            continue;
        const QByteArray body = property.mid(8);
        isobmff::Reader in(body);
        in.skip(22);
        for (int arrays = int(in.u8()); arrays > 0; --arrays) {
            in.skip(1);
            for (int count = int(in.u16()); count > 0; --count) {
                const QByteArray nal = in.bytes(in.u16());
                units += bigEndian(quint64(nal.size()), 4) + nal;
            }
        }
    }
    return units;
}

inline QImage flatPicture(QSize size)
{
    QImage flat(size, QImage::Format_RGB32);
    flat.fill(qRgb(90, 140, 220));
    return flat;
}

// The structures that once made libheif build what no box counted: a grid or an overlay whose
// canvas is what their data states, an AV1 picture behind an HEVC thumbnail, HEVC parameter
// sets carried in the coded data. A box states 64 x 64 for each; a flat picture of `coded` is
// coded behind it.
inline QByteArray heifGridOfCanvas(QSize canvas)
{
    return heifGrid(heifCoded(2, madeBy("heif-enc", {"-q", "10"}, stripes(), ".heic")), 1, 1,
                    canvas, QSize(64, 64));
}
inline QByteArray heifOverlayOfCanvas(QSize canvas)
{
    HeifItem layer = heifCoded(2, madeBy("heif-enc", {"-q", "10"}, stripes(), ".heic"));
    layer.hidden = true;
    return heifFile(
        1,
        {{1, "iovl", overlayData(canvas, {QPoint(0, 0)}), {ispe(64, 64)}, {{"dimg", {2}}}}, layer});
}
inline QByteArray heifAv1BehindThumbnail(QSize coded)
{
    HeifItem av1 = heifCoded(1, madeBy("avifenc", {"-s", "10"}, flatPicture(coded), ".avif"));
    av1.properties = withProperty(av1.properties, ispe(64, 64));
    HeifItem thumbnail = heifCoded(2, madeBy("heif-enc", {"-q", "10"}, stripes(), ".heic"));
    thumbnail.references = {{"thmb", {1}}};
    return heifFile(1, {av1, thumbnail}, "mif1");
}
inline QByteArray heifParameterSetsInData(QSize coded)
{
    const QStringList fast {"-q", "10", "-p", "preset=ultrafast"};
    const HeifItem large = heifCoded(1, madeBy("heif-enc", fast, flatPicture(coded), ".heic"));
    HeifItem small = heifCoded(1, madeBy("heif-enc", fast, flatPicture(QSize(64, 64)), ".heic"));
    small.data = hevcParameterSets(large) + large.data;
    return heifFile(1, {small});
}

// A small picture that the file makes its primary image, and declares the thumbnail of a large
// one.
inline QByteArray heifThumbnailAsPrimary(const QByteArray &shown, const QByteArray &large)
{
    QList<HeifItem> items = heifImage(1, shown);
    const QList<HeifItem> master = heifImage(quint32(items.size()) + 1, large);
    if (items.isEmpty() || master.isEmpty())
        return {};
    items.first().references << std::pair {QByteArray("thmb"), QList<quint32> {master.first().id}};
    return heifFile(1, items + master);
}

// An encoder's picture with a property added to its primary item's (a turn, a mirror).
inline QByteArray heifWith(const QByteArray &file, const QByteArray &property)
{
    QList<HeifItem> items = heifImage(1, file);
    if (items.isEmpty())
        return {};
    items.first().properties = withProperty(items.first().properties, property);
    return heifFile(1, items);
}

// WebP written chunk by chunk.
inline QByteArray riffChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk = QByteArray(type, 4);
    for (int i = 0; i < 4; ++i)
        chunk += char(quint32(data.size()) >> (8 * i));
    return chunk + data + (data.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}
inline QByteArray riffWebp(const QByteArray &chunks)
{
    QByteArray riff("RIFF");
    for (int i = 0; i < 4; ++i)
        riff += char(quint32(chunks.size() + 4) >> (8 * i));
    return riff + "WEBP" + chunks;
}

// An animation of `frames` frames: an encoder's first frame, then its second again and again.
inline QByteArray webpAnimationOfFrames(qsizetype frames)
{
    const QByteArray two = madeBy("gif2webp", {}, gif(2), ".webp", ".gif");
    const qsizetype first = two.indexOf("ANMF"), second = two.indexOf("ANMF", first + 8);
    if (first < 0 || second < 0)
        return {};
    const qsizetype end = second + 8
        + qsizetype(quint32(uchar(two[second + 4])) | quint32(uchar(two[second + 5])) << 8
                    | quint32(uchar(two[second + 6])) << 16
                    | quint32(uchar(two[second + 7])) << 24);
    return riffWebp(two.mid(12, second - 12) + two.mid(second, end - second).repeated(frames - 1)
                    + two.mid(end));
}

// Bits least significant first, as a lossless WebP stream packs them.
class LsbWriter
{
public:
    void bits(quint32 value, int count)
    {
        for (int i = 0; i < count; ++i, ++m_at) {
            if (m_at % 8 == 0)
                m_bytes.append('\0');
            m_bytes.back() = char(uchar(m_bytes.back()) | (value >> i & 1) << (m_at % 8));
        }
    }
    // A prefix code of one symbol, which takes no bits to read.
    void oneSymbol(int symbol)
    {
        bits(1, 1); // written out
        bits(0, 1); // one symbol
        bits(symbol < 2 ? 0 : 1, 1);
        bits(quint32(symbol), symbol < 2 ? 1 : 8);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

inline QByteArray vp8x(QSize canvas, quint32 flags)
{
    QByteArray data(1, char(flags));
    data += QByteArray(3, '\0');
    for (const int side : {canvas.width() - 1, canvas.height() - 1})
        for (int i = 0; i < 3; ++i)
            data += char(side >> (8 * i));
    return riffChunk("VP8X", data);
}

// A lossy encoder's picture with an alpha plane of its own: a lossless stream of no transform,
// whose five codes of one symbol each make every pixel transparent in no bits at all.
inline QByteArray webpWithPlainAlpha(const QByteArray &lossy)
{
    const qsizetype vp8 = lossy.indexOf("VP8 ");
    if (vp8 < 0)
        return {};
    const QSize size {int(uchar(lossy[vp8 + 14]) | (uchar(lossy[vp8 + 15]) & 0x3f) << 8),
                      int(uchar(lossy[vp8 + 16]) | (uchar(lossy[vp8 + 17]) & 0x3f) << 8)};
    LsbWriter w;
    w.bits(0, 3); // no transform, no colour cache, no map of groups
    for (int c = 0; c < 5; ++c)
        w.oneSymbol(0);
    return riffWebp(vp8x(size, 0x10) + riffChunk("ALPH", QByteArray(1, '\1') + w.bytes())
                    + lossy.mid(vp8));
}

// A valid lossless picture of `size`, black and transparent, whose map of Huffman groups names
// `groups` of them: each group's five codes take four bits, and the picture none. Metadata
// makes the file `fileBytes` long where that is more.
inline QByteArray losslessWebpOfGroups(QSize size, int groups, qsizetype fileBytes = 0)
{
    LsbWriter w;
    w.bits(0x2f, 8);
    w.bits(quint32(size.width() - 1), 14);
    w.bits(quint32(size.height() - 1), 14);
    w.bits(1, 1); // alpha
    w.bits(0, 3);
    w.bits(0, 1); // no transform
    w.bits(0, 1); // no colour cache
    w.bits(1, 1); // a map of groups, a pixel of it for 4 x 4 of the picture
    w.bits(0, 3);
    const int mapWidth = (size.width() + 3) / 4, mapHeight = (size.height() + 3) / 4;
    // The map: group i at its i-th pixel (green its low byte, red its high), the last group
    // again to its end. Green: literals 0-254 in 8 bits, 255 and the longest copy in 9.
    w.bits(0, 1); // no colour cache
    const auto lengths = [&](const std::vector<int> &codeLengths) {
        // Code lengths through a code of 16 symbols of 4 bits each: 0-15 as themselves.
        w.bits(0, 1);
        w.bits(19 - 4, 4);
        const int order[19] = {17, 18, 0, 1, 2, 3, 4, 5, 16, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        for (const int symbol : order)
            w.bits(symbol < 16 ? 4 : 0, 3);
        w.bits(0, 1); // every symbol's length follows
        for (const int length : codeLengths) { // 4-bit canonical codes: the lengths in order
            int bits = 0;
            for (int b = 0; b < 4; ++b)
                bits |= (length >> b & 1) << (3 - b);
            w.bits(quint32(bits), 4);
        }
    };
    std::vector<int> green(256 + 24, 0);
    std::fill(green.begin(), green.begin() + 255, 8);
    green[255] = 9;
    green[256 + 23] = 9;
    lengths(green);
    lengths(std::vector<int>(256, 8)); // red
    w.oneSymbol(0); // blue
    w.oneSymbol(0); // alpha
    w.oneSymbol(1); // distance: the pixel before
    const auto reversed = [](int code, int length) {
        int bits = 0;
        for (int b = 0; b < length; ++b)
            bits |= (code >> b & 1) << (length - 1 - b);
        return quint32(bits);
    };
    // Canonical codes: green 0-254 are themselves, 255 is 510 and the copy 511, in 9 bits; red
    // 0-255 themselves.
    const auto pixelOfGroup = [&](int group) {
        const int green = group & 255;
        w.bits(green < 255 ? reversed(green, 8) : reversed(510, 9), green < 255 ? 8 : 9);
        w.bits(reversed(group >> 8, 8), 8);
    };
    const qint64 pixels = qint64(mapWidth) * mapHeight;
    for (int i = 0; i < groups && i < pixels; ++i)
        pixelOfGroup(i);
    // The rest copies the pixel before, 3073 to 4096 at a time (the longest copy's code and
    // 10 bits more); what is left then, one pixel at a time.
    qint64 left = pixels - std::min<qint64>(groups, pixels);
    for (; left >= 3073; left -= std::min<qint64>(left, 4096)) {
        w.bits(reversed(511, 9), 9);
        w.bits(quint32(std::min<qint64>(left, 4096) - 3073), 10);
    }
    for (; left > 0; --left)
        pixelOfGroup(groups - 1);
    for (int g = 0; g < groups; ++g) // each group: five codes of one symbol
        for (int c = 0; c < 5; ++c)
            w.oneSymbol(0);
    const QByteArray image = riffChunk("VP8L", w.bytes());
    if (fileBytes <= image.size() + 12)
        return riffWebp(image);
    const qsizetype padding = std::max<qsizetype>(0, fileBytes - image.size() - 12 - 18 - 8);
    return riffWebp(vp8x(size, 0x04 | 0x10) + image + riffChunk("XMP ", QByteArray(padding, ' ')));
}

} // namespace testpictures
