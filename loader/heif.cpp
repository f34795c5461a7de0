// SPDX-License-Identifier: GPL-3.0-or-later
// HEIF and HEIC through libheif: the primary image of the file (never a thumbnail, a depth map
// or a burst's other shots), decoded once, then cropped, turned and mirrored here as its boxes
// say, at any bit depth. Before libheif sees the file, everything it would build for that image
// is counted from the file's own boxes: the canvas of a grid or an overlay, each tile and layer,
// each coded frame (its parameter sets read wherever they are carried), and the alpha plane.
#include "codec.h"
#include "isobmff.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>
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

// Reads bits of a parameter set, its emulation prevention bytes taken out.
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

constexpr int SequenceParameterSet = 33;

// The frame sizes the sequence parameter sets of an HEVC item state: those of its decoder
// configuration and those its own data carries, which the decoder takes as well.
std::vector<QSize> hevcFrames(const QByteArray &hvcC, const QByteArray &data)
{
    std::vector<QSize> frames;
    isobmff::Reader in(hvcC);
    in.skip(21);
    const int lengthSize = int(in.u8() & 3) + 1;
    const int arrays = int(in.u8());
    for (int a = 0; a < arrays; ++a) {
        const int type = int(in.u8() & 0x3f);
        const int units = int(in.u16());
        for (int u = 0; u < units; ++u) {
            const QByteArray nal = in.bytes(in.u16());
            if (type == SequenceParameterSet)
                frames.push_back(spsSize(nal));
        }
    }
    isobmff::Reader units(data);
    while (units.left() > 0) {
        const QByteArray nal = units.bytes(qsizetype(units.number(lengthSize)));
        if (!nal.isEmpty() && (uchar(nal[0]) >> 1 & 0x3f) == SequenceParameterSet)
            frames.push_back(spsSize(nal));
    }
    return frames;
}

QSize statedSize(const isobmff::Meta &meta, const isobmff::Item &item)
{
    const isobmff::Box *ispe = meta.property(item, "ispe");
    if (!ispe)
        refuse();
    isobmff::Reader in(ispe->body);
    in.skip(4);
    const quint32 width = in.u32(), height = in.u32();
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        refuse();
    return QSize(int(width), int(height));
}

// The bit depth an item's pixel information states; 8 where it states none.
int depthOf(const isobmff::Meta &meta, const isobmff::Item &item)
{
    const isobmff::Box *pixi = meta.property(item, "pixi");
    if (!pixi)
        return 8;
    isobmff::Reader in(pixi->body);
    in.skip(4);
    int depth = 8;
    for (int c = int(in.u8()); c > 0; --c)
        depth = std::max(depth, int(in.u8()));
    return depth;
}

// Bytes a pixel that libheif and libde265 hold at the peak of one coded frame's decoding
// (libde265's frame and its own records, libheif's copy of the planes and its conversion of
// them), and for an alpha plane decoded beside it: measured 6.2 and 1.1 at 8 bits, 10.1 and 2.0
// at 10 (48, 38 and 24 megapixels).
constexpr qint64 DecodedFrameBytes8 = 7, DecodedFrameBytes16 = 11;
constexpr qint64 AlphaBytes8 = 2, AlphaBytes16 = 3;
// libheif's canvas for a grid or an overlay: three planes at the depth of the samples.
constexpr int CanvasPlanes = 3;
// Tiles libheif decodes at once, on the most cores a load uses: the count does not depend on
// the machine's.
constexpr int TilesAtOnce = 16;

// What libheif would build for the shown image, counted before it builds any of it.
struct Plan
{
    bool hevc = false;
    bool av1 = false;
    QSize size; // the shown image's, before its transforms
    qint64 work = 0; // pixels of every frame decoded
    qint64 held = 0; // bytes held at the peak
    int depth = 8;
};

class Planner
{
public:
    Planner(const QByteArray &file, const isobmff::Meta &meta, const PictureLimits &limits)
        : m_file(file)
        , m_meta(meta)
        , m_limits(limits)
    { }

