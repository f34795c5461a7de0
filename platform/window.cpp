// SPDX-License-Identifier: GPL-3.0-or-later
#include "window.h"

#include "desktop.h"
#include "dragmanager.h"
#include "runtimeerror.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>

namespace {
bool g_ending = false;
QPoint g_screenOrigin;
std::function<void()> g_endHandler;
} // namespace

void Window::useDesktop(QPoint origin, double scale)
{
    g_screenOrigin = origin;
    setLayoutScale(scale);
    // Menus and dialogs shrink with the rest.
    static const QFont unscaled = QApplication::font();
    QFont font = unscaled;
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, qRound(font.pixelSize() * scale)));
    else
        font.setPointSizeF(font.pointSizeF() * scale);
    if (font != QApplication::font())
        QApplication::setFont(font);
}

void Window::setEndHandler(std::function<void()> handler)
{
    g_endHandler = std::move(handler);
}

Window::Window(QWidget *parent)
    : QMainWindow(parent)
    , m_client(new QWidget(this))
{
    setCentralWidget(m_client);
    m_client->setAutoFillBackground(true);
    DragManager::instance(); // drags are watched from the first window on
}

Window::~Window() = default;

void Window::setBackColor(const QColor &color)
{
    QPalette p = m_client->palette();
    p.setColor(QPalette::Window, color);
    m_client->setPalette(p);
}

void Window::setClientArea(double left, double top, double width, double height)
{
    m_clientTwips = QRectF(left, top, width, height);
    const QRect pixels = twipsToPixelRect(m_clientTwips);
    m_client->setFixedSize(pixels.size());
    placeOnScreen();
}

void Window::placeOnScreen()
{
    // The menu bar lies outside the client area, above it; the frame is the desktop's affair.
    const QRect pixels = twipsToPixelRect(m_clientTwips);
    const int menuHeight = menuWidget() ? menuBar()->sizeHint().height() : 0;
    adjustSize();
    m_askedPlace = g_screenOrigin + QPoint(pixels.left(), std::max(0, pixels.top() - menuHeight));
    setGeometry(QRect(*m_askedPlace, size()));
}

// An "&" before a blank marks no access key: it is neither drawn nor underlines the blank.
static QString menuText(QString caption)
{
    static const QRegularExpression lone(QStringLiteral("(?<!&)& "));
    return caption.replace(lone, QStringLiteral(" "));
}

QMenu *Window::addMenu(const QString &caption)
{
    QMenu *menu = menuBar()->addMenu(menuText(caption));
    placeOnScreen();
    return menu;
}

QAction *Window::addMenuItem(QMenu *menu, const QString &caption)
{
    return menu->addAction(menuText(caption));
}

void Window::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    guarded([this] { Form_Load(); });
}

void Window::Show()
{
    if (!m_loaded) {
        Load();
        // A load handler that showed the window itself has also arranged what lies above it
        // (the background opens the board over itself): raising it now would cover that.
        if (g_ending || isVisible())
            return;
    }
    // Already the window the player works in: under a Wayland compositor, where it would be
    // shown anew, nothing to bring back, and a pick-up in progress stays. Elsewhere a raise
    // costs nothing, and a click may have put the background above a board that kept the focus.
    const bool shownAnew = !desktop::grantsActivation();
    if (shownAnew && isVisible() && isActiveWindow() && !(windowState() & Qt::WindowMinimized)
        && desktop::managerCallsActive(this))
        return;
    // A window the window manager minimized comes back too, not only to the front.
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    // Where no program may raise, activate or restore its own window (nor is told that the
    // window was minimized), a window shown anew comes to the front.
    if (isVisible() && shownAnew) {
        hide();
        if (desktop::placesRemappedWindowsItself())
            renewNativeWindow();
    }
    show();
    if (shownAnew && desktop::losesMappedWindows())
        watchUntilFocused();
    if (m_fixedSize)
        desktop::keepFixedSize(this);
    desktop::activate(this);
}

