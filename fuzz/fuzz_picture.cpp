// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes in, a picture cut for a grid out: the loading and cutting a player's file goes through.
#include "pictureclip.h"
#include "pictures.h"

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

    // Scaling costs a few operations a pixel: under the sanitizers the 64 megapixels a file may
    // claim take longer than the time allowed an input, so inputs here claim less.
    const testpictures::Decoded decoded = testpictures::decodeTwice(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
        {.pixels = 1'000'000});
    if (!decoded.alike)
        std::abort(); // a pixel the file never set: two loads of it differ
    if (decoded.refused)
        return 0; // not a picture: the game ignores it
    const Picture &picture = decoded.picture;
    if (picture.width() > PictureDecodeBox.width() || picture.height() > PictureDecodeBox.height())
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
    return 0;
}