    // A coded frame: HEVC, whose parameter sets must not state a frame larger than the item
    // (padded to whole coding blocks), or AV1, which libavif bounds by the item's size.
    QSize coded(const isobmff::Item &item, Plan &plan)
    {
        const QSize stated = statedSize(m_meta, item);
        plan.depth = std::max(plan.depth, depthOf(m_meta, item));
        QSize frame = stated;
        if (item.type == "hvc1") {
            plan.hevc = true;
            const isobmff::Box *hvcC = m_meta.property(item, "hvcC");
            if (!hvcC)
                refuse();
            for (const QSize f : hevcFrames(hvcC->body, isobmff::itemView(m_file, m_meta, item))) {
                if (f.width() > stated.width() + 64 || f.height() > stated.height() + 64)
                    refuse();
                frame = frame.expandedTo(f);
            }
        } else if (item.type == "av01") {
            plan.av1 = true;
        } else {
            refuse();
        }
        plan.work += qint64(frame.width()) * frame.height();
        return frame;
    }

    // The image an item makes: a coded frame, a grid of them, an overlay of them, or one of
    // those again (`iden`). Returns its size; the bytes held for it go into the plan.
    QSize image(const isobmff::Item &item, Plan &plan, bool derivedAllowed = true)
    {
        if (item.type == "hvc1" || item.type == "av01") {
            const QSize frame = coded(item, plan);
            plan.held = std::max(plan.held, frameBytes(frame, plan));
            return statedSize(m_meta, item);
        }
        if (!derivedAllowed)
            refuse(); // derived from a derived image: nothing writes that
        if (item.type == "iden") {
            if (item.derivedFrom.size() != 1)
                refuse();
            return image(m_meta.item(item.derivedFrom.front()), plan, false);
        }
        if (item.type == "grid")
            return grid(item, plan);
        if (item.type == "iovl")
            return overlay(item, plan);
        refuse();
    }

private:
    qint64 frameBytes(QSize frame, const Plan &plan) const
    {
        return qint64(frame.width()) * frame.height()
            * (plan.depth > 8 ? DecodedFrameBytes16 : DecodedFrameBytes8);
    }

    qint64 canvasBytes(QSize canvas, const Plan &plan) const
    {
        return qint64(canvas.width()) * canvas.height() * CanvasPlanes * (plan.depth > 8 ? 2 : 1);
    }

    // The output size a grid's or an overlay's own data states, counted at once; the size its
    // box states, where it states one, is the same.
    QSize outputSize(const isobmff::Item &item, isobmff::Reader &in, bool wide) const
    {
        const quint64 width = in.number(wide ? 4 : 2), height = in.number(wide ? 4 : 2);
        if (width < 1 || height < 1 || width > 65535 || height > 65535
            || qint64(width * height) > m_limits.pixels)
            refuse();
        const QSize canvas {int(width), int(height)};
        if (m_meta.property(item, "ispe") && statedSize(m_meta, item) != canvas)
            refuse();
        return canvas;
    }

    // Tiles of one size, as many as the grid has places, covering its canvas: every pixel shown
    // is one a tile decoded.
    QSize grid(const isobmff::Item &item, Plan &plan)
    {
        const QByteArray data = isobmff::itemData(m_file, m_meta, item, 64);
        isobmff::Reader in(data);
        if (in.u8() != 0)
            refuse();
        const bool wide = in.u8() & 1;
        const int rows = int(in.u8()) + 1, columns = int(in.u8()) + 1;
        const QSize canvas = outputSize(item, in, wide);
        if (item.derivedFrom.size() != std::size_t(rows) * std::size_t(columns))
            refuse();
        QSize tile;
        qint64 tileBytes = 0;
        for (const quint32 id : item.derivedFrom) {
            Plan one;
            one.depth = plan.depth;
            const QSize size = image(m_meta.item(id), one, false);
            if (!tile.isEmpty() && size != tile)
                refuse();
            tile = size;
            plan.hevc |= one.hevc;
            plan.av1 |= one.av1;
            plan.depth = std::max(plan.depth, one.depth);
            plan.work += one.work;
            tileBytes = std::max(tileBytes, one.held);
        }
        if (qint64(tile.width()) * columns < canvas.width()
            || qint64(tile.height()) * rows < canvas.height())
            refuse();
        plan.held = std::max(plan.held,
                             canvasBytes(canvas, plan)
                                 + tileBytes * std::min<qint64>(TilesAtOnce, rows * columns));
        return canvas;
    }

