#pragma once

#include "services.h"

#include <QUrl>
#include <memory>

class QSoundEffect;

class QtMessageBox : public MessageBoxService
{
public:
    int MsgBox(const QString &prompt, int buttons, const QString &title) override;
};

class QtScreenMetrics : public ScreenMetrics
{
public:
    int GetSystemMetrics(int index) override;
};

// Qt's own file dialog (not the desktop's), so that it speaks Italian with Qt's translations.
class QtFileOpenDialog : public FileOpenDialog
{
public:
    void ShowOpen() override;
};

// Plays sound files with QSoundEffect, never blocking. The Windows system sounds the game names
// map to the bundled ones; where the named file exists, it is played itself. The audio device
// is opened at the first sound, not before; without one, nothing is heard and nothing is said.
class QtMediaPlayer : public MediaPlayer
{
public:
    QtMediaPlayer();
    ~QtMediaPlayer() override;
    void setFileName(const QString &fileName) override { m_fileName = fileName; }
    void setCommand(const QString &command) override;

    // Where a file name is played from: the file itself, a bundled stand-in, or nothing.
    static QUrl resolve(const QString &fileName);

private:
    QString m_fileName;
    std::unique_ptr<QSoundEffect> m_effect;
    bool m_open = false;
};

// The wildcard a file dialog needs to match a pattern such as "*.jpg" in any letter case.
QString caseInsensitivePattern(const QString &pattern);
