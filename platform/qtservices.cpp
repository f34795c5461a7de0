// SPDX-License-Identifier: GPL-3.0-or-later
#include "qtservices.h"

#include "runtimeerror.h"

#include <cstdio>
#include <cstdlib>

#include "sounddevice.h"
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QIdentityProxyModel>
#include <QLibrary>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

namespace {
class ClassicDialogButtons : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

extern "C" void __lsan_do_leak_check() __attribute__((weak));

void leaveProcess(int code)
{
    std::fflush(nullptr);
    if (&__lsan_do_leak_check)
        __lsan_do_leak_check();
    std::quick_exit(code);
}

void useClassicDialogButtons()
{
    QApplication::setStyle(new ClassicDialogButtons);
}

namespace {
// Qt centres a box without a parent on the screen under the pointer; the game's screen is the
// primary one.
class PrimaryScreenBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        // With one screen Qt centres it there already.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (screen && QGuiApplication::screens().size() > 1)
            move(screen->availableGeometry().center() - rect().center());
    }
};
} // namespace

QtMessageBox::Answer QtMessageBox::MsgBox(const QString &prompt, Buttons buttons,
                                          const QString &title)
{
    PrimaryScreenBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok);
    if (buttons == Buttons::OkCancel)
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

int QtScreenMetrics::GetSystemMetrics(int index)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    // In device-independent pixels, the unit the layouts are drawn in: a scaled screen reports
    // the room the windows really have, as the classic desktop tells programs not aware of DPI.
    const QSize size = screen->geometry().size();
    return index == SM_CXSCREEN ? size.width() : index == SM_CYSCREEN ? size.height() : 0;
}

QRect QtScreenMetrics::workArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QString caseInsensitivePattern(const QString &pattern)
{
    QString result;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

QStringList dialogPatterns(const QString &pattern)
{
    QStringList patterns {caseInsensitivePattern(pattern)};
    static const QRegularExpression threeLetters(QStringLiteral("^\\*\\.([a-zA-Z0-9]{3})$"));
    const QString extension = threeLetters.match(pattern).captured(1).toLower();
    if (extension.isEmpty())
        return patterns;
    // As the classic dialog did: longer extensions that start with the pattern's three letters,
    // and JPEG's four-letter spelling, which cameras and browsers write; with it the formats
    // phones and browsers now write their photos in.
    patterns << caseInsensitivePattern(pattern + QStringLiteral("?*"));
    if (extension == QLatin1String("jpg"))
        for (const char *photo : {"*.jpeg", "*.heic", "*.heif", "*.avif", "*.webp"})
            patterns << caseInsensitivePattern(QLatin1String(photo));
    return patterns;
}

namespace {
// Qt's file list writes sizes and dates in the system's language whatever the default locale
// says (which gives the file types); the game's dialog writes them in Italian.
class ItalianFileColumns : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1:
            return files->isDir(source) ? QString()
                                        : m_italian.formattedDataSize(files->size(source));
        case 2: // Qt's Italian has no word of its own for a folder's type
            return files->isDir(source) ? QStringLiteral("Cartella")
                                        : QIdentityProxyModel::data(index, role);
        case 3:
            return m_italian.toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }

private:
    const QLocale m_italian {QLocale::Italian, QLocale::Italy};
};
} // namespace

void QtFileOpenDialog::ShowOpen()
{
    QFileDialog dialog(nullptr, QFileDialog::tr("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ItalianFileColumns(&dialog));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList nameFilters;
    for (const FilterEntry &entry : parseFilter(Filter)) {
        QStringList patterns;
        for (const QString &pattern : entry.patterns)
            patterns << dialogPatterns(pattern);
        nameFilters << QStringLiteral("%1 (%2)").arg(entry.description,
                                                     patterns.join(QLatin1Char(' ')));
    }
    if (!nameFilters.isEmpty())
        dialog.setNameFilters(nameFilters);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        FileName = dialog.selectedFiles().constFirst();
        return;
    }
    if (CancelError)
        throw RuntimeError(QStringLiteral("Cancel was selected"));
}

QtMediaPlayer::QtMediaPlayer(QStringList moduleDirs)
    : m_moduleDirs(std::move(moduleDirs))
{ }
QtMediaPlayer::~QtMediaPlayer() = default;

SoundDevice *QtMediaPlayer::device()
{
    if (!m_loadTried) {
        m_loadTried = true;
        for (const QString &dir : std::as_const(m_moduleDirs)) {
            QLibrary module(dir + QStringLiteral("/puzzle_sound"));
            if (auto create
                = reinterpret_cast<CreateSoundDevice>(module.resolve(CreateSoundDeviceSymbol))) {
                m_device.reset(create());
                break;
            }
        }
    }
    return m_device.get();
}

QUrl QtMediaPlayer::resolve(const QString &fileName)
{
    if (fileName.isEmpty())
        return {};
    if (QFile::exists(fileName))
        return QUrl::fromLocalFile(fileName);
    const QString name = fileName.section(QLatin1Char('\\'), -1).section(QLatin1Char('/'), -1);
    if (name.compare(QLatin1String("Windows XP - Notifica.wav"), Qt::CaseInsensitive) == 0)
        return QUrl(QStringLiteral("qrc:/media/notify.wav"));
    if (name.compare(QLatin1String("tada.wav"), Qt::CaseInsensitive) == 0)
        return QUrl(QStringLiteral("qrc:/media/tada.wav"));
    return {};
}

void QtMediaPlayer::setCommand(const QString &command)
{
    const QString word = command.trimmed().toLower();
    if (word == QLatin1String("close")) {
        if (m_device)
            m_device->close();
        m_open = false;
    } else if (word == QLatin1String("open")) {
        const QUrl source = resolve(m_fileName);
        m_open = source.isValid() && device();
        if (m_open)
            m_device->open(source);
    } else if (word == QLatin1String("play")) {
        if (m_open)
            m_device->play();
    }
}