    // Layers placed on a canvas of their own: the canvas and the largest layer held.
    QSize overlay(const isobmff::Item &item, Plan &plan)
    {
        const QByteArray data = isobmff::itemData(m_file, m_meta, item, 4096);
        isobmff::Reader in(data);
        if (in.u8() != 0)
            refuse();
        const bool wide = in.u8() & 1;
        in.skip(8); // the fill colour
        const QSize canvas = outputSize(item, in, wide);
        if (item.derivedFrom.empty())
            refuse();
        qint64 layerBytes = 0;
        for (const quint32 id : item.derivedFrom) {
            in.skip(wide ? 8 : 4); // where the layer lies
            Plan one;
            one.depth = plan.depth;
            image(m_meta.item(id), one, false);
            plan.hevc |= one.hevc;
            plan.av1 |= one.av1;
            plan.depth = std::max(plan.depth, one.depth);
            plan.work += one.work;
            layerBytes = std::max(layerBytes, one.held);
        }
        plan.held = std::max(plan.held, canvasBytes(canvas, plan) + layerBytes);
        return canvas;
    }

    const QByteArray &m_file;
    const isobmff::Meta &m_meta;
    const PictureLimits &m_limits;
};

// The alpha plane libheif adds to the shown image: an auxiliary image that says it is one.
const isobmff::Item *alphaOf(const isobmff::Meta &meta, quint32 shown)
{
    for (const quint32 id : meta.referringTo(shown, "auxl")) {
        const isobmff::Item &item = meta.item(id);
        const isobmff::Box *auxC = meta.property(item, "auxC");
        if (auxC
            && (auxC->body.mid(4).startsWith("urn:mpeg:hevc:2015:auxid:1")
                || auxC->body.mid(4).startsWith("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha")))
            return &item;
    }
    return nullptr;
}

// The clean aperture, turn and mirror of the shown image, in the order the format fixes.
struct Transforms
{
    QRect crop; // in the decoded picture
    int quarterTurns = 0; // anticlockwise
    int mirror = -1; // the axis: 0 vertical, 1 horizontal
};

// libheif's own rounding of a clean aperture, so that a crop shows what heif-convert shows.
QRect cleanAperture(const QByteArray &clap, QSize size)
{
    isobmff::Reader in(clap);
    qint64 v[8];
    for (qint64 &n : v)
        n = qint64(in.u32());
    for (const int signedAt : {4, 6})
        v[signedAt] = qint64(qint32(quint32(v[signedAt])));
    for (const int denominator : {1, 3, 5, 7})
        if (v[denominator] == 0 || v[denominator] > 0x7fffffff || v[denominator - 1] > 0x7fffffff)
            refuse();
    // left = offset + (size - 1) / 2 - (aperture - 1) / 2, as fractions
    const auto corner = [](qint64 num, qint64 den, qint64 offNum, qint64 offDen, int side) {
        const qint64 d = 2 * den * offDen;
        const qint64 n = offNum * 2 * den + qint64(side - 1) * den * offDen - (num - den) * offDen;
        return std::pair {n, d};
    };
    const auto [ln, ld] = corner(v[0], v[1], v[4], v[5], size.width());
    const auto [tn, td] = corner(v[2], v[3], v[6], v[7], size.height());
    const qint64 left = ln / ld;
    const qint64 top = (tn + td / 2) / td;
    const qint64 right = ((v[0] - v[1]) + left * v[1] + v[1] / 2) / v[1];
    const qint64 bottom = ((v[2] - v[3]) + top * v[3] + v[3] / 2) / v[3];
    const QRect crop(QPoint(int(std::max<qint64>(left, 0)), int(std::max<qint64>(top, 0))),
                     QPoint(int(std::min<qint64>(right, size.width() - 1)),
                            int(std::min<qint64>(bottom, size.height() - 1))));
    if (!crop.isValid())
        refuse();
    return crop;
}

