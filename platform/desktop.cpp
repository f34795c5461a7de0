// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputDevice>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace desktop {

namespace {

// The game's X11 connection and its root window; none on any other platform.
struct X11
{
    xcb_connection_t *connection = nullptr;
    xcb_window_t root = XCB_NONE;
    explicit operator bool() const { return connection != nullptr; }
};

X11 x11()
{
    auto *native
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    X11 x;
    x.connection = native ? native->connection() : nullptr;
    if (x.connection)
        x.root = xcb_setup_roots_iterator(xcb_get_setup(x.connection)).data->root;
    return x;
}

xcb_atom_t atomNamed(const X11 &x, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        x.connection, xcb_intern_atom(x.connection, 0, std::uint16_t(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

// A property of the root window as 32-bit values; empty where it has none.
std::vector<std::uint32_t> rootProperty(const X11 &x, const char *name, xcb_atom_t type)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        x.connection, xcb_get_property(x.connection, 0, x.root, atomNamed(x, name), type, 0, 1024),
        nullptr);
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

bool managerSupports(const X11 &x, const char *hint)
{
    const std::vector<std::uint32_t> supported = rootProperty(x, "_NET_SUPPORTED", XCB_ATOM_ATOM);
    return std::find(supported.begin(), supported.end(), atomNamed(x, hint)) != supported.end();
}

// An X11 manager of a Wayland compositor: one that lists what it supports, user time not
// among it. No list at all is no window manager, and a window raises itself.
bool refusesActivation(const X11 &x)
{
    return !rootProperty(x, "_NET_SUPPORTED", XCB_ATOM_ATOM).empty()
        && !managerSupports(x, "_NET_WM_USER_TIME");
}

constexpr char FreshTimeProperty[] = "_PUZZLE_ACTIVATION_TIME";

// Activations waiting for a time fresh from the X server: a property appended with nothing to
// the window comes back as a notification stamped with the server's time.
class FreshActivation final : public QAbstractNativeEventFilter
{
public:
    explicit FreshActivation(const X11 &x)
        : m_x(x)
        , m_property(atomNamed(x, FreshTimeProperty))
        , m_activeWindow(atomNamed(x, "_NET_ACTIVE_WINDOW"))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    void ask(QWidget *window)
    {
        m_pending = window;
        xcb_change_property(m_x.connection, XCB_PROP_MODE_APPEND, xcb_window_t(window->winId()),
                            m_property, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(m_x.connection);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t" || !m_pending)
            return false;
        const auto *event = static_cast<const xcb_property_notify_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY || event->atom != m_property
            || event->window != m_pending->internalWinId())
            return false;
        QWidget *window = m_pending;
        m_pending = nullptr;
        // As Qt asks it: from an application, for the window, with the game's focus window.
        const QWindow *focus = QGuiApplication::focusWindow();
        xcb_client_message_event_t request {};
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = xcb_window_t(window->internalWinId());
        request.type = m_activeWindow;
        request.data.data32[0] = 1;
        request.data.data32[1] = event->time;
        request.data.data32[2] = focus ? xcb_window_t(focus->winId()) : XCB_NONE;
        xcb_send_event(m_x.connection, 0, m_x.root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&request));
        xcb_delete_property(m_x.connection, event->window, m_property);
        xcb_flush(m_x.connection);
        return false;
    }

private:
    X11 m_x;
    xcb_atom_t m_property;
    xcb_atom_t m_activeWindow;
    QPointer<QWidget> m_pending;
};

class ConfiguredWhenFramed final : public QAbstractNativeEventFilter
{
public:
    explicit ConfiguredWhenFramed(const X11 &x)
        : m_x(x)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    void watch(QWidget *window) { m_windows.emplace_back(window); }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_reparent_notify_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_REPARENT_NOTIFY)
            return false;
        for (const QPointer<QWidget> &window : m_windows) {
            if (!window || event->window != window->internalWinId())
                continue;
            const std::uint32_t size[]
                = {std::uint32_t(window->width()), std::uint32_t(window->height())};
            xcb_configure_window(m_x.connection, event->window,
                                 XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
            xcb_flush(m_x.connection);
        }
        return false;
    }

private:
    X11 m_x;
    std::vector<QPointer<QWidget>> m_windows;
};

class UnattachedDeviceFilter final : public QAbstractNativeEventFilter
{
public:
    explicit UnattachedDeviceFilter(const X11 &x)
        : m_x(x)
    {
        const xcb_query_extension_reply_t *input
            = xcb_get_extension_data(x.connection, &xcb_input_id);
        m_opcode = input && input->present ? input->major_opcode : 0;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (m_opcode == 0 || type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_ge_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC || event->extension != m_opcode
            || event->event_type != XCB_INPUT_DEVICE_CHANGED)
            return false;
        const auto *changed = static_cast<const xcb_input_device_changed_event_t *>(message);
        if (changed->reason != XCB_INPUT_CHANGE_REASON_DEVICE_CHANGE || known(changed->deviceid))
            return false;
        xcb_input_xi_query_device_reply_t *reply = xcb_input_xi_query_device_reply(
            m_x.connection, xcb_input_xi_query_device(m_x.connection, changed->sourceid), nullptr);
        const bool unattached = reply && reply->num_infos > 0
            && !known(xcb_input_xi_query_device_infos_iterator(reply).data->attachment);
        std::free(reply);
        return unattached;
    }

private:
    static bool known(int id)
    {
        const QList<const QInputDevice *> devices = QInputDevice::devices();
        return std::any_of(devices.begin(), devices.end(),
                           [id](const QInputDevice *device) { return device->systemId() == id; });
    }

