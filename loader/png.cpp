// SPDX-License-Identifier: GPL-3.0-or-later
// PNG through libpng's row interface: Qt's reader holds the whole picture at 4 bytes a pixel
// (192 MB for 48 megapixels) before it can be scaled; here rows are scaled as they come.
#include "codec.h"

#include <QIODevice>

#include <csetjmp>

#include <png.h>

namespace {

quint32 big(const QByteArray &bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | static_cast<unsigned char>(byte);
    return value;
}

// Keeping every text chunk, inflating compressed ones, costs seconds and gigabytes for files
// made to hurt (250 MB of text). A photo's metadata is far below these caps.
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

struct Decoder
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Decoder() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void readData(png_structp png, png_bytep data, png_size_t length)
{
    auto *device = static_cast<QIODevice *>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "cut short");
}

[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) { }

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
        png_set_read_fn(d.png, &load.device, readData);
        png_set_user_limits(d.png, 65535, 65535);
        png_set_chunk_malloc_max(d.png, 8 << 20);
        png_uint_32 width = 0, height = 0;
        int depth = 0, type = 0, interlace = 0;
        bool alpha = false;
        if (!guarded(d.png, [&] {
                png_read_info(d.png, d.info);
                png_get_IHDR(d.png, d.info, &width, &height, &depth, &type, &interlace, nullptr,
                             nullptr);
                alpha
                    = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
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
            || png_get_rowbytes(d.png, d.info) != width * 4)
            refuse();
        RowScaler scaler(full, fittedSize(full, load.box),
                         alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
        if (interlace != PNG_INTERLACE_ADAM7) {
            for (int y = 0; y < full.height(); ++y) {
                png_bytep row = scaler.rowFor(y);
                if (!guarded(d.png, [&] { png_read_row(d.png, row, nullptr); }))
                    refuse();
                scaler.put(y);
            }
        } else { // seven passes, seven small pictures, each pixel once
            std::vector<png_byte> row(std::size_t(width) * 4);
            for (int pass = 0; pass < 7; ++pass) {
                const int columns = int(PNG_PASS_COLS(width, pass));
                if (columns == 0)
                    continue;
                for (png_uint_32 i = 0; i < PNG_PASS_ROWS(height, pass); ++i) {
                    if (!guarded(d.png, [&] { png_read_row(d.png, row.data(), nullptr); }))
                        refuse();
                    scaler.putPixels(
                        int(PNG_PASS_START_ROW(pass) + (i << PNG_PASS_ROW_SHIFT(pass))),
                        int(PNG_PASS_START_COL(pass)), 1 << PNG_PASS_COL_SHIFT(pass), columns,
                        row.data());
                }
            }
        }
        if (!guarded(d.png, [&] { png_read_end(d.png, nullptr); }))
            refuse();
        return scaler.finish();
    }
};

} // namespace

const Codec &pngCodec()
{
    static const Png codec;
    return codec;
}
