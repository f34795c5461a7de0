// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG through libjpeg-turbo's own interface: Qt's reader cannot bound the decoder's memory,
// work or scans, and reports a file that ran out as a success.
#include "codec.h"

#include <QIODevice>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <jpeglib.h>
// jpeglib.h needs stdio first; jerror.h needs jpeglib.h.
#include <jerror.h>

namespace {

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
    const LoadProgress *working = nullptr;
    qint64 bytesRead = 0;
    qint64 coefficients = 0; // what the frame holds
    qint64 coefficientsScanned = 0; // what its scans so far go over
    int scan = 0;
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

// Each scan is counted once, as it begins: the scans together may go over each coefficient a
// few times, as encoders' scripts do, not a hundred times.
void onProgress(j_common_ptr info)
{
    const auto *c = reinterpret_cast<j_decompress_ptr>(info);
    Decoder &d = decoderOf(info);
    if (c->input_scan_number > d.limits->jpegScans)
        fail(info);
    if (c->input_scan_number != d.scan && c->comps_in_scan > 0) {
        d.scan = c->input_scan_number;
        const qint64 band = c->progressive_mode ? c->Se - c->Ss + 1 : DCTSIZE2;
        for (int i = 0; i < c->comps_in_scan; ++i)
            d.coefficientsScanned += qint64(c->cur_comp_info[i]->width_in_blocks)
                * c->cur_comp_info[i]->height_in_blocks * band;
        if (d.coefficientsScanned > d.coefficients * d.limits->jpegCoefficientPasses)
            fail(info);
    }
    if (*d.working)
        (*d.working)(0, 0); // scans and markers: no rows yet
}

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

// The decoder never reads past the end of a whole JPEG, so running out is a short file.
boolean fillSource(j_decompress_ptr info)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(info));
    const qint64 got
        = d.device->read(reinterpret_cast<char *>(d.buffer.data()), qint64(d.buffer.size()));
    // Once the scans begin, every byte goes through the entropy decoder. Metadata before them
    // is skipped or read at the speed of a copy.
    if (got <= 0 || (info->input_scan_number > 0 && (d.bytesRead += got) > d.limits->jpegBytes))
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

// Metadata segments: counted (thousands of empty ones are an attack, not a photo) and skipped,
// except the first EXIF block, read for the orientation.
boolean onSegment(j_decompress_ptr info)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(info));
    if (++d.segments > d.limits->jpegSegments)
        fail(reinterpret_cast<j_common_ptr>(info));
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
            d.orientation = exifOrientation(data.data() + 6, length - 6);
        }
        return TRUE;
    }
    (*info->src->skip_input_data)(info, length);
    return TRUE;
}

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

// A progressive frame keeps 2 bytes for each of its coefficients until its last scan.
qint64 coefficientsOf(j_decompress_ptr info)
{
    qint64 count = 0;
    for (int i = 0; i < info->num_components; ++i) {
        const jpeg_component_info &c = info->comp_info[i];
        const auto rounded = [](qint64 blocks, int factor) {
            return (blocks + factor - 1) / factor * factor;
        };
        count += rounded(c.width_in_blocks, c.h_samp_factor)
            * rounded(c.height_in_blocks, c.v_samp_factor) * DCTSIZE2;
    }
    return count;
}

// Only libjpeg calls and objects that live outside: a longjmp back here skips no C++
// destructor.
bool decode(Decoder &d, Load &load, std::optional<RowScaler> &scaler, QSize &target)
{
    j_decompress_ptr info = &d.info;
    if (setjmp(d.failed))
        return false;
    info->client_data = &d; // its error exit may need the decoder already
    jpeg_create_decompress(info);
    d.created = true;
    info->src = &d.source;
    info->progress = &d.progress;
    for (int n = 1; n < 16; ++n)
        if (n != 14) // APP14 tells libjpeg how the colours are stored
            jpeg_set_marker_processor(info, JPEG_APP0 + n, onSegment);
    jpeg_set_marker_processor(info, JPEG_COM, onSegment);
    jpeg_read_header(info, TRUE);

    const PictureLimits &limits = load.limits;
    d.coefficients = coefficientsOf(info);
    const qint64 pixels = qint64(info->image_width) * info->image_height;
    const bool scaledOnly = pixels > limits.pixels; // past it only as the little it decodes to
    if (scaledOnly && (info->progressive_mode || pixels > limits.scaledJpegPixels))
        return false;
    qint64 memory = limits.memoryBytes;
    if (info->progressive_mode) {
        const qint64 kept = d.coefficients * 2;
        // Beyond the usual budget only for a file big enough to be the photo it claims: a
        // byte for every four blocks is far below what any encoder writes for a picture.
        if (kept > limits.progressiveBytes
            || (kept > limits.memoryBytes && load.device.size() < kept / (DCTSIZE2 * 2 * 4)))
            return false;
        memory += kept;
    }
    info->mem->max_memory_to_use = long(memory);

    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : NativeRgb;
    const QSize full(int(info->image_width), int(info->image_height));
    const QSize box = d.orientation >= 5 ? load.box.transposed() : load.box;
    target = fittedSize(full, box);
    info->scale_denom = 8;
    for (info->scale_num = 1; info->scale_num < 8; ++info->scale_num) {
        jpeg_calc_output_dimensions(info);
        if (int(info->output_width) >= target.width()
            && int(info->output_height) >= target.height())
            break;
    }
    if (scaledOnly && qint64(info->output_width) * info->output_height > limits.pixels)
        return false;
    info->dct_method = JDCT_ISLOW;
    jpeg_start_decompress(info);

    const int width = int(info->output_width);
    scaler.emplace(QSize(width, int(info->output_height)), target, QImage::Format_RGB32,
                   load.working);
    while (info->output_scanline < info->output_height) {
        const int y = int(info->output_scanline);
        JSAMPROW row = scaler->rowFor(y);
        jpeg_read_scanlines(info, &row, 1);
        if (cmyk)
            cmykToRgb(row, width);
        scaler->put(y);
    }
    jpeg_finish_decompress(info);
    return true;
}

class Jpeg : public Codec
{
public:
    bool recognises(const QByteArray &head) const override { return head.startsWith("\xFF\xD8"); }
    QImage decode(Load &load) const override;
};

} // namespace

QImage Jpeg::decode(Load &load) const
{
    auto d = std::make_unique<Decoder>();
    d->device = &load.device;
    d->limits = &load.limits;
    d->working = &load.working;
    d->info.err = jpeg_std_error(&d->errors);
    d->errors.error_exit = onError;
    d->errors.emit_message = onMessage;
    d->source.init_source = initSource;
    d->source.fill_input_buffer = fillSource;
    d->source.skip_input_data = skipSource;
    d->source.resync_to_restart = jpeg_resync_to_restart;
    d->source.term_source = termSource;
    d->progress.progress_monitor = onProgress;

    std::optional<RowScaler> scaler;
    QSize target;
    if (!::decode(*d, load, scaler, target))
        refuse();
    return upright(scaler->finish(), d->orientation);
}

const Codec &jpegCodec()
{
    static const Jpeg codec;
    return codec;
}
