// SPDX-License-Identifier: GPL-3.0-or-later
// WebP through libwebp: a still picture is scaled as it decodes, straight into the picture
// returned; an animation shows its first frame, as the canvas shows it.
#include "codec.h"

#include <QIODevice>

#include <cstring>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

namespace {

struct DemuxFree
{
    void operator()(WebPDemuxer *d) const { WebPDemuxDelete(d); }
};
struct AnimationFree
{
    void operator()(WebPAnimDecoder *d) const { WebPAnimDecoderDelete(d); }
};

constexpr WEBP_CSP_MODE NativeArgb = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;

QImage firstFrame(Load &load, const WebPData &data, QSize canvas, int orientation)
{
    // The decoder keeps this canvas and the one before, and decodes a frame beside them.
    checkWholeDecode(load, canvas, qint64(canvas.width()) * canvas.height() * 12);
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        refuse();
    options.color_mode = NativeArgb;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimationFree> decoder(WebPAnimDecoderNew(&data, &options));
    uint8_t *pixels = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp))
        refuse();
    const QSize box = orientation >= 5 ? load.box.transposed() : load.box;
    RowScaler scaler(canvas, fittedSize(canvas, box), QImage::Format_ARGB32, load.working);
    const std::size_t row = std::size_t(canvas.width()) * 4;
    for (int y = 0; y < canvas.height(); ++y) {
        std::memcpy(scaler.rowFor(y), pixels + row * std::size_t(y), row);
        scaler.put(y);
    }
    return scaler.finish();
}

class Webp : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
    }
    QImage decode(Load &load) const override;
};

} // namespace

QImage Webp::decode(Load &load) const
{
    const QByteArray file = load.device.readAll();
    const WebPData data {reinterpret_cast<const uint8_t *>(file.constData()),
                         std::size_t(file.size())};
    // The container whole, or nothing: a file cut short is refused here.
    std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemux(&data));
    if (!demux)
        refuse();
    const QSize canvas(int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH)),
                       int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT)));
    const quint32 flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    int orientation = 1;
    WebPChunkIterator exif;
    if ((flags & EXIF_FLAG) && WebPDemuxGetChunk(demux.get(), "EXIF", 1, &exif)) {
        const uint8_t *tiff = exif.chunk.bytes;
        qint64 length = qint64(exif.chunk.size);
        if (length >= 6 && std::memcmp(tiff, "Exif\0\0", 6) == 0) { // as some writers put it
            tiff += 6;
            length -= 6;
        }
        orientation = exifOrientation(tiff, length);
        WebPDemuxReleaseChunkIterator(&exif);
    }
    if (flags & ANIMATION_FLAG)
        return upright(firstFrame(load, data, canvas, orientation), orientation);

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)
        || WebPGetFeatures(data.bytes, data.size, &config.input) != VP8_STATUS_OK)
        refuse();
    const QSize full(config.input.width, config.input.height);
    if (full != canvas)
        refuse();
    // Lossless data is decoded whole (its references reach back anywhere), as is the alpha
    // plane of lossy data; lossy colour a row of blocks at a time.
    const bool lossless = config.input.format == 2;
    const bool alpha = config.input.has_alpha;
    checkWholeDecode(load, full,
                     qint64(full.width()) * full.height() * ((lossless ? 4 : 0) + (alpha ? 1 : 0)));
    const QSize target = fittedSize(full, orientation >= 5 ? load.box.transposed() : load.box);
    QImage picture = blankPicture(target, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (target != full) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    config.output.colorspace = NativeArgb;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.bits();
    config.output.u.RGBA.stride = int(picture.bytesPerLine());
    config.output.u.RGBA.size = std::size_t(picture.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data.bytes, data.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        refuse();
    if (load.working)
        load.working();
    return upright(picture, orientation);
}

const Codec &webpCodec()
{
    static const Webp codec;
    return codec;
}
