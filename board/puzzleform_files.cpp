// SPDX-License-Identifier: GPL-3.0-or-later
// Grid size, loading a picture, and leaving.
#include "puzzleform.h"

#include "client.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

void PuzzleForm::co_ri_Click(Int16 index)
{
    if (index < 0 || index >= static_cast<Int16>(gridChoices().size()))
        throw RuntimeError(QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    const GridChoice &choice = gridChoices()[static_cast<size_t>(index)];
    ColCount = static_cast<Int16>(choice.cols);
    RowCount = static_cast<Int16>(choice.rows);
    BuildBoard();
}

void PuzzleForm::mnu_carica_Click()
{
    CommonDialog1.CancelError = true;
    // Any failure from here on ends the handler silently, keeping what was done.
    guarded([this] {
        CommonDialog1.Filter = PictureFilter;
        CommonDialog1.ShowOpen();
        loadPictureFile(CommonDialog1.FileName);
    });
}

void PuzzleForm::openPicture(const QString &fileName)
{
    guarded([&] { loadPictureFile(fileName); });
}

namespace {
// The local file a drop or the clipboard names: a file's address, or its name as text.
QString localFile(const QMimeData &data)
{
    for (const QUrl &url : data.urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    const QString text = data.text().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (text.startsWith(QLatin1String("file:")))
        return QUrl(text).toLocalFile();
    return QFileInfo(text).isAbsolute() ? text : QString();
}

// The bytes of a picture the clipboard holds, as they were copied (PNG first, as browsers
// copy it): never decoded here.
QByteArray pictureBytes(const QMimeData &data)
{
    QStringList formats = data.formats().filter(QRegularExpression(QStringLiteral("^image/")));
    std::stable_partition(formats.begin(), formats.end(),
                          [](const QString &f) { return f == QLatin1String("image/png"); });
    return formats.isEmpty() ? QByteArray() : data.data(formats.front());
}
} // namespace

void PuzzleForm::pastePicture()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        throw RuntimeError(QStringLiteral("Nothing to paste"));
    if (const QString file = localFile(*data); !file.isEmpty())
        return loadPictureFile(file);
    const QByteArray bytes = pictureBytes(*data);
    if (bytes.isEmpty())
        throw RuntimeError(QStringLiteral("Nothing to paste"));
    usePicture(LoadPictureData(bytes));
}

void PuzzleForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFile(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PuzzleForm::dropEvent(QDropEvent *event)
{
    const QString file = localFile(*event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    // The file manager waits for the drop to end; the load takes its own time after.
    QMetaObject::invokeMethod(
        this, [this, file] { handle([&] { loadPictureFile(file); }); }, Qt::QueuedConnection);
}

void PuzzleForm::loadPictureFile(const QString &fileName)
{
    usePicture(LoadPicture(fileName));
}

void PuzzleForm::usePicture(const Picture &picture)
{
    Image1->setPicture(picture);
    PictureClip1.setPicture(Image1->picture());
    Frame1->setVisible(false);
    Image1->setVisible(true);
    BuildBoard();
}

void PuzzleForm::Cmd_Esci_Click()
{
    End();
}

void PuzzleForm::Form_Unload(int &)
{
    End();
}
