// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picture.h"
#include "twipsplaced.h"

#include <QPixmap>

enum class DragMode { Manual = 0, Automatic = 1 };
enum class DragAction { Cancel = 0, Begin = 1 };

class PictureBox;

// Whoever runs drags for the application; the drag manager registers itself here, so that a
// picture control can ask for a drag without knowing how drags are done.
class DragController
{
public:
    virtual void beginManual(PictureBox *source) = 0;
    virtual void cancel(PictureBox *source) = 0;
    virtual void keepOnTop() = 0;

protected:
    ~DragController() = default;
};

// A picture control: a picture (stretched or not), a text tag, a border, a drag mode.
class PictureBox : public QWidget, public TwipsPlaced
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent, int index = -1);

    static void setDragController(DragController *controller);

    int index() const { return m_index; }
    Picture picture() const { return m_picture; }
    void setPicture(const Picture &picture);
    bool stretch() const { return m_stretch; }
    void setStretch(bool stretch);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }
    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    DragMode dragMode() const { return m_dragMode; }
    void setDragMode(DragMode mode) { m_dragMode = mode; }
    // ZOrder 0: to the front of its layer (frames and buttons stay above).
    void ZOrder(int position = 0);
    // Begin: a drag that follows the pointer until the next click; Cancel ends this control's.
    void Drag(DragAction action);

    // Drawn while a dragged control would land here.
    bool dropHighlight() const { return m_dropHighlight; }
    void setDropHighlight(bool on);
    // The picture as drawn at the control's size; cached until picture or size change.
    QPixmap shownPixmap() const;

    // A click made with a key: the events a mouse click on the control raises, in their order.
    void keyClick();
    // A place the keys can reach (a screen reader is told it can be focused and acted on), and
    // whether the keys point at it now.
    bool keyReachable() const { return m_keyReachable; }
    void setKeyReachable(bool on) { m_keyReachable = on; }
    bool keyFocus() const { return m_keyFocus; }
    void setKeyFocus(bool on) { m_keyFocus = on; }

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
    DragMode m_dragMode = DragMode::Manual;
    bool m_dropHighlight = false;
    bool m_pressed = false;
    bool m_keyReachable = false;
    bool m_keyFocus = false;
    mutable QPixmap m_cache;
    mutable bool m_cacheValid = false;
};
