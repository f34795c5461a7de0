// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebox.h"

#include "upperlayer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

PictureBox::PictureBox(QWidget *parent, int index)
    : QWidget(parent)
    , TwipsPlaced(this)
    , m_index(index)
{ }

namespace {
DragController *g_dragController = nullptr;
} // namespace

void PictureBox::setDragController(DragController *controller)
{
    g_dragController = controller;
}

void PictureBox::setPicture(const Picture &picture)
{
    m_picture = picture;
    m_cacheValid = false;
    updateOpacity();
    update();
}

void PictureBox::setStretch(bool stretch)
{
    m_stretch = stretch;
    m_cacheValid = false;
    updateOpacity();
    update();
}

// A stretched picture without transparency covers the whole control: what lies beneath need
// not be repainted with it.
void PictureBox::updateOpacity()
{
    setAttribute(Qt::WA_OpaquePaintEvent,
                 m_stretch && !m_picture.isNull() && !m_picture.hasAlphaChannel());
}

void PictureBox::setBorderStyle(int style)
{
    if (m_borderStyle != style) {
        m_borderStyle = style;
        update();
    }
}

void PictureBox::setDropHighlight(bool on)
{
    if (m_dropHighlight != on) {
        m_dropHighlight = on;
        update();
    }
}

void PictureBox::ZOrder(int position)
{
    if (position == 0) {
        raise();
        raiseUpperLayer(parentWidget());
        if (g_dragController)
            g_dragController->keepOnTop();
    } else {
        lower();
    }
}

void PictureBox::Drag(DragAction action)
{
    if (!g_dragController)
        return;
    if (action == DragAction::Begin)
        g_dragController->beginManual(this);
    else
        g_dragController->cancel(this);
}

QPixmap PictureBox::shownPixmap() const
{
    if (!m_cacheValid) {
        m_cacheValid = true;
        if (m_picture.isNull()) {
            m_cache = QPixmap();
        } else if (m_stretch) {
            const qreal ratio = devicePixelRatioF();
            const QSize target = (QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1));
            m_cache = QPixmap::fromImage(
                m_picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_cache.setDevicePixelRatio(ratio);
        } else {
            m_cache = QPixmap::fromImage(m_picture);
        }
    }
    return m_cache;
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPixmap pixmap = shownPixmap();
    if (!pixmap.isNull())
        painter.drawPixmap(0, 0, pixmap);
    if (m_borderStyle == 1) {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (m_dropHighlight)
        painter.fillRect(rect(), QColor(255, 255, 255, 60)); // the drag manager draws the mark
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    m_cacheValid = false;
}

namespace {
QPointF toTwips(const QPointF &pixels)
{
    return {pixelsToTwips(pixels.x()), pixelsToTwips(pixels.y())};
}
} // namespace

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    emit MouseDown(event->button(), event->modifiers(), toTwips(event->position()));
}

// Qt delivers a quick second press as a double click only; here it is a press like any other.
void PictureBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_pressed;
    m_pressed = event->buttons() != Qt::NoButton;
    QPointer<PictureBox> self(this);
    emit MouseUp(event->button(), event->modifiers(), toTwips(event->position()));
    if (self && wasPressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint()) && isEnabled() && isVisible())
        emit Click();
}
