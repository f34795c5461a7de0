// SPDX-License-Identifier: GPL-3.0-or-later
#include "window.h"

#include "dragmanager.h"
#include "runtimeerror.h"
#include "twips.h"

#include <QAbstractNativeEventFilter>
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
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace {
bool g_ending = false;
QPoint g_screenOrigin;
std::function<void()> g_endHandler;
} // namespace

bool Window::onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The game's X11 connection; none on any other platform.
static xcb_connection_t *xConnection()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

static xcb_window_t rootWindow(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

static xcb_atom_t atomNamed(const char *name)
{
    xcb_connection_t *connection = xConnection();
    if (!connection)
        return XCB_ATOM_NONE;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

// A property of the X11 root window as 32-bit values; empty without X11 or without it.
static std::vector<std::uint32_t> rootProperty(const char *name, xcb_atom_t type)
{
    xcb_connection_t *connection = xConnection();
    if (!connection)
        return {};
    const xcb_atom_t property = atomNamed(name);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, rootWindow(connection), property, type, 0, 1024), nullptr);
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// An X11 window manager that keeps no user time (_NET_WM_USER_TIME) cannot tell a player's
// request from a program's, and ignores or refuses a client's activation: the X11 managers of
// Wayland compositors do so (sway marks the window urgent, weston does nothing). Those that
// keep it (openbox, xfwm4, metacity, mutter, KWin, natively or through XWayland) grant it.
static bool refusesActivation()
{
    const std::vector<std::uint32_t> supported = rootProperty("_NET_SUPPORTED", XCB_ATOM_ATOM);
    // No list at all: no window manager, and a window raises itself.
    return !supported.empty()
        && std::find(supported.begin(), supported.end(), atomNamed("_NET_WM_USER_TIME"))
        == supported.end();
}

// Qt may take a window for active on a focus that the window manager has already moved on
// (sway, when the background takes it back at once): the manager's own word is the last.
static bool managerCallsActive(WId window)
{
    const std::vector<std::uint32_t> active = rootProperty("_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.empty() || active.front() == window;
}

bool Window::raisedOnlyShownAnew()
{
    return onWayland() || refusesActivation();
}

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
    const bool shownAnew = raisedOnlyShownAnew();
    if (shownAnew && isVisible() && isActiveWindow() && !(windowState() & Qt::WindowMinimized)
        && (onWayland() || managerCallsActive(internalWinId())))
        return;
    // A window the window manager minimized comes back too, not only to the front.
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    // A Wayland compositor lets no program raise, activate or restore its own window (nor
    // tells it that the window was minimized), but puts a window shown anew in front; nor do
    // their X11 window managers that refuse a client's activation.
    if (isVisible() && shownAnew) {
        hide();
        if (!onWayland())
            renewNativeWindow();
    }
    show();
    if (shownAnew && !onWayland())
        watchUntilFocused();
    // Shown anew under a compositor's own title bars (KWin 6), Qt 6.8 takes the title bar it
    // drew itself before off the window's size, each time: a fixed size stays what it is.
    if (m_fixedSize && size() != minimumSize())
        resize(minimumSize());
    raise();
    activateWindow();
}

// The X11 managers of Wayland compositors place a window they map again by rules of their own
// (weston walks it up and left by its frame's shadow, each time), but a new window where it asks
// to be, as at its first showing: the window comes back as a new one, asking for its own place.
void Window::renewNativeWindow()
{
    windowHandle()->destroy();
    if (m_askedPlace)
        setGeometry(QRect(*m_askedPlace, size()));
    m_focusedSinceShown = false;
}

// weston 14's X11 manager loses now and then a window it maps (one showing in ten): set up after
// the window's first drawing, it waits for another that never comes, and neither shows nor
// focuses the window. Shown, the window has the focus within a tenth of a second even on a busy
// machine; one still without it half a second later is renewed, a few times at most.
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
    // Title bars that the program draws itself (Wayland) offer maximize to every window, and a
    // compositor may answer with a size larger than the window can take, which ends the
    // program. Mapped anew before that answer comes, the window leaves it behind.
    connect(handle, &QWindow::windowStateChanged, this, [this, handle](Qt::WindowState state) {
        if (state != Qt::WindowMaximized || !m_fixedSize)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, handle] {
                if (!(handle->windowStates() & Qt::WindowMaximized))
                    return;
                handle->setWindowStates(Qt::WindowNoState);
                if (onWayland() && isVisible()) {
                    hide();
                    show();
                }
            },
            Qt::QueuedConnection);
    });
}

