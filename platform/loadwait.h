// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QDialog;
class QEventLoop;
class QProgressBar;
class QTimer;

// While the game waits for work of its own done elsewhere (a picture decoded in a process of
// its own): its windows keep answering as under a modal dialog (they repaint and answer the
// desktop and the screen reader, but take no input and run no handler), the busy pointer shows
// from 0.2 s, and from 1 s a small window shows the progress, with "Annulla". Only the pointer
// and the window look at the clock; the work's outcome never does.
class LoadWait : public QObject
{
    Q_OBJECT
public:
    // `cancel` is called once when the player gives up: Annulla, Escape or the window closed.
    explicit LoadWait(std::function<void()> cancel);
    ~LoadWait() override;

    // Runs the event loop until finish(); at once where finish() came first.
    void run();
    void finish();
    // Rows (or pixels) done of all there are; 0 of 0 where the work cannot say.
    void progress(qint64 done, qint64 total);

    // Whether the handlers of the game's controls wait now.
    static bool holding();
    // Tests: the window shows at once.
    static void showWindowAtOnce(bool atOnce);
    // Tests: the progress window while it shows, else nullptr.
    static QDialog *window();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showWindow();
    void release();
    bool inWindow(QObject *object) const;

    std::function<void()> m_cancel;
    QEventLoop *m_loop = nullptr;
    QTimer *m_busyTimer;
    QTimer *m_windowTimer;
    bool m_finished = false;
    bool m_busyShown = false;
    qint64 m_done = 0, m_total = 0;
};
