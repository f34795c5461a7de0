// SPDX-License-Identifier: GPL-3.0-or-later
#include "qtservices.h"

#include "runtimeerror.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if __has_include(<langinfo.h>)
#include <langinfo.h>
#endif

#include "sounddevice.h"
#include <QApplication>
#include <QEventLoop>
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
#include <QWindow>

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

void useUtf8CharacterType()
{
#if __has_include(<langinfo.h>)
    const auto utf8 = [] {
        const char *codeset = nl_langinfo(CODESET);
        return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    };
    if (!std::setlocale(LC_ALL, "") || utf8())
        return;
    const bool available = std::setlocale(LC_CTYPE, "C.UTF-8") && utf8();
    std::setlocale(LC_ALL, "C");
    if (!available)
        return;
    // LC_ALL overrides every category: spread it over them, all but the character type.
    if (const QByteArray all = qgetenv("LC_ALL"); !all.isEmpty()) {
        for (const char *category :
             {"LC_COLLATE", "LC_MESSAGES", "LC_MONETARY", "LC_NUMERIC", "LC_TIME"})
            qputenv(category, all);
        qunsetenv("LC_ALL");
    }
    qputenv("LC_CTYPE", "C.UTF-8");
#endif
}

void useClassicDialogButtons()
{
    QApplication::setStyle(new ClassicDialogButtons);
}

namespace {
// A modal dialog that ends by hiding, its window kept until the process ends. Qt 6.4's Wayland
// client delivers frames on a thread of its own, which may be inside a window's frame callback,
// holding the window's lock, when the window is closed; and a dialog's end closes its window
// (QDialogPrivate::close, which no subclass can change), which deletes it under that thread.
// The window's close is taken before Qt sees it; the dialog is hidden instead.
template<class Dialog> class KeptDialog : public Dialog
{
public:
    using Dialog::Dialog;

    // As exec(): shown modal, the answer once the dialog ends.
    int run()
    {
        QEventLoop loop;
        m_loop = &loop;
        const QMetaObject::Connection ended
            = QObject::connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        this->setWindowModality(Qt::ApplicationModal);
        this->setResult(0);
        this->winId();
        if (this->windowHandle() != m_watched) {
            m_watched = this->windowHandle();
            m_watched->installEventFilter(this);
        }
        this->show();
        loop.exec(QEventLoop::DialogExec);
        QObject::disconnect(ended);
        m_loop = nullptr;
        this->hide();
        return this->result();
    }

protected:
    // Any close, by an answer or the title bar's button, ends the dialog with the answer
    // given so far (none for the title bar).
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_watched && event->type() == QEvent::Close) {
            this->hide();
            if (m_loop)
                m_loop->quit();
            return true;
        }
        return Dialog::eventFilter(watched, event);
    }

private:
    QEventLoop *m_loop = nullptr;
    QWindow *m_watched = nullptr;
};

// Qt centres a box without a parent on the screen under the pointer; the game's screen is the
// primary one. Placed there before it is shown, so that Qt leaves the place alone (under Qt 6.8
// a move at the show event no longer reaches the window manager before it places the box), and
// once more at the show event, with the size the box has taken by then.
class PrimaryScreenBox : public KeptDialog<QMessageBox>
{
public:
    using KeptDialog::KeptDialog;

    void centreOnPrimaryScreen()
    {
        // With one screen Qt centres it there already.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (screen && QGuiApplication::screens().size() > 1)
            move(screen->availableGeometry().center() - rect().center());
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        centreOnPrimaryScreen();
    }
};

class KeptFileDialog : public KeptDialog<QFileDialog>
{
public:
    using KeptDialog::KeptDialog;
};
} // namespace

QtMessageBox::QtMessageBox() = default;
QtMessageBox::~QtMessageBox() = default;

QtMessageBox::Answer QtMessageBox::MsgBox(const QString &prompt, Buttons buttons,
                                          const QString &title)
{
    auto *box = new PrimaryScreenBox(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok);
    m_boxes.emplace_back(box);
    if (buttons == Buttons::OkCancel)
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Ok);
    box->adjustSize();
    box->centreOnPrimaryScreen();
    return box->run() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
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

QtFileOpenDialog::QtFileOpenDialog() = default;
QtFileOpenDialog::~QtFileOpenDialog() = default;

void QtFileOpenDialog::ShowOpen()
{
    if (!m_dialog) {
        auto *kept = new KeptFileDialog(nullptr, QFileDialog::tr("Open"));
        m_dialog.reset(kept);
        kept->setOption(QFileDialog::DontUseNativeDialog);
        kept->setProxyModel(new ItalianFileColumns(kept));
        kept->setOption(QFileDialog::HideNameFilterDetails);
        kept->setFileMode(QFileDialog::ExistingFile);
        kept->setAcceptMode(QFileDialog::AcceptOpen);
    }
    auto &dialog = static_cast<KeptFileDialog &>(*m_dialog);
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
    if (dialog.run() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
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
