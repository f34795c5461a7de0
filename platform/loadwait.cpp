// SPDX-License-Identifier: GPL-3.0-or-later
#include "loadwait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {
bool g_holding = false;
bool g_windowAtOnce = false;

// The progress window: made once, kept hidden between loads, as the game's other dialogs are
// (its window goes with the process).
class ProgressWindow : public QDialog
{
public:
    ProgressWindow()
    {
        setWindowTitle(QStringLiteral("Puzzle"));
        setWindowModality(Qt::ApplicationModal);
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                       | Qt::WindowCloseButtonHint);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(
            new QLabel(QStringLiteral("Caricamento dell'immagine in corso..."), this));
        bar = new QProgressBar(this);
        bar->setTextVisible(false);
        bar->setMinimumWidth(260);
        layout->addWidget(bar);
        button = new QPushButton(QStringLiteral("Annulla"), this);
        button->setAutoDefault(false);
        auto *row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(button);
        layout->addLayout(row);
        setFixedSize(sizeHint());
        winId();
        windowHandle()->installEventFilter(this);
    }

    std::function<void()> cancel;
    QProgressBar *bar;
    QPushButton *button;

protected:
    // Escape, Annulla or the title bar's close: the load is given up, the window hidden, never
    // closed (Qt 6.4's Wayland client may still deliver a frame to a window it deletes).
    void reject() override { giveUp(); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == windowHandle() && event->type() == QEvent::Close) {
            giveUp();
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }

private:
    void giveUp()
    {
        hide();
        if (cancel)
            std::exchange(cancel, nullptr)();
    }
};

ProgressWindow *g_window = nullptr;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}
} // namespace

LoadWait::LoadWait(std::function<void()> cancel)
    : m_cancel(std::move(cancel))
    , m_busyTimer(new QTimer(this))
    , m_windowTimer(new QTimer(this))
{
    m_busyTimer->setSingleShot(true);
    m_windowTimer->setSingleShot(true);
    connect(m_busyTimer, &QTimer::timeout, this, [this] {
        if (!m_finished && !(g_window && g_window->isVisible())) {
            m_busyShown = true;
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    });
    connect(m_windowTimer, &QTimer::timeout, this, &LoadWait::showWindow);
}

LoadWait::~LoadWait()
{
    release();
}

namespace {
// A popup of a window the player left (the file dialog's list of completions, shown late as
// its folder was read) would keep the keys from the game.
void closePopups()
{
    for (int left = 8; left > 0 && QApplication::activePopupWidget(); --left)
        QApplication::activePopupWidget()->close();
}
} // namespace

// The wait is over: the pointer, the window and the input as they were.
void LoadWait::release()
{
    closePopups();
    m_busyTimer->stop();
    m_windowTimer->stop();
    if (m_busyShown)
        QGuiApplication::restoreOverrideCursor();
    m_busyShown = false;
    if (g_window) {
        g_window->cancel = nullptr;
        g_window->hide();
    }
    qApp->removeEventFilter(this);
    g_holding = false;
}

bool LoadWait::holding()
{
    return g_holding;
}

void LoadWait::showWindowAtOnce(bool atOnce)
{
    g_windowAtOnce = atOnce;
}

QDialog *LoadWait::window()
{
    return g_window && g_window->isVisible() ? g_window : nullptr;
}

void LoadWait::run()
{
    if (m_finished)
        return;
    g_holding = true;
    closePopups();
    qApp->installEventFilter(this);
    m_busyTimer->start(200);
    if (g_windowAtOnce)
        showWindow();
    else
        m_windowTimer->start(1000);
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    release();
}

void LoadWait::finish()
{
    m_finished = true;
    if (m_loop)
        m_loop->quit();
}

void LoadWait::progress(qint64 done, qint64 total)
{
    m_done = done;
    m_total = total;
    if (!window())
        return;
    if (total > 0) {
        g_window->bar->setRange(0, 1000);
        g_window->bar->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
    } else {
        g_window->bar->setRange(0, 0); // a moving bar: the work says nothing of how far it is
    }
}

void LoadWait::showWindow()
{
    if (m_finished)
        return;
    if (!g_window) {
        g_window = new ProgressWindow;
        connect(g_window->button, &QPushButton::clicked, g_window, &QDialog::reject);
    }
    g_window->cancel = [this] {
        if (m_cancel)
            std::exchange(m_cancel, nullptr)();
    };
    progress(m_done, m_total);
    // Over the window the player works in and belonging to it, with its icon.
    if (const QWidget *over = QApplication::activeWindow()) {
        g_window->setWindowIcon(over->windowIcon());
        g_window->windowHandle()->setTransientParent(over->windowHandle());
        g_window->move(over->geometry().center() - g_window->rect().center());
    }
    if (m_busyShown) {
        m_busyShown = false;
        QGuiApplication::restoreOverrideCursor();
    }
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    progress(m_done, m_total);
}

bool LoadWait::inWindow(QObject *object) const
{
    if (!g_window || !g_window->isVisible())
        return false;
    if (object == g_window->windowHandle())
        return true;
    const auto *widget = qobject_cast<QWidget *>(object);
    return widget && widget->window() == g_window;
}

// Input for the game's windows goes nowhere; the progress window takes its own.
bool LoadWait::eventFilter(QObject *watched, QEvent *event)
{
    if (!isInput(event->type()) || inWindow(watched))
        return false;
    event->ignore();
    return true;
}
