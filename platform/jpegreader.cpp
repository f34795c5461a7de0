// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG through libjpeg-turbo's own interface: Qt's reader cannot bound the decoder's memory,
// time or scans, and reports a file that ran out as a success.
#include "jpegreader.h"

#include "runtimeerror.h"

#include <QIODevice>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
// jpeglib.h needs stdio first; jerror.h needs jpeglib.h.
#include <jerror.h>

namespace {

using Clock = std::chrono::steady_clock;

// Everything libjpeg's callbacks reach. An error leaves them with longjmp, so they keep no C++
// object alive across a libjpeg call.
struct Decoder
{
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    jpeg_source_mgr source {};
    jpeg_progress_mgr progress {};
    std::jmp_buf failed {};
    bool created = false;

    QIODevice *device = nullptr;
    std::array<JOCTET, 64 * 1024> buffer {};
    const PictureLimits *limits = nullptr;
    Clock::time_point deadline;
    int segments = 0;
    int orientation = 1; // EXIF: 1 upright, 2-8 mirrored and turned
    bool exifSeen = false;

    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

Decoder &decoderOf(j_common_ptr info)
{
    return *static_cast<Decoder *>(info->client_data);
}

[[noreturn]] void fail(j_common_ptr info)
{
    std::longjmp(decoderOf(info).failed, 1);
}

void checkTime(j_common_ptr info)
{
    if (Clock::now() > decoderOf(info).deadline)
        fail(info);
}

void onError(j_common_ptr info)
{
    fail(info);
}

// Warnings that mean the decoder filled in for data the file did not have.
void onMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    const int code = info->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_JPEG_EOF)
        fail(info);
}

void onProgress(j_common_ptr info)
{
    const auto *d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > decoderOf(info).limits->jpegScans)
        fail(info);
    checkTime(info);
}

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

// The decoder never reads past the end of a whole JPEG, so running out is a short file.
boolean fillSource(j_decompress_ptr info)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(info));
    checkTime(reinterpret_cast<j_common_ptr>(info));
    const qint64 got
        = d.device->read(reinterpret_cast<char *>(d.buffer.data()), qint64(d.buffer.size()));
    if (got <= 0)
        fail(reinterpret_cast<j_common_ptr>(info));
    d.source.next_input_byte = d.buffer.data();
    d.source.bytes_in_buffer = std::size_t(got);
    return TRUE;
}

void skipSource(j_decompress_ptr info, long count)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(info));
    if (count <= 0)
        return;
    if (std::size_t(count) <= d.source.bytes_in_buffer) {
        d.source.next_input_byte += count;
        d.source.bytes_in_buffer -= std::size_t(count);
        return;
    }
    const qint64 rest = count - qint64(d.source.bytes_in_buffer);
    d.source.bytes_in_buffer = 0;
    if (d.device->skip(rest) != rest)
        fail(reinterpret_cast<j_common_ptr>(info));
}

int readByte(j_decompress_ptr info)
{
    if (info->src->bytes_in_buffer == 0)
        (*info->src->fill_input_buffer)(info);
    --info->src->bytes_in_buffer;
    return *info->src->next_input_byte++;
}

