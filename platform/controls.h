#pragma once

#include "picture.h"

#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>
#include <QRectF>
#include <functional>

class QMenu;
class QAction;

// Twips geometry shared by every control: kept as the handlers computed it, placed in pixels.
class TwipsPlaced
{
public:
    explicit TwipsPlaced(QWidget *self)
        : m_self(self)
    { }
    // Left, top, width, height in twips; fractional values are kept.
    void Move(double left, double top, double width, double height);
    double Left() const { return m_twips.left(); }
    double Top() const { return m_twips.top(); }
    double Width() const { return m_twips.width(); }
    double Height() const { return m_twips.height(); }
    QRectF twips() const { return m_twips; }

private:
    QWidget *m_self;
    QRectF m_twips;
};

// A picture control: a picture (stretched or not), a text tag, a border, a drag mode.
class PictureBox : public QWidget, public TwipsPlaced
{
    Q_OBJECT
public:
    enum DragModeValue { vbManual = 0, vbAutomatic = 1 };
    enum DragAction { vbCancel = 0, vbBeginDrag = 1 };

    explicit PictureBox(QWidget *parent, int index = -1);

    int index() const { return m_index; }
    Picture picture() const { return m_picture; }
    void setPicture(const Picture &picture);
    bool stretch() const { return m_stretch; }
    void setStretch(bool stretch);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }
    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    int dragMode() const { return m_dragMode; }
    void setDragMode(int mode) { m_dragMode = mode; }
    // ZOrder 0: to the front of its layer (frames and buttons stay above).
    void ZOrder(int position = 0);
    // Drag 1 begins a drag that follows the pointer until the next click; Drag 0 cancels it.
    void Drag(int action);

    // Drawn while a dragged control would land here.
    bool dropHighlight() const { return m_dropHighlight; }
    void setDropHighlight(bool on);
    // The picture as drawn at the control's size; cached until picture or size change.
    QPixmap shownPixmap() const;

signals:
    void Click();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF twips);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF twips);
    void DragDrop(PictureBox *source, QPointF twips);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateOpacity();

    int m_index;
    Picture m_picture;
    bool m_stretch = false;
    QString m_tag;
    int m_borderStyle = 0;
    int m_dragMode = vbManual;
    bool m_dropHighlight = false;
    bool m_pressed = false;
    mutable QPixmap m_cache;
    mutable bool m_cacheValid = false;
};

// A text label: caption, colours, font, alignment, opaque or transparent, tooltip.
class Label : public QLabel, public TwipsPlaced
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent);
    QString caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }
    void setForeColor(const QColor &color);
    // An invalid colour makes the background transparent.
    void setBackColor(const QColor &color);
};

// A frame: a container; hiding it hides everything inside. It belongs to the upper layer.
class Frame : public QWidget, public TwipsPlaced
{
    Q_OBJECT
public:
    explicit Frame(QWidget *parent);
    void setBackColor(const QColor &color);
};

// A push button with a picture face. It belongs to the upper layer.
class PictureButton : public QPushButton, public TwipsPlaced
{
    Q_OBJECT
public:
    PictureButton(QWidget *parent, const Picture &face, const QString &accessibleName);
    void setBackColor(const QColor &color);
};

// A top-level window with a client area of a fixed size in twips and a menu bar outside it.
class Window : public QMainWindow
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);

    QWidget *client() const { return m_client; }
    void setCaption(const QString &caption) { setWindowTitle(caption); }
    QString caption() const { return windowTitle(); }
    void setBackColor(const QColor &color);
    // The client area's screen origin and size, in twips.
    void setClientArea(double left, double top, double width, double height);
    QRectF clientTwips() const { return m_clientTwips; }

    QMenu *addMenu(const QString &caption);
    QAction *addMenuItem(QMenu *menu, const QString &caption);

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

private:
    void placeOnScreen();
    QWidget *m_client;
    QRectF m_clientTwips;
    bool m_loaded = false;
};

// A font named by a classic Windows face ("Arial", "MS Sans Serif") in points at 96 dots per
// inch, mapped to the nearest installed metric match and sized in pixels, so that text fills
// the same room as the layout was drawn for.
QFont legacyFont(const QString &family, double points, bool bold);

// Keeps frames and buttons above the picture controls and labels that share their parent.
void raiseUpperLayer(QWidget *parent);
