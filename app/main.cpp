// SPDX-License-Identifier: GPL-3.0-or-later
#include "client.h"
#include "desktop.h"
#include "qtservices.h"
#include "sfondo.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

int main(int argc, char *argv[])
{
    useUtf8CharacterType();
    // Nothing the player could act on: Qt's Wayland client warns when a compositor says the
    // keyboard left a surface already gone, as every compositor may once a window closes (Qt
    // 6.8 under text input, 6.11 under the client itself); Qt 6.11 warns when a newer
    // accessibility registry asks it for a call it does not implement. QT_LOGGING_RULES still
    // shows them to a developer.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.wayland.textinput.warning=false\n"
                                                    "qt.qpa.wayland.warning=false\n"
                                                    "qt.accessibility.atspi.warning=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Puzzle"));
    QApplication::setDesktopFileName(QStringLiteral(PUZZLE_APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    useClassicDialogButtons();
    desktop::dropUnattachedInputDevices();

    // Qt's own buttons and dialogs speak Italian, as the game does, and so does the default
    // locale (the file types the dialog lists).
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QtScreenMetrics screen;
    QtMessageBox messages;
    QtFileOpenDialog dialog;
    const QString here = QCoreApplication::applicationDirPath();
    QtMediaPlayer player({here, here + QStringLiteral("/../" PUZZLE_LIBDIR "/puzzle")});
    setDecoderLocations({here, here + QStringLiteral("/../" PUZZLE_LIBEXECDIR "/puzzle")});
    ClockRandom random(static_cast<std::uint64_t>(ClockRandom::systemClock()));
    Sfondo sfondo(screen, messages, BoardServices {dialog, player, random});
    // "puzzle FILE", as a file manager's "Open with" starts it.
    if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1)
        sfondo.setStartPicture(arguments.at(1));
    sfondo.Show();
    const int code = QApplication::exec();
    // Without tearing down the windows or the audio stack: why is said at leaveProcess.
    leaveProcess(code);
}
