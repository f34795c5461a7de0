// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// The outside world of the windows, each behind a small interface: one Qt implementation for
// the game, one scripted fake for the tests.

class MessageBoxService
{
public:
    enum class Buttons { OkCancel = 1 };
    enum class Answer { Ok = 1, Cancel = 2 };
    virtual ~MessageBoxService() = default;
    // Shows the text with the buttons and the title, waits until it is closed, returns the button.
    virtual Answer MsgBox(const QString &prompt, Buttons buttons, const QString &title) = 0;
};

class ScreenMetrics
{
public:
    static constexpr int SM_CXSCREEN = 0;
    static constexpr int SM_CYSCREEN = 1;
    virtual ~ScreenMetrics() = default;
    // The primary screen's size in device-independent pixels.
    virtual int GetSystemMetrics(int index) = 0;
    // The part of the primary screen that windows may cover (without panels), on the desktop.
    virtual QRect workArea() = 0;
};

class RandomSource
{
public:
    virtual ~RandomSource() = default;
    // Mixes the clock into the running state (the sequence goes on; it does not restart).
    virtual void Randomize() = 0;
    // Uniform in 0 <= r < 1.
    virtual float Rnd() = 0;
};

// The generator the game plays with: the clock is a parameter so that tests can freeze it.
class ClockRandom : public RandomSource
{
public:
    using Clock = std::function<std::int64_t()>;
    explicit ClockRandom(std::uint64_t seed = 0, Clock clock = {});
    void Randomize() override;
    float Rnd() override;
    static std::int64_t systemClock();

private:
    std::uint64_t m_state;
    Clock m_clock;
};

// The file-open dialog, with the properties the board sets and reads.
class FileOpenDialog
{
public:
    virtual ~FileOpenDialog() = default;
    bool CancelError = false;
    QString Filter; // "description|patterns" pairs separated by "|"
    QString FileName; // the chosen file, after ShowOpen
    // Modal. Cancelling raises RuntimeError when CancelError is set.
    virtual void ShowOpen() = 0;
};

// The multimedia player: a file name and the commands "close", "open" and "play".
class MediaPlayer
{
public:
    virtual ~MediaPlayer() = default;
    virtual void setFileName(const QString &fileName) = 0;
    virtual void setCommand(const QString &command) = 0;
};

// Splits "desc|*.a;*.b|desc2|*.c" into its entries; shared by every dialog implementation.
struct FilterEntry
{
    QString description;
    QStringList patterns;
};
QList<FilterEntry> parseFilter(const QString &filter);
