// SPDX-License-Identifier: GPL-3.0-or-later
#include "dragmanager.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

// The dragged control drawn under the pointer, translucent. It takes no mouse events, so that
// hit-testing sees through it to the control beneath.
class DragImage : public QWidget
{
public:
    DragImage(QWidget *window, const QPixmap &pixmap, QSize size)
        : QWidget(window)
        , m_pixmap(pixmap)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        resize(size);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setOpacity(0.7);
        if (m_pixmap.isNull())
            painter.fillRect(rect(), QColor(128, 128, 128, 120));
        else
            painter.drawPixmap(rect(), m_pixmap);
        painter.setOpacity(1.0);
        painter.setPen(QPen(QColor(40, 40, 40), 1, Qt::DashLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QPixmap m_pixmap;
};

// The mark on the control a drag would land on, drawn above the dragged picture so that the
// picture never hides it.
class DropMarker : public QWidget
{
public:
    DropMarker(QWidget *window, const QRect &where)
        : QWidget(window)
    {
        setGeometry(where);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(QPen(QColor(255, 140, 0), 4));
        painter.drawRect(QRectF(rect()).adjusted(2, 2, -2, -2));
    }
};

namespace {
QWidget *topLevelOf(QWindow *window)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}
} // namespace

DragManager *DragManager::instance()
{
    static DragManager *manager = nullptr;
    if (!manager) {
        manager = new DragManager;
        qApp->installEventFilter(manager);
        PictureBox::setDragController(manager);
    }
    return manager;
}

DragManager::DragManager()
    : QObject(qApp)
{ }

PictureBox *DragManager::pictureAt(QWidget *topLevel, QPointF position)
{
    if (!topLevel)
        return nullptr;
    auto *picture = qobject_cast<PictureBox *>(topLevel->childAt(position.toPoint()));
    if (picture && picture->isVisible() && picture->isEnabled())
        return picture;
    return nullptr;
}

void DragManager::beginManual(PictureBox *source)
{
    if (m_keyPlace) {
        beginKeyed(source, m_keyPlace);
        return;
    }
    QWidget *window = source->window();
    QPointF position;
    if (m_lastWindow && m_lastWindow == window->windowHandle())
        position = m_lastPosition;
    else
        position = window->mapFromGlobal(QCursor::pos());
    begin(source, Mode::Manual, position);
}

void DragManager::begin(PictureBox *source, Mode mode, QPointF windowPosition)
{
    end();
    if (!source->isVisible() || !source->isEnabled())
        return;
    m_source = source;
    m_window = source->window();
    m_mode = mode;
    m_clickPressed = false;
    m_grabOffset = windowPosition - QPointF(source->mapTo(m_window, QPoint(0, 0)));
    m_image = new DragImage(m_window, source->shownPixmap(), source->size());
    follow(windowPosition); // placed before it is shown: nothing else is repainted
    m_image->show();
    m_image->raise();
    QGuiApplication::setOverrideCursor(Qt::ClosedHandCursor);
}

void DragManager::follow(QPointF windowPosition)
{
    show(windowPosition - m_grabOffset, pictureAt(m_window, windowPosition));
}

namespace {
QPointF centreIn(QWidget *window, QWidget *place)
{
    return QPointF(place->mapTo(window, QPoint(0, 0))) + QRectF(place->rect()).center();
}
PictureBox *takesDrop(QWidget *place)
{
    auto *picture = qobject_cast<PictureBox *>(place);
    return picture && picture->isVisible() && picture->isEnabled() ? picture : nullptr;
}
} // namespace

void DragManager::beginKeyed(PictureBox *source, QWidget *place)
{
    begin(source, Mode::Manual, centreIn(source->window(), source));
    followKeyed(place);
}

// The carried picture lies a third of the way down and across the place, so that what it
// would land on still shows.
void DragManager::followKeyed(QWidget *place)
{
    if (!isDragging() || !place || place->window() != m_window)
        return;
    const QPointF origin = place->mapTo(m_window, QPoint(0, 0));
    show(origin + QPointF(place->width(), place->height()) / 3.0, takesDrop(place));
}

void DragManager::finishKeyed(QWidget *place)
{
    QPointer<PictureBox> source = m_source;
    QPointer<PictureBox> target = place && place->window() == m_window ? takesDrop(place) : nullptr;
    end();
    if (source && target)
        emit target->DragDrop(source, QRectF(target->rect()).center() * 15.0);
}

void DragManager::show(QPointF imageOrigin, PictureBox *target)
{
    if (m_image)
        m_image->move(imageOrigin.toPoint());
    if (target == m_source)
        target = nullptr;
    if (target != m_target) {
        if (m_target)
            m_target->setDropHighlight(false);
        m_target = target;
        if (m_target)
            m_target->setDropHighlight(true);
    }
    if (m_target) {
        // Made where it is needed, in place before it shows: a new child elsewhere would
        // repaint the window's corner.
        const QRect where(m_target->mapTo(m_window, QPoint(0, 0)), m_target->size());
        if (!m_marker)
            m_marker = new DropMarker(m_window, where);
        m_marker->setGeometry(where);
        m_marker->show();
        m_marker->raise();
    } else if (m_marker) {
        m_marker->hide();
    }
}

void DragManager::finish(QPointF windowPosition)
{
    QPointer<PictureBox> source = m_source;
    QPointer<PictureBox> target = pictureAt(m_window, windowPosition);
    const QPointF local = target ? target->mapFrom(m_window, windowPosition) : QPointF();
    end();
    if (source && target)
        emit target->DragDrop(source, local * 15.0);
}

void DragManager::cancel(PictureBox *source)
{
    if (!source || source == m_source)
        end();
}

void DragManager::end()
{
    if (!m_source && !m_image && !m_marker)
        return;
    if (m_target)
        m_target->setDropHighlight(false);
    m_target = nullptr;
    delete m_image;
    delete m_marker;
    m_source = nullptr;
    m_window = nullptr;
    QGuiApplication::restoreOverrideCursor();
}

void DragManager::keepOnTop()
{
    if (m_image)
        m_image->raise();
    if (m_marker)
        m_marker->raise();
}

bool DragManager::filterMouse(QWindow *window, QEvent *event)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPointF position = mouse->position();
    m_lastWindow = window;
    m_lastPosition = position;
    const QEvent::Type type = event->type();

    if (!isDragging()) {
        // A second quick press arrives as a press followed by a double click; the press starts.
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            PictureBox *picture = pictureAt(topLevelOf(window), position);
            if (picture && picture->dragMode() == DragMode::Automatic) {
                begin(picture, Mode::Automatic, position);
                return true;
            }
        }
        return false;
    }

    if (!m_window || m_window->windowHandle() != window)
        return false;
    switch (type) {
    case QEvent::MouseMove:
        follow(position);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        follow(position);
        m_clickPressed = true;
        return true;
    case QEvent::MouseButtonRelease:
        if (m_mode == Mode::Automatic ? mouse->button() == Qt::LeftButton : m_clickPressed)
            finish(position);
        return true;
    default:
        return false;
    }
}

bool DragManager::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (watched->isWindowType())
            return filterMouse(static_cast<QWindow *>(watched), event);
        return false;
    case QEvent::KeyPress:
        if (isDragging() && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            end();
            return true;
        }
        return false;
    case QEvent::Hide:
        if (isDragging() && watched == m_source)
            end();
        return false;
    case QEvent::EnabledChange:
        if (isDragging() && watched == m_source && !m_source->isEnabled())
            end();
        return false;
    case QEvent::WindowDeactivate:
        if (isDragging() && watched == m_window)
            end();
        return false;
    default:
        return false;
    }
}
