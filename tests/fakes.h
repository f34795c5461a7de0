// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scripted stand-ins for the outside world, recording what the game asked of it.

#include "client.h"
#include "keyboardgrid.h"
#include "puzzleform.h"
#include "services.h"
#include "sfondo.h"

#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>

// Every load the tests make goes through this build's decoder program.
inline const bool decoderOfThisBuild = [] {
    setDecoderLocations({QStringLiteral(PUZZLE_DECODER_DIR)});
    return true;
}();

class FakeMessageBox : public MessageBoxService
{
public:
    struct Call
    {
        QString prompt;
        int buttons; // the code, as the classic call takes it
        QString title;
    };
    QList<Call> calls;
    Answer answer = Answer::Ok;
    Answer MsgBox(const QString &prompt, Buttons buttons, const QString &title) override
    {
        calls.append({prompt, static_cast<int>(buttons), title});
        return answer;
    }
};

class FakeScreen : public ScreenMetrics
{
public:
    FakeScreen(int width, int height)
        : width(width)
        , height(height)
    { }
    int width, height;
    QList<int> asked;
    int GetSystemMetrics(int index) override
    {
        asked.append(index);
        return index == SM_CXSCREEN ? width : height;
    }
    QRect area; // the whole screen unless a test sets panels or another monitor
    QRect workArea() override { return area.isNull() ? QRect(0, 0, width, height) : area; }
};

// Scripted draws; once the script runs out it draws from a seeded generator.
class FakeRandom : public RandomSource
{
public:
    explicit FakeRandom(std::uint64_t seed = 1)
        : generator(seed, [] { return std::int64_t(0); })
    { }
    std::deque<float> script;
    int draws = 0;
    ClockRandom generator;
    void Randomize() override { generator.Randomize(); }
    float Rnd() override
    {
        ++draws;
        if (!script.empty()) {
            const float r = script.front();
            script.pop_front();
            return r;
        }
        return generator.Rnd();
    }
};

// Makes the next deal of n tiles put these cells on tiles 0, 1, 2, ...
inline void script(FakeRandom &random, const QList<int> &cells)
{
    for (int cell : cells)
        random.script.push_back((float(cell) + 0.5f) / float(cells.size()));
}

class FakeFileDialog : public FileOpenDialog
{
public:
    QString answer; // the file chosen; empty means the player cancels
    int shown = 0;
    QString filterShown;
    std::function<void()> whileOpen; // runs while the dialog is up (to delete the file, say)
    void ShowOpen() override
    {
        ++shown;
        filterShown = Filter;
        if (whileOpen)
            whileOpen();
        if (answer.isEmpty()) {
            if (CancelError)
                throw RuntimeError(QStringLiteral("Cancel was selected"));
            return;
        }
        FileName = answer;
    }
};

class FakePlayer : public MediaPlayer
{
public:
    QStringList log; // "file=...", "close", "open", "play"
    void setFileName(const QString &fileName) override
    {
        log << QStringLiteral("file=") + fileName;
    }
    void setCommand(const QString &command) override { log << command; }
    int plays(const QString &file) const
    {
        int count = 0;
        QString current;
        for (const QString &entry : log) {
            if (entry.startsWith(QLatin1String("file=")))
                current = entry.mid(5);
            else if (entry == QLatin1String("play") && current == file)
                ++count;
        }
        return count;
    }
};

// The start-up window on a screen of the given size, with fakes behind it.
struct Startup
{
    Startup(int width, int height, MessageBoxService::Answer answer = MessageBoxService::Answer::Ok)
        : screen(width, height)
        , sfondo(screen, messages, BoardServices {dialog, player, random})
    {
        messages.answer = answer;
    }
    FakeScreen screen;
    FakeMessageBox messages;
    FakeFileDialog dialog;
    FakePlayer player;
    FakeRandom random;
    Sfondo sfondo;
};

// A board window as the start-up window would open it, with fakes behind it.
struct Board
{
    explicit Board(const BoardDefinition &definition = Puzzle_03(), std::uint64_t seed = 1)
        : random(seed)
        , form(definition, BoardServices {dialog, player, random})
    {
        form.Show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the board was never shown");
    }
    FakeFileDialog dialog;
    FakePlayer player;
    FakeRandom random;
    PuzzleForm form;

    QWindow *window() { return form.windowHandle(); }
    PictureBox *tile(int i) { return form.Image2(i); }
    QPoint centre(QWidget *w) { return w->mapTo(&form, w->rect().center()); }

    // What each tile in play shows, by tag; "-" for a hidden tile.
    QStringList tags()
    {
        QStringList out;
        for (int i = 0; i < form.TileCount; ++i)
            out << (form.Image2(i)->isVisible() ? form.Image2(i)->tag() : QStringLiteral("-"));
        return out;
    }
    int placedCount()
    {
        int placed = 0;
        for (int i = 0; i < form.TileCount; ++i)
            placed += form.Image2(i)->tag().toInt() == i;
        return placed;
    }

    void press(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(window(), b, {}, centre(w));
    }
    void release(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseRelease(window(), b, {}, centre(w));
    }
    void click(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(window(), b, {}, centre(w));
    }
    void move(QWidget *w) { QTest::mouseMove(window(), centre(w)); }
    void drag(QWidget *from, QWidget *to)
    {
        press(from);
        move(to);
        release(to);
    }
    void deal() { click(form.Cmd_Scambia); }

    // The keyboard: the tile area reached with Tab, places reached with the arrow keys.
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(window(), k, modifiers);
    }
    PictureBox *keyPlace() { return form.keys()->current(); }
    bool tabToTiles()
    {
        for (int i = 0; i < 8 && !form.Frame1->hasFocus(); ++i)
            key(Qt::Key_Tab);
        return form.Frame1->hasFocus();
    }
    void keyTo(QWidget *w)
    {
        QVERIFY(tabToTiles());
        for (int i = 0; i < 40 && keyPlace() != w; ++i)
            key(Qt::Key_Right);
        QCOMPARE(keyPlace(), w);
    }
    void keyClick(QWidget *w)
    {
        keyTo(w);
        key(Qt::Key_Space);
    }
    void keyDrag(QWidget *from, QWidget *to)
    {
        keyClick(from);
        keyTo(to);
        key(Qt::Key_Return);
    }
    // A click or a drag by either device.
    bool byKeys = false;
    void act(QWidget *w) { byKeys ? keyClick(w) : click(w); }
    void carry(QWidget *from, QWidget *to) { byKeys ? keyDrag(from, to) : drag(from, to); }
    void chooseGrid(int index) { form.co_ri[static_cast<size_t>(index)]->trigger(); }
};
