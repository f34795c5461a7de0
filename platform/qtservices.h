// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"

#include <QUrl>
#include <memory>
#include <vector>

class SoundDevice;

class QDialog;

// The dialogs are kept, hidden, once answered: their windows go with the process.
class QtMessageBox : public MessageBoxService
{
public:
    QtMessageBox();
    ~QtMessageBox() override;
    Answer MsgBox(const QString &prompt, Buttons buttons, const QString &title) override;

private:
    std::vector<std::unique_ptr<QDialog>> m_boxes;
};

class QtScreenMetrics : public ScreenMetrics
{
public:
    int GetSystemMetrics(int index) override;
    QRect workArea() override;
};

// Qt's own file dialog (not the desktop's), so that it speaks Italian with Qt's translations.
class QtFileOpenDialog : public FileOpenDialog
{
public:
    QtFileOpenDialog();
    ~QtFileOpenDialog() override;
    void ShowOpen() override;

private:
    std::unique_ptr<QDialog> m_dialog;
};

// Plays sound files, never blocking. The Windows system sounds the game names map to the
// bundled ones; where the named file exists, it is played itself. The audio backend is loaded
// and the device opened at the first sound, not before; without them, nothing is heard and
// nothing is said.
class QtMediaPlayer : public MediaPlayer
{
public:
    // Where the backend module is looked for, first found first.
    explicit QtMediaPlayer(QStringList moduleDirs = {});
    ~QtMediaPlayer() override;
    void setFileName(const QString &fileName) override { m_fileName = fileName; }
    void setCommand(const QString &command) override;

    bool deviceLoaded() const { return m_device != nullptr; }

    // Where a file name is played from: the file itself, a bundled stand-in, or nothing.
    static QUrl resolve(const QString &fileName);

private:
    SoundDevice *device();

    QStringList m_moduleDirs;
    QString m_fileName;
    std::unique_ptr<SoundDevice> m_device;
    bool m_loadTried = false;
    bool m_open = false;
};

// Ends the process without tearing anything down: once loaded, the audio stack's exit handlers
// can hang (they wait on a sound-server thread), and the windows' teardown races the display
// client's own threads. The game has nothing to save, so nothing is lost. Sanitizer builds
// still check for leaks first.
[[noreturn]] void leaveProcess(int code);

// Before the application is made: where the locale's character type is not UTF-8 (a bare
// "C", as containers and services have), uses C.UTF-8 for it and keeps every other category,
// as Qt itself would, but without the notice Qt 6.8 prints there. Does nothing elsewhere.
void useUtf8CharacterType();

// Dialog buttons without icons, as classic message boxes have them; it also spares the icon
// theme look-up when the first box opens. Installs itself as the application's style.
void useClassicDialogButtons();

// The wildcard a file dialog needs to match a pattern such as "*.jpg" in any letter case.
QString caseInsensitivePattern(const QString &pattern);
// The patterns the dialog lists a filter's pattern as: any case, and "*.jpg" with ".jpeg" and
// the photo formats that came after it (HEIF, AVIF, WebP).
QStringList dialogPatterns(const QString &pattern);
