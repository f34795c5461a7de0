// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec.h"

#include "runtimeerror.h"

#include <QIODevice>

#include <algorithm>

Picture decodePicture(QIODevice &device, QSize decodeBox, const PictureLimits &limits,
                      const LoadProgress &working, int threads)
{
    if (device.size() > limits.fileBytes)
        refuse();
    // By content, whatever the name: every other format's reader is slow or unbounded over
    // text (PNM, XPM, XBM) or not one the game offers.
    const QByteArray head = device.peek(16);
    for (const Codec *codec : {&jpegCodec(), &pngCodec(), &gifCodec(), &bmpCodec(), &icoCodec(),
                               &heifCodec(), &avifCodec(), &webpCodec()}) {
        if (!codec->recognises(head))
            continue;
        Load load {device, decodeBox, limits, working, std::max(1, threads)};
        return codec->decode(load);
    }
    refuse();
}

QSize fittedSize(QSize size, QSize box)
{
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}
