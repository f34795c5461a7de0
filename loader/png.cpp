// SPDX-License-Identifier: GPL-3.0-or-later
// PNG through libpng's row interface: Qt's reader holds the whole picture at 4 bytes a pixel
// (192 MB for 48 megapixels) before it can be scaled; here rows are scaled as they come.
#include "codec.h"

#include <QIODevice>

#include <csetjmp>
#include <cstring>

#include <png.h>

namespace {

quint32 big(const QByteArray &bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | static_cast<unsigned char>(byte);
    return value;
}

// Chunks are counted and read through before libpng sees them: a photo's metadata is far
// below these caps, a file far past them is made to hurt. Those the game does not use (text,
// colour profiles) libpng then skips unread, so nothing of theirs is inflated or kept.
bool pngMetadataIsModest(QIODevice &device)
{
    constexpr qint64 MaxMetadata = 4 << 20, MaxCompressed = 256 << 10, MaxChunks = 100000;
    const qint64 start = device.pos();
    Reader in(device);
    bool modest = false;
    try {
        in.skip(8);
        qint64 metadata = 0, compressed = 0;
        for (qint64 chunks = 0; chunks < MaxChunks; ++chunks) {
            QByteArray header(8, Qt::Uninitialized);
            in.take(reinterpret_cast<uchar *>(header.data()), 8);
            const qint64 length = big(header.left(4));
            const QByteArray type = header.mid(4);
            if (type == "IEND") {
                modest = true;
                break;
            }
            if (type != "IDAT") {
                metadata += length;
                if (type == "zTXt" || type == "iTXt" || type == "iCCP")
                    compressed += length;
                if (metadata > MaxMetadata || compressed > MaxCompressed)
                    break;
            }
            in.skip(length + 4); // data and checksum
        }
    } catch (const std::exception &) {
        modest = false; // cut short
    }
    device.seek(start);
    return modest;
}

struct Source
{
    QIODevice *device = nullptr;
    // Bytes libpng may still read, once the last row is asked for; unbounded before.
    qint64 budget = -1;
};

struct Decoder
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Decoder() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void readData(png_structp png, png_bytep data, png_size_t length)
{
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    // After the last row libpng inflates whatever the image data still holds: a few bytes in a
    // whole file, gigabytes in one made to hurt.
    if (source->budget >= 0 && (source->budget -= qint64(length)) < 0)
        png_error(png, "data past the picture");
    if (source->device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "cut short");
}

[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng's warnings and the errors it calls benign: each says the file is damaged or
// contradicts itself (a checksum, a duplicate or misplaced chunk, a transparency the palette
// does not match), so each refuses the file, but image data left over after the last row,
// which no pixel comes from.
void onWarning(png_structp png, png_const_charp message)
{
    for (const char *leftOver : {"Extra compressed data", "Too much image data"})
        if (std::strstr(message, leftOver))
            return;
    png_error(png, message);
}

// Runs libpng calls whose errors jump back here; no C++ object lives across them.
template<typename Call> bool guarded(png_structp png, Call &&call)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    call();
    return true;
}

class Png : public Codec
{
public:
    bool recognises(const QByteArray &head) const override { return head.startsWith("\x89PNG"); }
    QImage decode(Load &load) const override
    {
        if (!pngMetadataIsModest(load.device))
            refuse();
        Decoder d;
        d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (!d.png || !(d.info = png_create_info_struct(d.png)))
            refuse();
        Source source {&load.device};
        png_set_read_fn(d.png, &source, readData);
        png_set_user_limits(d.png, 65535, 65535);
        png_set_chunk_malloc_max(d.png, 8 << 20);
        // Every chunk but the header, palette, transparency and image data, left unread.
        png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        png_uint_32 width = 0, height = 0;
        int depth = 0, type = 0, interlace = 0;
        bool alpha = false, palette = false;
        png_colorp colours = nullptr;
        png_bytep opacities = nullptr;
        int colourCount = 0, opacityCount = 0;
        if (!guarded(d.png, [&] {
                png_read_info(d.png, d.info);
                png_get_IHDR(d.png, d.info, &width, &height, &depth, &type, &interlace, nullptr,
                             nullptr);
                alpha
                    = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
                palette = type == PNG_COLOR_TYPE_PALETTE;
                if (palette) { // indices, a byte each, turned into colours here
                    png_get_PLTE(d.png, d.info, &colours, &colourCount);
                    png_get_tRNS(d.png, d.info, &opacities, &opacityCount, nullptr);
                    png_set_packing(d.png);
                    png_read_update_info(d.png, d.info);
                    return;
                }
                png_set_expand(d.png);
                png_set_scale_16(d.png);
                png_set_gray_to_rgb(d.png);
                if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
                    png_set_bgr(d.png); // QRgb in memory: blue, green, red, alpha
                    if (!alpha)
                        png_set_filler(d.png, 0xff, PNG_FILLER_AFTER);
                } else {
                    if (alpha)
                        png_set_swap_alpha(d.png);
                    else
                        png_set_filler(d.png, 0xff, PNG_FILLER_BEFORE);
                }
                png_read_update_info(d.png, d.info);
            }))
            refuse();
        const QSize full {int(width), int(height)};
        if (qint64(width) * height > load.limits.pixels
            || png_get_rowbytes(d.png, d.info) != width * (palette ? 1 : 4))
            refuse();
        // libpng shows a pixel past the palette as black, a colour the file never named.
        std::vector<QRgb> table;
        for (int i = 0; palette && i < colourCount; ++i)
            table.push_back(qRgba(colours[i].red, colours[i].green, colours[i].blue,
                                  i < opacityCount ? opacities[i] : 255));
        std::vector<png_byte> indices(palette ? width : 0);
        const qint64 rows = interlace != PNG_INTERLACE_ADAM7 ? qint64(height) : [&] {
            qint64 count = 0;
            for (int pass = 0; pass < 7; ++pass)
                if (PNG_PASS_COLS(width, pass) > 0)
                    count += PNG_PASS_ROWS(height, pass);
            return count;
        }();
        qint64 rowsRead = 0;
        // Reads the next row, or the next row of a pass, `count` pixels, into `out`.
        const auto read = [&](png_bytep out, png_uint_32 count) {
            if (++rowsRead == rows) // its own data, at most 8 bytes a pixel, and the end
                source.budget = 2 * (qint64(width) * 8 + 1) + (16 << 10);
            png_bytep into = palette ? indices.data() : out;
            if (!guarded(d.png, [&] { png_read_row(d.png, into, nullptr); }))
                refuse();
            auto *pixel = reinterpret_cast<QRgb *>(out);
            for (png_uint_32 x = 0; palette && x < count; ++x) {
                if (indices[x] >= table.size())
                    refuse();
                pixel[x] = table[indices[x]];
            }
        };
        RowScaler scaler(full, fittedSize(full, load.box),
                         alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
        if (interlace != PNG_INTERLACE_ADAM7) {
            for (int y = 0; y < full.height(); ++y) {
                read(scaler.rowFor(y), width);
                scaler.put(y);
            }
        } else { // seven passes, seven small pictures, each pixel once
            std::vector<png_byte> row(std::size_t(width) * 4);
            for (int pass = 0; pass < 7; ++pass) {
                const int columns = int(PNG_PASS_COLS(width, pass));
                if (columns == 0)
                    continue;
                for (png_uint_32 i = 0; i < PNG_PASS_ROWS(height, pass); ++i) {
                    read(row.data(), png_uint_32(columns));
                    scaler.putPixels(
                        int(PNG_PASS_START_ROW(pass) + (i << PNG_PASS_ROW_SHIFT(pass))),
                        int(PNG_PASS_START_COL(pass)), 1 << PNG_PASS_COL_SHIFT(pass), columns,
                        row.data());
                }
            }
        }
        // What follows the image (its end, text after it) is left unread.
        return scaler.finish();
    }
};

} // namespace

const Codec &pngCodec()
{
    static const Png codec;
    return codec;
}