Transforms transformsOf(const isobmff::Meta &meta, const isobmff::Item &item, QSize size)
{
    Transforms t;
    t.crop = QRect(QPoint(0, 0), size);
    int stage = 0; // clean aperture, then turn, then mirror: another order is not the format's
    for (const int index : item.properties) {
        const isobmff::Box &box = meta.properties[std::size_t(index)];
        if (box.type == "clap") {
            if (stage > 0)
                refuse();
            t.crop = cleanAperture(box.body, size);
            stage = 1;
        } else if (box.type == "irot") {
            if (stage > 1 || box.body.isEmpty())
                refuse();
            t.quarterTurns = uchar(box.body[0]) & 3;
            stage = 2;
        } else if (box.type == "imir") {
            if (stage > 2 || box.body.isEmpty())
                refuse();
            t.mirror = uchar(box.body[0]) & 1;
            stage = 3;
        }
    }
    return t;
}

// libheif 1.15 gives a coded picture as RGB planes at the file's depth; later ones as the
// decoder's YCbCr planes, converted a band at a time by libavif's converter.
void rgbRows(const heif_image *decoded, const QRect &crop, bool alpha, RowScaler &scaler)
{
    const heif_channel channels[]
        = {heif_channel_R, heif_channel_G, heif_channel_B, heif_channel_Alpha};
    const uint8_t *planes[4] = {};
    int strides[4] = {};
    const int depth = heif_image_get_bits_per_pixel_range(decoded, heif_channel_R);
    for (int c = 0; c < (alpha ? 4 : 3); ++c) {
        planes[c] = heif_image_get_plane_readonly(decoded, channels[c], &strides[c]);
        if (!planes[c] || heif_image_get_bits_per_pixel_range(decoded, channels[c]) != depth
            || heif_image_get_width(decoded, channels[c]) <= crop.right()
            || heif_image_get_height(decoded, channels[c]) <= crop.bottom())
            refuse();
    }
    if (depth < 8 || depth > 16)
        refuse();
    const int shift = depth - 8;
    for (int y = 0; y < crop.height(); ++y) {
        auto *out = reinterpret_cast<QRgb *>(scaler.rowFor(y));
        const auto sample = [&](int c, int x) -> int {
            const qsizetype row = qsizetype(crop.top() + y) * strides[c];
            if (depth == 8)
                return planes[c][row + crop.left() + x];
            quint16 v;
            std::memcpy(&v, planes[c] + row + 2 * (crop.left() + x), 2);
            return v >> shift;
        };
        for (int x = 0; x < crop.width(); ++x)
            out[x] = qRgba(sample(0, x), sample(1, x), sample(2, x), alpha ? sample(3, x) : 255);
        scaler.put(y);
    }
}

