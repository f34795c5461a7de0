// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls.h"
#include "puzzleform.h"
#include "services.h"

#include <QVariant>
#include <memory>

// The start-up window: reports the screen, then stays behind the game as a disabled,
// screen-filling light-yellow background and opens the board window that suits the screen.
class Sfondo : public Window
{
    Q_OBJECT
public:
    Sfondo(ScreenMetrics &screen, MessageBoxService &messages, BoardServices boardServices);
    ~Sfondo() override;

    QVariant ScreenWidth;
    QVariant ScreenHeight;

    // The board window the screen test chooses for the stored screen size.
    bool choosesSmallBoard() const;
    // The board window of that choice, created on first use; null before.
    PuzzleForm *Puzzle_3m() const { return m_small.get(); }
    PuzzleForm *Puzzle_03() const { return m_large.get(); }

    void Form_Load() override;
    void Form_GotFocus() override;

    // A picture to open the board with (the program's argument), before the window loads.
    void setStartPicture(const QString &fileName) { m_startPicture = fileName; }

    // " 1024": the sign position, then the digits.
    static QString signedNumber(long long value);
    static inline const QString MessageTitle = QStringLiteral(" Schermo attuale");

private:
    void setUpWindow();
    void showChosenBoard();

    ScreenMetrics &m_screen;
    MessageBoxService &m_messages;
    BoardServices m_boardServices;
    std::unique_ptr<PuzzleForm> m_small;
    std::unique_ptr<PuzzleForm> m_large;
    bool m_boardAsked = false;
    QString m_startPicture;
};

// The resolution information window, which no other window opens.
class Form1 : public Window
{
    Q_OBJECT
public:
    Form1(ScreenMetrics &screen, MessageBoxService &messages);

    QVariant ScreenWidth;
    QVariant ScreenHeight;
    Label *Label1 = nullptr;
    Label *Label2 = nullptr;

    void Form_Load() override;

private:
    ScreenMetrics &m_screen;
    MessageBoxService &m_messages;
};
