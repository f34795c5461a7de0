// SPDX-License-Identifier: GPL-3.0-or-later
// AVIF through libavif: it reports the crop, rotation and mirroring the file asks for (and
// applies none), and converts any band of rows to RGB, so that no RGB copy of a whole photo is
// ever held.
#include "codec.h"

#include <QIODevice>

#include <cstring>
#include <memory>

#include <avif/avif.h>

namespace {

struct DecoderFree
{
    void operator()(avifDecoder *d) const { avifDecoderDestroy(d); }
};

// Bytes per pixel the decoder holds: its planes at the file's depth, and the alpha plane.
qint64 heldPerPixel(const avifImage &image, bool alpha)
{
    const int sample = image.depth > 8 ? 2 : 1;
    int planes = 3; // 4:4:4
    if (image.yuvFormat == AVIF_PIXEL_FORMAT_YUV420)
        planes = 2; // 1 + 2 x 1/4, rounded up
    else if (image.yuvFormat == AVIF_PIXEL_FORMAT_YUV422)
        planes = 2;
    else if (image.yuvFormat == AVIF_PIXEL_FORMAT_YUV400)
        planes = 1;
    // The AV1 decoder's own frame, and libavif's copy of it.
    return qint64(planes + (alpha ? 1 : 0)) * sample * 2;
}

class Avif : public Codec
{
public:
    bool recognises(const QByteArray &head) const override
    {
        return head.size() >= 12 && head.mid(4, 4) == "ftyp"
            && (head.mid(8, 4) == "avif" || head.mid(8, 4) == "avis");
    }
    QImage decode(Load &load) const override;
};

} // namespace

QImage Avif::decode(Load &load) const
{
    const QByteArray file = load.device.readAll();
    // Twice: first the container, for the size it states; then the image, with the AV1 decoder
    // told to refuse a frame larger than that, which the memory bound was counted for.
    std::unique_ptr<avifDecoder, DecoderFree> decoder;
    QSize coded;
    for (int pass = 0; pass < 2; ++pass) {
        decoder.reset(avifDecoderCreate());
        if (!decoder)
            refuse();
        avifDecoder *d = decoder.get();
        d->maxThreads = load.threads;
        d->imageSizeLimit = pass == 0 ? quint32(std::min<qint64>(load.limits.pixels, 0xFFFFFFFF))
                                      : quint32(qint64(coded.width()) * coded.height());
        d->imageDimensionLimit = 65535;
        d->imageCountLimit = 1000;
        d->ignoreExif = AVIF_TRUE; // transforms are in the container's own boxes
        d->ignoreXMP = AVIF_TRUE;
        // Older encoders leave out the pixel information box; a crop that cannot be is refused.
        d->strictFlags = AVIF_STRICT_CLAP_VALID;
        if (avifDecoderSetIOMemory(d, reinterpret_cast<const uint8_t *>(file.constData()),
                                   std::size_t(file.size()))
                != AVIF_RESULT_OK
            || avifDecoderParse(d) != AVIF_RESULT_OK)
            refuse();
        if (pass == 0) {
            coded = QSize(int(d->image->width), int(d->image->height));
            checkWholeDecode(load, coded,
                             qint64(coded.width()) * coded.height()
                                 * heldPerPixel(*d->image, d->alphaPresent));
        }
    }
    avifDecoder *d = decoder.get();
    if (avifDecoderNextImage(d) != AVIF_RESULT_OK)
        refuse();
    const avifImage *image = d->image;
    if (int(image->width) != coded.width() || int(image->height) != coded.height())
        refuse(); // the AV1 frame is not the picture the container announced

    avifCropRect crop {0, 0, image->width, image->height};
    // Renamed in libavif 1.1 (Debian 13), the old name kept but deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if ((image->transformFlags & AVIF_TRANSFORM_CLAP)
        && !avifCropRectConvertCleanApertureBox(&crop, &image->clap, image->width, image->height,
                                                image->yuvFormat, &d->diag))
        refuse();