void Window::setFixedSizeWindow()
{
    m_fixedSize = true;
    // Minimum and maximum size hints equal: no window manager offers resizing or maximizing,
    // and a tiling compositor floats the window at its own size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

namespace {
// mutter 48 may place a window before its frame is in place, and then keeps the maximize asked
// for at the map waiting until the window is next configured: it is configured once framed.
class ConfiguredWhenFramed final : public QAbstractNativeEventFilter
{
public:
    ConfiguredWhenFramed(QWidget *window, xcb_connection_t *connection)
        : m_window(window)
        , m_connection(connection)
    { }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_reparent_notify_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_REPARENT_NOTIFY
            || event->window != m_window->internalWinId())
            return false;
        const std::uint32_t size[]
            = {std::uint32_t(m_window->width()), std::uint32_t(m_window->height())};
        xcb_configure_window(m_connection, event->window,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        xcb_flush(m_connection);
        return false;
    }

private:
    QWidget *m_window;
    xcb_connection_t *m_connection;
};
} // namespace

void Window::showMaximizedOver(const QRect &area)
{
    // Without a window manager "maximized" means nothing.
    setGeometry(area);
    setWindowState(Qt::WindowMaximized);
    xcb_connection_t *connection = xConnection();
    if (!m_framedWatch && connection) {
        m_framedWatch = std::make_unique<ConfiguredWhenFramed>(this, connection);
        QCoreApplication::instance()->installNativeEventFilter(m_framedWatch.get());
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

// weston's X11 manager moves a window's frame without telling the window where it went, and
// Qt drops menus from where it last heard: before a key or a press may open one, the place is
// taken from the X server itself. A manager that keeps its word finds nothing to mend, and
// whether the manager is one of those is asked only when the two places differ.
void Window::learnPlaceFromServer()
{
    xcb_connection_t *connection = xConnection();
    if (!connection)
        return;
    xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, internalWinId(), rootWindow(connection), 0, 0),
        nullptr);
    if (!reply)
        return;
    const QPoint place = QPoint(reply->dst_x, reply->dst_y) / devicePixelRatioF();
    std::free(reply);
    if (place != geometry().topLeft() && raisedOnlyShownAnew())
        setGeometry(QRect(place, size()));
}

// Through X11, Qt asks to activate a window pressed that is not its focus window. On the
// disabled background it may read the press after the board took the focus back, and the
// background takes it once more. The press asks for the board itself, and goes no further.
bool Window::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (eventType == "xcb_generic_event_t"
        && (static_cast<const xcb_generic_event_t *>(message)->response_type & 0x7f)
            == XCB_FOCUS_IN)
        m_focusedSinceShown = true;
    if (!isEnabled() && eventType == "xcb_generic_event_t") {
        // As the X11 protocol lays them out: a core event's code in its first byte and its
        // button in the second; an input extension event (code 35) has its own type at byte 8
        // and its button at byte 16.
        const auto *bytes = static_cast<const unsigned char *>(message);
        constexpr int ButtonPress = 4, ButtonRelease = 5, GenericEvent = 35, FirstWheelButton = 4;
        int code = bytes[0] & 0x7f;
        unsigned button = bytes[1];
        if (code == GenericEvent) {
            std::uint16_t type = 0;
            std::uint32_t detail = 0;
            std::memcpy(&type, bytes + 8, sizeof type);
            std::memcpy(&detail, bytes + 16, sizeof detail);
            code = type == ButtonPress || type == ButtonRelease ? type : 0;
            button = detail;
        }
        if (code == ButtonPress && button < FirstWheelButton)
            guarded([this] { Form_GotFocus(); });
        if (code == ButtonPress || code == ButtonRelease)
            return true;
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}