int exifOrientation(const JOCTET *data, int size)
{
    if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    const JOCTET *tiff = data + 6;
    const int length = size - 6;
    const bool intel = tiff[0] == 'I';
    const auto u16 = [&](int at) {
        return intel ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const auto u32 = [&](int at) {
        return intel ? quint32(u16(at)) | quint32(u16(at + 2)) << 16
                     : quint32(u16(at)) << 16 | quint32(u16(at + 2));
    };
    const quint32 ifd = u32(4);
    if (ifd > quint32(length - 2))
        return 1;
    const int entries = u16(int(ifd));
    for (int i = 0; i < entries; ++i) {
        const qint64 at = qint64(ifd) + 2 + qint64(i) * 12;
        if (at + 12 > length)
            break;
        if (u16(int(at)) == 0x0112) {
            const int value = u16(int(at) + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

// Metadata segments: counted (thousands of empty ones are an attack, not a photo) and skipped,
// except the first EXIF block, read for the orientation.
boolean onSegment(j_decompress_ptr info)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(info));
    if (++d.segments > d.limits->jpegSegments)
        fail(reinterpret_cast<j_common_ptr>(info));
    checkTime(reinterpret_cast<j_common_ptr>(info));
    int length = readByte(info) << 8;
    length += readByte(info);
    length -= 2;
    if (length < 0)
        fail(reinterpret_cast<j_common_ptr>(info));
    if (info->unread_marker == JPEG_APP0 + 1 && !d.exifSeen && length >= 6) {
        std::array<JOCTET, 65536> data;
        for (int i = 0; i < length; ++i)
            data[std::size_t(i)] = JOCTET(readByte(info));
        if (std::memcmp(data.data(), "Exif\0\0", 6) == 0) {
            d.exifSeen = true;
            d.orientation = exifOrientation(data.data(), length);
        }
        return TRUE;
    }
    (*info->src->skip_input_data)(info, length);
    return TRUE;
}

// Where the pixels go while rows arrive: straight into the picture, or averaged over square
// blocks when the decoder's smallest scale is still far larger than wanted.
struct Output
{
    QImage image;
    QSize target; // the fitted size, before turning upright
    std::vector<quint32> sums; // a block row, per byte of the pixel
    std::vector<JOCTET> row;
};

// Pixels as QImage::Format_RGB32 holds them in memory, so rows go straight into the picture.
constexpr J_COLOR_SPACE NativeRgb = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

void cmykToRgb(JOCTET *pixels, int width)
{
    // Adobe writes CMYK inverted, and almost every CMYK JPEG comes from Adobe's programs.
    for (int x = 0; x < width; ++x) {
        JOCTET *p = pixels + x * 4;
        const int k = p[3];
        const QRgb rgb = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
        std::memcpy(p, &rgb, sizeof rgb);
    }
}

QImage upright(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.transformed(QTransform().rotate(-90)).mirrored(true, false);
    case 8:
        return image.transformed(QTransform().rotate(-90));
    default:
        return image;
    }
}

// Only libjpeg calls and the objects made before setjmp: a longjmp back here skips no C++
// destructor.
bool decode(Decoder &d, QSize box, Output &out)
{
    j_decompress_ptr info = &d.info;
    if (setjmp(d.failed))
        return false;
    info->client_data = &d; // its error exit may need the decoder already
    jpeg_create_decompress(info);
    d.created = true;
    info->mem->max_memory_to_use = long(d.limits->memoryBytes);
    info->src = &d.source;
    info->progress = &d.progress;
    for (int n = 1; n < 16; ++n)
        if (n != 14) // APP14 tells libjpeg how the colours are stored
            jpeg_set_marker_processor(info, JPEG_APP0 + n, onSegment);
    jpeg_set_marker_processor(info, JPEG_COM, onSegment);
    jpeg_read_header(info, TRUE);

    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : NativeRgb;
    const QSize full(int(info->image_width), int(info->image_height));
    out.target = fittedSize(full, d.orientation >= 5 ? box.transposed() : box);
    const QSize target = out.target;
    info->scale_denom = 8;
    for (info->scale_num = 1; info->scale_num < 8; ++info->scale_num) {
        jpeg_calc_output_dimensions(info);
        if (int(info->output_width) >= target.width()
            && int(info->output_height) >= target.height())
            break;
    }
    info->dct_method = JDCT_ISLOW;
    jpeg_start_decompress(info);

    const int width = int(info->output_width);
    const int height = int(info->output_height);
    const int f = std::max(1, std::min(width / target.width(), height / target.height()));
    out.image = QImage((width + f - 1) / f, (height + f - 1) / f, QImage::Format_RGB32);
    if (out.image.isNull())
        return false;
    out.row.resize(std::size_t(width) * 4);
    out.sums.assign(std::size_t(out.image.width()) * 4, 0);
    while (info->output_scanline < info->output_height) {
        const int y = int(info->output_scanline);
        JSAMPROW row = f == 1 ? out.image.scanLine(y) : out.row.data();
        jpeg_read_scanlines(info, &row, 1);
        if (cmyk)
            cmykToRgb(row, width);
        if (f == 1)
            continue;
        for (int x = 0; x < width * 4; ++x)
            out.sums[std::size_t(x / (f * 4) * 4 + x % 4)] += row[x];
        const bool last = y + 1 == height;
        if ((y + 1) % f != 0 && !last)
            continue;
        const int rows = (y % f) + 1;
        uchar *line = out.image.scanLine(y / f);
        for (int i = 0; i < out.image.width() * 4; ++i) {
            const int columns = std::min(f, width - i / 4 * f);
            line[i] = uchar(out.sums[std::size_t(i)] / quint32(rows * columns));
            out.sums[std::size_t(i)] = 0;
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

Picture decodeJpeg(QIODevice &device, QSize box, const PictureLimits &limits)
{
    auto d = std::make_unique<Decoder>();
    d->device = &device;
    d->limits = &limits;
    d->deadline = Clock::now() + limits.time;
    d->info.err = jpeg_std_error(&d->errors);
    d->errors.error_exit = onError;
    d->errors.emit_message = onMessage;
    d->source.init_source = initSource;
    d->source.fill_input_buffer = fillSource;
    d->source.skip_input_data = skipSource;
    d->source.resync_to_restart = jpeg_resync_to_restart;
    d->source.term_source = termSource;
    d->progress.progress_monitor = onProgress;

    Output out;
    if (!decode(*d, box, out))
        throw RuntimeError(QStringLiteral("Invalid picture"));
    QImage image = out.image.size() == out.target
        ? out.image
        : out.image.scaled(out.target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return upright(image, d->orientation);
}