#pragma GCC diagnostic pop
    avifPixelFormatInfo chroma;
    avifGetPixelFormatInfo(image->yuvFormat, &chroma);
    if ((crop.x >> chroma.chromaShiftX << chroma.chromaShiftX) != crop.x
        || (crop.y >> chroma.chromaShiftY << chroma.chromaShiftY) != crop.y)
        refuse(); // a crop at an offset the chroma cannot start at, which MIAF forbids
    const bool quarterTurn = (image->transformFlags & AVIF_TRANSFORM_IROT) && image->irot.angle % 2;
    const QSize full(int(crop.width), int(crop.height));
    const QSize target = fittedSize(full, quarterTurn ? load.box.transposed() : load.box);
    const bool alpha = image->alphaPlane != nullptr;
    RowScaler scaler(full, target, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
                     load.working);

    yuvRowsToScaler(*image, crop, scaler);
    QImage picture = scaler.finish();
    // Cropped, then turned, then mirrored: the order the format fixes.
    if (image->transformFlags & AVIF_TRANSFORM_IROT)
        picture = picture.transformed(QTransform().rotate(-90.0 * image->irot.angle));
    if (image->transformFlags & AVIF_TRANSFORM_IMIR) {
        // The same byte of the file, named "axis" since libavif 1.0 (Debian 13).
#if AVIF_VERSION_MAJOR >= 1
        const int mirror = image->imir.axis;
#else
        const int mirror = image->imir.mode;
#endif
        picture = flippedImage(picture, mirror == 1 ? Qt::Horizontal : Qt::Vertical);
    }
    return picture;
}

void yuvRowsToScaler(const avifImage &image, const avifCropRect &crop, RowScaler &scaler)
{
    avifPixelFormatInfo chroma;
    avifGetPixelFormatInfo(image.yuvFormat, &chroma);
    // A crop between two chroma samples is converted from the sample before it, and the column
    // or row before it left out.
    const quint32 x0 = crop.x >> chroma.chromaShiftX << chroma.chromaShiftX;
    const quint32 y0 = crop.y >> chroma.chromaShiftY << chroma.chromaShiftY;
    const int dx = int(crop.x - x0), dy = int(crop.y - y0);
    const int width = int(crop.width) + dx, rows = int(crop.height) + dy;
    // Bands of rows, even in number so that subsampled chroma starts on a row of its own.
    const int band = std::max(2, int(std::min<qint64>(256, (qint64(4) << 20) / (width * 4))) & ~1);
    std::vector<uchar> rgba(std::size_t(width) * 4 * std::size_t(band));
    const quint32 sample = image.depth > 8 ? 2 : 1;
    for (int y = 0; y < rows; y += band) {
        // The same image, its planes starting further on: every other field as the file says.
        avifImage view = image;
        view.width = quint32(width);
        view.height = quint32(std::min(band, rows - y));
        const quint32 top = y0 + quint32(y);
        for (int c = 0; c < 3; ++c) {
            if (!view.yuvPlanes[c])
                continue;
            const quint32 shiftX = c ? chroma.chromaShiftX : 0,
                          shiftY = c ? chroma.chromaShiftY : 0;
            view.yuvPlanes[c] += std::size_t(top >> shiftY) * view.yuvRowBytes[c]
                + std::size_t(x0 >> shiftX) * sample;
        }
        if (view.alphaPlane)
            view.alphaPlane += std::size_t(top) * view.alphaRowBytes + std::size_t(x0) * sample;
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, &view);
        rgb.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
        rgb.depth = 8;
        rgb.pixels = rgba.data();
        rgb.rowBytes = quint32(width) * 4;
        if (avifImageYUVToRGB(&view, &rgb) != AVIF_RESULT_OK)
            refuse();
        for (int r = 0; r < int(view.height); ++r) {
            const int out = y + r - dy;
            if (out < 0)
                continue;
            std::memcpy(scaler.rowFor(out), rgba.data() + std::size_t(r) * rgb.rowBytes + dx * 4,
                        std::size_t(crop.width) * 4);
            scaler.put(out);
        }
    }
}

const Codec &avifCodec()
{
    static const Avif codec;
    return codec;
}
