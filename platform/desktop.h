// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the game does differently per desktop, and why: every rule about window managers and
// compositors lives here, each with the desktops that need it and the end-to-end check that
// shows it (tests/e2e). The windows and dialogs ask these named questions and make no X11 or
// Wayland call of their own. Where a question has no meaning (no X11, no Wayland), the answer
// is the one that asks nothing of the desktop.

#include <QByteArray>
#include <QPoint>
#include <optional>

class QWidget;

namespace desktop {

// A real Wayland session, not a variable that an X11 session merely inherited.
bool onWayland();

// Does the window manager let a program bring its own window to the front and give it the
// focus? A Wayland compositor never does, nor do the X11 managers of Wayland compositors, which
// keep no user time (_NET_WM_USER_TIME) and so cannot tell a player's request from a program's:
// sway marks the window urgent, weston does nothing. Those that keep it (openbox, xfwm4,
// metacity, mutter, KWin, natively or through XWayland) grant it. Where it is refused, a window
// shown anew comes to the front. Checks: e2e_wayland, e2e_sway, e2e_sway_xcb, e2e_wayland_xcb.
bool grantsActivation();

// Is this window the active one in the window manager's own word? Qt may take a window for
// active on a focus that the manager has already moved on (sway through XWayland, when the
// background takes the focus back at once). True where nobody says otherwise. Check:
// e2e_sway_xcb.
bool managerCallsActive(const QWidget *window);

// Brings the window to the front and asks for the focus, now. A manager with focus-stealing
// prevention (metacity, and likewise mutter, xfwm4, openbox, KWin) ignores an activation
// stamped before the player's last click, and the stamp Qt holds is that of the last event it
// read, which may be older than the click on the background's title bar or a pager's
// activation of the background that this request answers: the request carries a time fresh
// from the X server instead. Check: e2e_wm (title-bar clicks and pager activations of the
// background, each row).
void activate(QWidget *window);

// Does the manager place a window it maps again by rules of its own? The X11 managers of
// Wayland compositors do (weston walks it up and left by its frame's shadow, each time), but put
// a new window where it asks to be: a window shown anew comes back as a new native window.
// Check: e2e_wayland_xcb (the board in place after each of 20 background clicks).
bool placesRemappedWindowsItself();

// Does the manager now and then lose a window it maps? weston 14's X11 manager does (one
// showing in ten): set up after the window's first drawing, it waits for another that never
// comes, and neither shows nor focuses the window. Such a window is renewed until it has the
// focus. Check: e2e_wayland_xcb on Debian 13.
bool losesMappedWindows();

// Where the window really is, if its manager moved it without telling: weston's X11 manager
// moves a window's frame so, and Qt drops menus from where it last heard. Asked of the X server
// before a key or a press may open a menu; nothing where the place is as Qt knows it. Check:
// e2e_wayland_xcb (the menu drops under its title).
std::optional<QPoint> placeMovedUntold(const QWidget *window);

// Configures the window again once the manager has framed it. mutter 48 may place a window
// before its frame is in place, and then keeps the maximize asked for at the map waiting until
// the window is next configured. Check: e2e_wm (mutter row) and e2e_gnome on Debian 13.
void configureOnceFramed(QWidget *window);

// Title bars that Qt draws itself (Wayland) offer maximize to every window, and a compositor
// may answer with a size larger than the window can take, which ends the program (weston). A
// window of fixed size that was maximized all the same is set back and, where the answer may
// still come, mapped anew before it does, which leaves it behind. Check: e2e_wayland (maximize
// from the title bar), e2e_wm (maximize asked through the manager).
void refuseMaximize(QWidget *window);

// Shown anew under a compositor's own title bars (KWin 6), Qt 6.8 takes the title bar it drew
// itself before off the window's size, each time: a fixed size is set again. Check: e2e_kde on
// Debian 13.
void keepFixedSize(QWidget *window);

// Keeps `window` above `below`, whose child it is as a dialog is, where the compositor lets no
// program raise its own window: a Wayland compositor then keeps it there and places it over
// `below` whenever it is mapped anew. X11 managers raise it as asked. Checks: e2e_wayland,
// e2e_sway, e2e_kde, e2e_gnome.
void keepAbove(QWidget *window, QWidget *below);

// Qt 6.8's X11 input code takes a device that a change announces before it is known as a
// touchpad of the master it is attached to, and crashes where it is attached to none: Xwayland
// announces so the pointers it makes, still floating, when its seat gains one (KWin 6, at the
// first click of a new input device). Such an announcement is dropped; the device becomes
// known with the next hierarchy change, as any other, and its clicks count meanwhile.
// Check: e2e_kde on Debian 13.
void dropUnattachedInputDevices();

// What a native event of the window says of the pointer's buttons and the focus, read as the
// X11 protocol lays it out. Through X11, Qt asks to activate a window pressed that is not its
// focus window: on a disabled window it may read the press after another window of the game
// took the focus back, and the disabled one takes it once more, so such presses go no further.
// A manager that moves a window by its title bar grabs the keyboard from the press to the
// release (metacity, for a press on the background's title bar), and refuses meanwhile to
// focus any other window: the focus the background gets back at the release is a request for
// the board as much as the click was. Check: e2e_wm (title-bar clicks, metacity row).
struct NativeInput
{
    bool press = false; // a button pressed
    bool release = false; // a button released
    bool wheel = false; // the press or release is the wheel's
    bool focusIn = false; // the window got the input focus
    bool focusAfterGrab = false; // ... back, from a grab of the keyboard that ended
};
NativeInput nativeInput(const QByteArray &eventType, const void *message);

} // namespace desktop