    X11 m_x;
    std::uint8_t m_opcode = 0;
};

} // namespace

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool grantsActivation()
{
    if (onWayland())
        return false;
    const X11 x = x11();
    return !x || !refusesActivation(x);
}

bool managerCallsActive(const QWidget *window)
{
    const X11 x = x11();
    if (!x)
        return true;
    const std::vector<std::uint32_t> active
        = rootProperty(x, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.empty() || active.front() == window->internalWinId();
}

void activate(QWidget *window)
{
    window->raise();
    const X11 x = x11();
    const QWindow *handle = window->windowHandle();
    // A window not drawn yet is activated by Qt once mapped, stamped when the manager mapped it.
    if (!x || !handle || !handle->isExposed() || !managerSupports(x, "_NET_ACTIVE_WINDOW")) {
        window->activateWindow();
        return;
    }
    static FreshActivation fresh(x);
    fresh.ask(window);
}

bool placesRemappedWindowsItself()
{
    const X11 x = x11();
    return x && refusesActivation(x);
}

bool losesMappedWindows()
{
    return placesRemappedWindowsItself();
}

std::optional<QPoint> placeMovedUntold(const QWidget *window)
{
    const X11 x = x11();
    if (!x)
        return std::nullopt;
    xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(
        x.connection,
        xcb_translate_coordinates(x.connection, xcb_window_t(window->internalWinId()), x.root, 0,
                                  0),
        nullptr);
    if (!reply)
        return std::nullopt;
    const QPoint place = QPoint(reply->dst_x, reply->dst_y) / window->devicePixelRatioF();
    std::free(reply);
    // One question per press; the manager's rules only when the places differ.
    if (place == window->geometry().topLeft() || !refusesActivation(x))
        return std::nullopt;
    return place;
}

void configureOnceFramed(QWidget *window)
{
    const X11 x = x11();
    if (!x)
        return;
    static ConfiguredWhenFramed framed(x);
    framed.watch(window);
}

void refuseMaximize(QWidget *window)
{
    QWindow *handle = window->windowHandle();
    if (!handle || !(handle->windowStates() & Qt::WindowMaximized))
        return;
    handle->setWindowStates(Qt::WindowNoState);
    if (onWayland() && window->isVisible()) {
        window->hide();
        window->show();
    }
}

void keepFixedSize(QWidget *window)
{
    if (window->size() != window->minimumSize())
        window->resize(window->minimumSize());
}

void keepAbove(QWidget *window, QWidget *below)
{
    if (!onWayland())
        return;
    window->winId();
    if (window->windowHandle() && below->windowHandle())
        window->windowHandle()->setTransientParent(below->windowHandle());
}

void dropUnattachedInputDevices()
{
    const X11 x = x11();
    if (x)
        static UnattachedDeviceFilter filter(x);
}

NativeInput nativeInput(const QByteArray &eventType, const void *message)
{
    NativeInput input;
    if (eventType != "xcb_generic_event_t")
        return input;
    // A core event's code in its first byte and its button in the second; an input extension
    // event (code 35) has its own type at byte 8 and its button at byte 16.
    const auto *bytes = static_cast<const unsigned char *>(message);
    constexpr int ButtonPress = 4, ButtonRelease = 5, FocusIn = 9, GenericEvent = 35,
                  FirstWheelButton = 4;
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
    input.press = code == ButtonPress;
    input.release = code == ButtonRelease;
    input.wheel = (input.press || input.release) && button >= FirstWheelButton;
    // A focus event's detail in its second byte, its mode in its ninth.
    constexpr int Pointer = 5, Ungrab = 2;
    input.focusIn = code == FocusIn && bytes[1] != Pointer;
    input.focusAfterGrab = input.focusIn && bytes[8] == Ungrab;
    return input;
}

} // namespace desktop