void yuvRows(const heif_image *decoded, const heif_image_handle *primary, const QRect &crop,
             RowScaler &scaler)
{
    const QSize full(heif_image_get_width(decoded, heif_channel_Y),
                     heif_image_get_height(decoded, heif_channel_Y));
    const int depth = heif_image_get_bits_per_pixel_range(decoded, heif_channel_Y);
    if (depth < 8 || depth > 16 || full.width() <= crop.right() || full.height() <= crop.bottom())
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
    // How the samples read as colours, as libheif would read them: BT.601, full range, where the
    // file does not say.
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
    if (heif_image_has_channel(decoded, heif_channel_Alpha)) {
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
    yuvRowsToScaler(*image,
                    avifCropRect {quint32(crop.x()), quint32(crop.y()), quint32(crop.width()),
                                  quint32(crop.height())},
                    scaler);
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
    const isobmff::Meta meta = isobmff::readMeta(file);
    const isobmff::Item &shown = meta.item(meta.primary);
    Planner planner(file, meta, load.limits);
    Plan plan;
    plan.size = planner.image(shown, plan);
    const isobmff::Item *alpha = alphaOf(meta, shown.id);
    if (alpha) {
        Plan alone;
        if (planner.image(*alpha, alone) != plan.size)
            refuse(); // an alpha plane of another size than its picture
        plan.hevc |= alone.hevc;
        plan.av1 |= alone.av1;
        plan.work += alone.work;
        plan.held += qint64(plan.size.width()) * plan.size.height()
            * (std::max(plan.depth, alone.depth) > 8 ? AlphaBytes16 : AlphaBytes8);
    }
    if (plan.av1) {
        // AV1 through libavif, which bounds each frame by the size its container states; a
        // picture mixing AV1 with HEVC has no decoder that bounds both.
        if (plan.hevc)
            refuse();
        QByteArray avif = QByteArray(file).replace(8, 4, "avif");
        QBuffer buffer(&avif);
        buffer.open(QIODevice::ReadOnly);
        Load again {buffer, load.box, load.limits, load.working, load.threads};
        return avifCodec().decode(again);
    }
    if (plan.work > load.limits.pixels)
        refuse();
    checkWholeDecode(load, plan.size, plan.held);
    const Transforms transforms = transformsOf(meta, shown, plan.size);

    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        refuse();
    // Tiles of a grid on several cores; none where there is one (libheif's 0).
    heif_context_set_max_decoding_threads(context.get(), load.threads > 1 ? load.threads : 0);
    if (heif_context_read_from_memory_without_copy(context.get(), file.constData(),
                                                   std::size_t(file.size()), nullptr)
            .code
        != heif_error_Ok)
        refuse();
    heif_item_id primaryId = 0;
    if (heif_context_get_primary_image_ID(context.get(), &primaryId).code != heif_error_Ok
        || primaryId != shown.id)
        refuse(); // libheif would show another image than the one counted
    heif_image_handle *primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        refuse();
    std::unique_ptr<const heif_image_handle, HandleFree> handle(primary);

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->ignore_transformations = 1;
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;
    heif_image *decoded = nullptr;
    if (heif_decode_image(primary, &decoded, heif_colorspace_undefined, heif_chroma_undefined,
                          options.get())
            .code
        != heif_error_Ok)
        refuse();
    std::unique_ptr<const heif_image, ImageFree> image(decoded);
    if (heif_image_get_primary_width(decoded) != plan.size.width()
        || heif_image_get_primary_height(decoded) != plan.size.height())
        refuse();
    const bool hasAlpha = heif_image_has_channel(decoded, heif_channel_Alpha);
    const QSize full = transforms.crop.size();
    const bool quarterTurn = transforms.quarterTurns % 2;
    RowScaler scaler(full, fittedSize(full, quarterTurn ? load.box.transposed() : load.box),
                     hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, load.working);
    switch (heif_image_get_colorspace(decoded)) {
    case heif_colorspace_RGB:
        if (heif_image_get_chroma_format(decoded) != heif_chroma_444)
            refuse();
        rgbRows(decoded, transforms.crop, hasAlpha, scaler);
        break;
    case heif_colorspace_YCbCr:
    case heif_colorspace_monochrome:
        yuvRows(decoded, primary, transforms.crop, scaler);
        break;
    default:
        refuse();
    }
    image.reset();
    QImage picture = scaler.finish();
    if (transforms.quarterTurns)
        picture = picture.transformed(QTransform().rotate(-90.0 * transforms.quarterTurns));
    if (transforms.mirror >= 0)
        picture = flippedImage(picture, transforms.mirror == 1 ? Qt::Horizontal : Qt::Vertical);
    return picture;
}

const Codec &heifCodec()
{
    static const Heif codec;
    return codec;
}
