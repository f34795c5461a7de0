// SPDX-License-Identifier: GPL-3.0-or-later
// The floor: a bare Qt Widgets program that maps one window.
// With --text it shows one line of text, which is the floor for any window that says something:
// the first text brings up the font database.
#include <QApplication>
#include <QLabel>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (app.arguments().contains(QStringLiteral("--text")))
        window = std::make_unique<QLabel>(
            QStringLiteral("La definizione dello schermo attuale e'  1024 X  768"));
    else
        window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("reference"));
    window->resize(400, 120);
    window->show();
    return QApplication::exec();
}
