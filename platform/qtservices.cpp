#include "qtservices.h"

#include "runtimeerror.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSoundEffect>

int QtMessageBox::MsgBox(const QString &prompt, int buttons, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok);
    if (buttons == vbOKCancel)
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? vbOK : vbCancel;
}

int QtScreenMetrics::GetSystemMetrics(int index)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
    return index == SM_CXSCREEN ? pixels.width() : index == SM_CYSCREEN ? pixels.height() : 0;
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

void QtFileOpenDialog::ShowOpen()
{
    QFileDialog dialog(nullptr, QFileDialog::tr("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList nameFilters;
    for (const FilterEntry &entry : parseFilter(Filter)) {
        QStringList patterns;
        for (const QString &pattern : entry.patterns)
            patterns << caseInsensitivePattern(pattern);
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

QtMediaPlayer::QtMediaPlayer() = default;
QtMediaPlayer::~QtMediaPlayer() = default;

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
        if (m_effect)
            m_effect->stop();
        m_open = false;
    } else if (word == QLatin1String("open")) {
        const QUrl source = resolve(m_fileName);
        m_open = source.isValid();
        if (!m_open)
            return;
        if (!m_effect)
            m_effect = std::make_unique<QSoundEffect>();
        if (m_effect->source() != source)
            m_effect->setSource(source);
    } else if (word == QLatin1String("play")) {
        if (m_effect && m_open)
            m_effect->play();
    }
}
