// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes in, a picture cut for a grid out: the loading and cutting a player's file goes through.
#include "pictureclip.h"
#include "runtimeerror.h"

#include <QBuffer>
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*=false");
        return new QGuiApplication(argc, argv);
    }();
    Q_UNUSED(app);

    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        const Picture picture = decodePicture(buffer);
        if (picture.width() > PictureDecodeBox.width()
            || picture.height() > PictureDecodeBox.height())
            std::abort(); // decoded larger than asked
        PictureClip clip;
        clip.setPicture(picture);
        clip.setCols(1 + static_cast<int>(size % 6));
        clip.setRows(1 + static_cast<int>(size / 6 % 5));
        for (int k = 0; k < clip.cols() * clip.rows(); ++k) {
            const Picture cell = clip.GraphicCell(k);
            if (cell.width() < 1 || cell.height() < 1)
                std::abort();
        }
    } catch (const RuntimeError &) {
        // not a picture: the game ignores it
    }
    return 0;
}
