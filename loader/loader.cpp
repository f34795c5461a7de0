// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec.h"

#include "runtimeerror.h"

#include <QFile>
#include <QFileInfo>

Picture LoadPicture(const QString &path, QSize decodeBox, const PictureLimits &limits,
                    const LoadProgress &working)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(QStringLiteral("Permission denied: %1").arg(path));
    return decodePicture(file, decodeBox, limits, working);
}

Picture decodePicture(QIODevice &device, QSize decodeBox, const PictureLimits &limits,
                      const LoadProgress &working)
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
        Load load {device, decodeBox, limits, working};
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
