// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebox.h"

#include "upperlayer.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {
DragController *g_dragController = nullptr;

// What a screen reader is told of a picture control: a picture, or a button where the keys can
// reach it and act on it; focused while the keys point at it.
class AccessiblePicture : public QAccessibleWidget
{
public:
    explicit AccessiblePicture(PictureBox *picture)
        : QAccessibleWidget(picture, QAccessible::Graphic)
    { }
    PictureBox *picture() const { return static_cast<PictureBox *>(widget()); }
    QAccessible::Role role() const override
    {
        return picture()->keyReachable() ? QAccessible::Button : QAccessible::Graphic;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (picture()->keyReachable()) {
            state.focusable = true;
            state.focused = picture()->keyFocus();
        }
        return state;
    }
};

QAccessibleInterface *accessiblePicture(const QString &className, QObject *object)
{
    if (className == QLatin1String("PictureBox") && object && object->isWidgetType())
        return new AccessiblePicture(static_cast<PictureBox *>(object));
    return nullptr;
}
} // namespace

PictureBox::PictureBox(QWidget *parent, int index)
    : QWidget(parent)
    , TwipsPlaced(this)
    , m_index(index)
{
    static const bool factory = [] {
        QAccessible::installFactory(accessiblePicture);
        return true;
    }();
    Q_UNUSED(factory);
}

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

void PictureBox::keyClick()
{
    const QPointF centre = toTwips(QRectF(rect()).center());
    QPointer<PictureBox> self(this);
    emit MouseDown(Qt::LeftButton, {}, centre);
    if (!self)
        return;
    emit MouseUp(Qt::LeftButton, {}, centre);
    if (self && isEnabled() && isVisible())
        emit Click();
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