// A new native window, asking for its own place as at its first showing.
void Window::renewNativeWindow()
{
    windowHandle()->destroy();
    if (m_askedPlace)
        setGeometry(QRect(*m_askedPlace, size()));
    m_focusedSinceShown = false;
}

// Shown, the window has the focus within a tenth of a second even on a busy machine; one still
// without it half a second later was lost, and is renewed, a few times at most.
void Window::watchUntilFocused()
{
    constexpr int Renewals = 5, TicksPerShowing = 5;
    if (!m_showWatch) {
        m_showWatch = new QTimer(this);
        m_showWatch->setInterval(100);
        connect(m_showWatch, &QTimer::timeout, this, [this] {
            if (m_focusedSinceShown || !isVisible() || m_renewalsLeft <= 0) {
                m_showWatch->stop();
            } else if (--m_ticksLeft <= 0) {
                --m_renewalsLeft;
                m_ticksLeft = TicksPerShowing;
                hide();
                renewNativeWindow();
                show();
            }
        });
    }
    m_focusedSinceShown = false;
    m_renewalsLeft = Renewals;
    m_ticksLeft = TicksPerShowing;
    m_showWatch->start();
}

void Window::End()
{
    if (g_endHandler) {
        g_endHandler();
        return;
    }
    g_ending = true;
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

void Window::closeEvent(QCloseEvent *event)
{
    int cancel = 0;
    if (!g_ending)
        guarded([&] { Form_Unload(cancel); });
    // Once the game ends its windows are hidden and go with the process. A close accepted now
    // would have Qt delete the window at once, while the Wayland client's frame thread may still
    // be delivering a frame to it (a lock freed while held).
    if (cancel || g_ending)
        event->ignore();
    else
        event->accept();
}

bool Window::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        guarded([this] { Form_GotFocus(); });
    else if (event->type() == QEvent::Show && windowHandle())
        watchWindowHandle();
    return QMainWindow::event(event);
}

void Window::watchWindowHandle()
{
    QWindow *handle = windowHandle();
    if (m_watchedHandle == handle)
        return;
    m_watchedHandle = handle;
    handle->installEventFilter(this);
    connect(handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state == Qt::WindowMaximized && m_fixedSize)
            QMetaObject::invokeMethod(
                this, [this] { desktop::refuseMaximize(this); }, Qt::QueuedConnection);
    });
}

void Window::setFixedSizeWindow()
{
    m_fixedSize = true;
    // Minimum and maximum size hints equal: no window manager offers resizing or maximizing,
    // and a tiling compositor floats the window at its own size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Window::showMaximizedOver(const QRect &area)
{
    // Without a window manager "maximized" means nothing.
    setGeometry(area);
    setWindowState(Qt::WindowMaximized);
    if (!m_framedWatched) {
        m_framedWatched = true;
        desktop::configureOnceFramed(this);
    }
    show();
}

// A click on a disabled window is the player asking for it, focus or no focus: a window manager
// may leave the focus there.
bool Window::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::MouseButtonPress && !isEnabled())
        guarded([this] { Form_GotFocus(); });
    if (watched == windowHandle()
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress))
        learnPlaceFromServer();
    return QMainWindow::eventFilter(watched, event);
}

// Menus drop from where Qt last heard the window was.
void Window::learnPlaceFromServer()
{
    if (const std::optional<QPoint> place = desktop::placeMovedUntold(this))
        setGeometry(QRect(*place, size()));
}

// A press on a disabled window, or the focus it gets back from a grab, asks for the window the
// player works in; the press goes no further.
bool Window::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    const desktop::NativeInput input = desktop::nativeInput(eventType, message);
    if (input.focusIn)
        m_focusedSinceShown = true;
    if (!isEnabled() && input.focusAfterGrab)
        guarded([this] { Form_GotFocus(); });
    if (!isEnabled() && (input.press || input.release)) {
        if (input.press && !input.wheel)
            guarded([this] { Form_GotFocus(); });
        return true;
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}
