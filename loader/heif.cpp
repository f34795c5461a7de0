// SPDX-License-Identifier: GPL-3.0-or-later
// HEIF and HEIC through libheif: the primary image of the file (never a thumbnail, a depth map
// or a burst's other shots), cropped, turned and mirrored as its boxes say, which libheif does.
#include "codec.h"

#include <QBuffer>
#include <QIODevice>
#include <QtEndian>

#include <array>
#include <memory>
#include <vector>

#include <avif/avif.h>
#include <libheif/heif.h>

namespace {

struct ContextFree
{
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleFree
{
    void operator()(const heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageFree
{
    void operator()(const heif_image *i) const { heif_image_release(i); }
};
struct AvifFree
{
    void operator()(avifImage *i) const { avifImageDestroy(i); }
};
struct OptionsFree
{
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};

QImage interleaved(const Load &load, const heif_image *decoded, QSize shown, bool alpha)
{
    const QSize full(heif_image_get_width(decoded, heif_channel_interleaved),
                     heif_image_get_height(decoded, heif_channel_interleaved));
    int stride = 0;
    const uint8_t *pixels
        = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    if (!pixels || full != shown
        || heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8)
        refuse();
    RowScaler scaler(full, fittedSize(full, load.box),
                     alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
    const int step = alpha ? 4 : 3;
    for (int y = 0; y < full.height(); ++y) {
        const uint8_t *in = pixels + qint64(y) * stride;
        auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(y));
        for (int x = 0; x < full.width(); ++x, in += step)
            out[x] = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
        scaler.put(y);
    }
    return scaler.finish();
}

// libheif's planes described as libavif's, for its converter: how the samples read as colours
// as libheif would read them (BT.601, full range, where the file does not say).
QImage planar(const Load &load, const heif_image *decoded, const heif_image_handle *primary,
              QSize shown)
{
    const QSize full(heif_image_get_width(decoded, heif_channel_Y),
                     heif_image_get_height(decoded, heif_channel_Y));
    const int depth = heif_image_get_bits_per_pixel_range(decoded, heif_channel_Y);
    if (full != shown || depth < 8 || depth > 16)
        refuse();
    avifImage *image = avifImageCreateEmpty();
    if (!image)
        refuse();
    std::unique_ptr<avifImage, AvifFree> owner(image);
    image->width = quint32(full.width());
    image->height = quint32(full.height());
    image->depth = quint32(depth);
    switch (heif_image_get_chroma_format(decoded)) {
    case heif_chroma_420:
        image->yuvFormat = AVIF_PIXEL_FORMAT_YUV420;
        break;
    case heif_chroma_422:
        image->yuvFormat = AVIF_PIXEL_FORMAT_YUV422;
        break;
    case heif_chroma_444:
        image->yuvFormat = AVIF_PIXEL_FORMAT_YUV444;
        break;
    case heif_chroma_monochrome:
        image->yuvFormat = AVIF_PIXEL_FORMAT_YUV400;
        break;
    default:
        refuse();
    }
    image->yuvRange = AVIF_RANGE_FULL;
    image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
    heif_color_profile_nclx *nclx = nullptr;
    if (heif_image_get_nclx_color_profile(decoded, &nclx).code == heif_error_Ok
        || heif_image_handle_get_nclx_color_profile(primary, &nclx).code == heif_error_Ok) {
        image->yuvRange = nclx->full_range_flag ? AVIF_RANGE_FULL : AVIF_RANGE_LIMITED;
        image->matrixCoefficients = avifMatrixCoefficients(nclx->matrix_coefficients);
        image->colorPrimaries = avifColorPrimaries(nclx->color_primaries);
        image->transferCharacteristics
            = avifTransferCharacteristics(nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
    }
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int c = 0; c < (image->yuvFormat == AVIF_PIXEL_FORMAT_YUV400 ? 1 : 3); ++c) {
        int stride = 0;
        image->yuvPlanes[c]
            = const_cast<uint8_t *>(heif_image_get_plane_readonly(decoded, channels[c], &stride));
        image->yuvRowBytes[c] = quint32(stride);
        if (!image->yuvPlanes[c]
            || heif_image_get_bits_per_pixel_range(decoded, channels[c]) != depth)
            refuse();
    }
    const bool alpha = heif_image_has_channel(decoded, heif_channel_Alpha);
    if (alpha) {
        int stride = 0;
        image->alphaPlane = const_cast<uint8_t *>(
            heif_image_get_plane_readonly(decoded, heif_channel_Alpha, &stride));
        image->alphaRowBytes = quint32(stride);
        if (!image->alphaPlane || heif_image_get_width(decoded, heif_channel_Alpha) != full.width()
            || heif_image_get_height(decoded, heif_channel_Alpha) != full.height()
            || heif_image_get_bits_per_pixel_range(decoded, heif_channel_Alpha) != depth)
            refuse();
        image->alphaPremultiplied
            = heif_image_is_premultiplied_alpha(const_cast<heif_image *>(decoded));
    }
    // The planes stay libheif's.
    image->imageOwnsYUVPlanes = image->imageOwnsAlphaPlane = AVIF_FALSE;
    RowScaler scaler(full, fittedSize(full, load.box),
                     alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
    yuvRowsToScaler(*image, avifCropRect {0, 0, image->width, image->height}, scaler);
    return scaler.finish();
}

// What the coded streams say, read before libheif decodes anything: libde265 decodes a frame at
// the size its sequence parameter set states, whatever size the container states.
struct Streams
{
    std::vector<QSize> hevc; // each sequence parameter set's picture size
    bool av1 = false;
};

// Reads bits of a sequence parameter set, its emulation prevention bytes taken out.
class Bits
{
public:
    explicit Bits(const QByteArray &nal)
    {
        int zeros = 0;
        for (const char c : nal) {
            if (zeros >= 2 && c == 3) { // 00 00 03: the 03 is not data
                zeros = 0;
                continue;
            }
            zeros = c == 0 ? zeros + 1 : 0;
            m_bytes.append(c);
        }
    }
    quint32 bit()
    {
        if (m_at >= m_bytes.size() * 8)
            refuse();
        const quint32 b = (uchar(m_bytes[m_at / 8]) >> (7 - m_at % 8)) & 1;
        ++m_at;
        return b;
    }
    quint32 bits(int count)
    {
        quint32 value = 0;
        while (count--)
            value = value << 1 | bit();
        return value;
    }
    quint32 golomb()
    {
        int zeros = 0;
        while (bit() == 0)
            if (++zeros > 31)
                refuse();
        return (zeros ? bits(zeros) : 0) + (1u << zeros) - 1;
    }
    void skip(int count) { m_at += count; }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
};

// The picture size of an HEVC sequence parameter set (its NAL unit, header included).
QSize spsSize(const QByteArray &nal)
{
    Bits in(nal.mid(2));
    in.skip(4); // sps_video_parameter_set_id
    const int subLayers = int(in.bits(3));
    in.skip(1);
    in.skip(96); // the general profile, tier and level
    std::array<bool, 8> profile {}, level {};
    for (int i = 0; i < subLayers; ++i) {
        profile[std::size_t(i)] = in.bit();
        level[std::size_t(i)] = in.bit();
    }
    if (subLayers > 0)
        in.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i)
        in.skip((profile[std::size_t(i)] ? 88 : 0) + (level[std::size_t(i)] ? 8 : 0));
    in.golomb(); // sps_seq_parameter_set_id
    if (in.golomb() == 3) // chroma_format_idc
        in.skip(1);
    const quint32 width = in.golomb(), height = in.golomb();
    if (width > 65535 || height > 65535)
        refuse();
    return QSize(int(width), int(height));
}

// The decoder configurations of the file's metadata box: HEVC's parameter sets, or AV1's.
Streams streamsOf(const QByteArray &file)
{
    Streams streams;
    qint64 at = 0;
    while (at + 8 <= file.size()) { // the top-level boxes, to the metadata box
        qint64 size = qFromBigEndian<quint32>(file.constData() + at);
        if (size == 1 && at + 16 <= file.size())
            size = qint64(qFromBigEndian<quint64>(file.constData() + at + 8));
        else if (size == 0)
            size = file.size() - at;
        if (size < 8 || size > file.size() - at)
            refuse();
        if (file.mid(at + 4, 4) == "meta")
            break;
        at += size;
    }
    const QByteArray meta
        = file.mid(at, at < file.size() ? qFromBigEndian<quint32>(file.constData() + at) : 0);
    streams.av1 = meta.contains("av1C");
    for (qsizetype box = meta.indexOf("hvcC"); box >= 4; box = meta.indexOf("hvcC", box + 4)) {
        const qsizetype end = box - 4 + qFromBigEndian<quint32>(meta.constData() + box - 4);
        qsizetype p = box + 4 + 22; // past the configuration record's fixed part
        if (end > meta.size() || p >= end)
            refuse();
        const int arrays = uchar(meta[p++]);
        for (int a = 0; a < arrays; ++a) {
            if (p + 3 > end)
                refuse();
            const int type = uchar(meta[p]) & 0x3f;
            const int units = uchar(meta[p + 1]) << 8 | uchar(meta[p + 2]);
            p += 3;
            for (int u = 0; u < units; ++u) {
                if (p + 2 > end)
                    refuse();
                const int length = uchar(meta[p]) << 8 | uchar(meta[p + 1]);
                p += 2;
                if (p + length > end)
                    refuse();
                if (type == 33)
                    streams.hevc.push_back(spsSize(meta.mid(p, length)));
                p += length;
            }
        }
    }
    return streams;
}

class Heif : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        if (head.size() < 12 || head.mid(4, 4) != "ftyp")
            return false;
        const QByteArray brand = head.mid(8, 4);
        for (const char *b : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
            if (brand == b)
                return true;
        return false;
    }
    QImage decode(Load &load) const override;
};

} // namespace

QImage Heif::decode(Load &load) const
{
    const QByteArray file = load.device.readAll();
    const Streams streams = streamsOf(file);
    if (streams.hevc.empty() && streams.av1) {
        // AV1 in a general HEIF file: libavif reads it as AVIF, and bounds the AV1 frame by the
        // size the container states; libheif would not.
        QByteArray avif = QByteArray(file).replace(8, 4, "avif");
        QBuffer buffer(&avif);
        buffer.open(QIODevice::ReadOnly);
        Load again {buffer, load.box, load.limits, load.working};
        return avifCodec().decode(again);
    }
    if (streams.hevc.empty())
        refuse(); // no coded picture the game knows
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        refuse();
    heif_context_set_max_decoding_threads(context.get(), 0); // one core, one answer
    if (heif_context_read_from_memory_without_copy(context.get(), file.constData(),
                                                   std::size_t(file.size()), nullptr)
            .code
        != heif_error_Ok)
        refuse();
    heif_image_handle *primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        refuse();
    std::unique_ptr<const heif_image_handle, HandleFree> handle(primary);
    const bool alpha = heif_image_handle_has_alpha_channel(primary);
    // The coded size, before a crop or a turn: what the decoder holds. libde265 keeps its frame
    // and a few bytes a pixel of its own, and libheif a copy of the planes: 7.5 bytes a pixel
    // measured for an 8-bit 4:2:0 photo of 48 megapixels.
    const QSize coded(heif_image_handle_get_ispe_width(primary),
                      heif_image_handle_get_ispe_height(primary));
    const int sample = heif_image_handle_get_luma_bits_per_pixel(primary) > 8 ? 2 : 1;
    const qint64 pixels = qint64(coded.width()) * coded.height();
    checkWholeDecode(load, coded,
                     pixels * (sample == 2 ? 12 : 8) + (alpha ? pixels * 2 * sample : 0));
    // A coded frame is the picture, a tile of it, a thumbnail or a depth map, padded to whole
    // coding blocks: never larger.
    for (const QSize frame : streams.hevc)
        if (qint64(frame.width()) * frame.height()
            > qint64(coded.width() + 64) * (coded.height() + 64))
            refuse();
    const QSize shown(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary));
    checkWholeDecode(load, shown, 0);

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    // The planes as decoded, converted to RGB a band at a time; or, for a picture coded in RGB,
    // libheif's own interleaved copy.
    heif_image *decoded = nullptr;
    if (heif_decode_image(primary, &decoded, heif_colorspace_undefined, heif_chroma_undefined,
                          options.get())
            .code
        != heif_error_Ok)
        refuse();
    std::unique_ptr<const heif_image, ImageFree> image(decoded);
    if (heif_image_get_colorspace(decoded) != heif_colorspace_YCbCr
        && heif_image_get_colorspace(decoded) != heif_colorspace_monochrome) {
        image.reset();
        decoded = nullptr;
        if (heif_decode_image(primary, &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              options.get())
                .code
            != heif_error_Ok)
            refuse();
        image.reset(decoded);
        return interleaved(load, decoded, shown, alpha);
    }
    return planar(load, decoded, primary, shown);
}

const Codec &heifCodec()
{
    static const Heif codec;
    return codec;
}
