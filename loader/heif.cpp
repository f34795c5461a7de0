// SPDX-License-Identifier: GPL-3.0-or-later
// HEIF and HEIC through libheif: the primary image of the file (never a thumbnail, a depth map
// or a burst's other shots), cropped, turned and mirrored as its boxes say, which libheif does.
#include "codec.h"

#include <QIODevice>

#include <memory>

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
struct OptionsFree
{
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};

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
    // The coded size, before a crop or a turn: what the decoder holds. libheif keeps the
    // decoded planes (4:2:0, as cameras write) and the RGB copy made from them.
    const QSize coded(heif_image_handle_get_ispe_width(primary),
                      heif_image_handle_get_ispe_height(primary));
    const int sample = heif_image_handle_get_luma_bits_per_pixel(primary) > 8 ? 2 : 1;
    const qint64 pixels = qint64(coded.width()) * coded.height();
    checkWholeDecode(load, coded, pixels * (3 * sample + (alpha ? 4 + sample : 3)));
    const QSize shown(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary));
    checkWholeDecode(load, shown, 0);

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image *decoded = nullptr;
    if (heif_decode_image(primary, &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get())
            .code
        != heif_error_Ok)
        refuse();
    std::unique_ptr<const heif_image, ImageFree> image(decoded);
    const QSize full(heif_image_get_width(decoded, heif_channel_interleaved),
                     heif_image_get_height(decoded, heif_channel_interleaved));
    int stride = 0;
    const uint8_t *pixels8
        = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    if (!pixels8 || full != shown
        || heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8)
        refuse();
    RowScaler scaler(full, fittedSize(full, load.box),
                     alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
    const int step = alpha ? 4 : 3;
    for (int y = 0; y < full.height(); ++y) {
        const uint8_t *in = pixels8 + qint64(y) * stride;
        auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(y));
        for (int x = 0; x < full.width(); ++x, in += step)
            out[x] = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
        scaler.put(y);
    }
    return scaler.finish();
}

const Codec &heifCodec()
{
    static const Heif codec;
    return codec;
}
