// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRectF>
#include <QWindow>
#include <functional>
#include <optional>

class QMenu;
class QAction;
class QTimer;

// A top-level window with a client area of a fixed size in twips and a menu bar outside it.
class Window : public QMainWindow
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);
    ~Window() override;

    QWidget *client() const { return m_client; }
    void setCaption(const QString &caption) { setWindowTitle(caption); }
    QString caption() const { return windowTitle(); }
    void setBackColor(const QColor &color);
    // The client area's screen origin and size, in twips.
    void setClientArea(double left, double top, double width, double height);
    QRectF clientTwips() const { return m_clientTwips; }
    // Where client areas are placed from (the corner of the primary screen's usable area), and
    // the scale every window is drawn at: below 1 where the board would not fit the screen.
    static void useDesktop(QPoint origin, double scale);
    // The window keeps the size of its client area and menu bar; nobody resizes or maximizes it.
    void setFixedSizeWindow();
    // Shows the window maximized, filling the area itself where no window manager maximizes it.
    void showMaximizedOver(const QRect &area);

    QMenu *addMenu(const QString &caption);
    QAction *addMenuItem(QMenu *menu, const QString &caption);

    // Loads the window (its load event) once, without showing it.
    void Load();
    // Shows the window modeless, loading it first; a shown window only comes to the front.
    void Show();
    bool isLoaded() const { return m_loaded; }
    // Closes the window, which raises its unload event.
    void Unload() { close(); }
    // Ends the program at once: every window goes, no unload event runs.
    static void End();
    // Tests replace what End does, to see that it was asked for without leaving the test.
    static void setEndHandler(std::function<void()> handler);

protected:
    virtual void Form_Load() { }
    virtual void Form_Unload(int & /*cancel*/) { }
    virtual void Form_GotFocus() { }
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void placeOnScreen();
    void watchWindowHandle();
    void learnPlaceFromServer();
    void renewNativeWindow();
    void watchUntilFocused();
    QWidget *m_client;
    QPointer<QWindow> m_watchedHandle;
    bool m_fixedSize = false;
    bool m_framedWatched = false;
    QRectF m_clientTwips;
    std::optional<QPoint> m_askedPlace;
    QTimer *m_showWatch = nullptr;
    bool m_focusedSinceShown = false;
    int m_renewalsLeft = 0;
    int m_ticksLeft = 0;
    bool m_loaded = false;
};
