// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picturebox.h"

#include <QObject>
#include <QPointF>
#include <QPointer>

class QWidget;
class QWindow;
class DragImage;
class DropMarker;

// One drag at a time for the whole application. Mouse events are looked at where they enter a
// window, before Qt routes them to a widget, so that grabs and tracking do not matter:
// - a press of the primary button on an enabled, visible picture control in automatic drag mode
//   starts a drag of it, and the control sees neither the press nor the release;
// - Drag 1 from a handler starts a drag that follows the pointer with no button held;
// - the release (automatic) or the next click (manual) ends it and raises DragDrop on the enabled,
//   visible picture control under the pointer, the source included; that click reaches no control;
// - Escape, the source being hidden or disabled, or its window losing the focus end it with no
// drop.
class DragManager : public QObject, public DragController
{
    Q_OBJECT
public:
    static DragManager *instance();

    void beginManual(PictureBox *source) override;
    // Cancels the drag of this source (any drag when source is null).
    void cancel(PictureBox *source = nullptr) override;
    bool isDragging() const { return !m_source.isNull(); }
    PictureBox *source() const { return m_source; }
    // Keeps the drawn drag image above everything while controls are reordered.
    void keepOnTop() override;

    // Keys stand in for the pointer: the control the keys point at is where a drag begins, is
    // carried and is put down. A drag begun by a handler while a key is handled (setKeyPlace)
    // is drawn there too; the mouse can still end any drag, and the keys any.
    void setKeyPlace(QWidget *place) { m_keyPlace = place; }
    void beginKeyed(PictureBox *source, QWidget *place);
    void followKeyed(QWidget *place);
    // Raises DragDrop on the place, the source included, if it is an enabled, visible picture
    // control; anywhere else the drag ends with no drop.
    void finishKeyed(QWidget *place);

    // The enabled, visible picture control under a point of a top-level window, if any.
    static PictureBox *pictureAt(QWidget *topLevel, QPointF position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Mode { Automatic, Manual };
    DragManager();
    void begin(PictureBox *source, Mode mode, QPointF windowPosition);
    void follow(QPointF windowPosition);
    void show(QPointF imageOrigin, PictureBox *target);
    void finish(QPointF windowPosition);
    void end();
    bool filterMouse(QWindow *window, QEvent *event);

    QPointer<PictureBox> m_source;
    QPointer<QWidget> m_window;
    QPointer<PictureBox> m_target;
    QPointer<DragImage> m_image;
    QPointer<DropMarker> m_marker;
    Mode m_mode = Mode::Automatic;
    bool m_clickPressed = false;
    QPointF m_grabOffset;
    QPointF m_lastPosition;
    QPointer<QWindow> m_lastWindow;
    QPointer<QWidget> m_keyPlace;
};
