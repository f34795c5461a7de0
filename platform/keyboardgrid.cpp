// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboardgrid.h"

#include "dragmanager.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QWindow>

// Two lines, dark outside and light inside, so that the frame shows on any picture. It takes no
// mouse events: the mouse reaches the control beneath as before.
class FocusMark : public QWidget
{
public:
    explicit FocusMark(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRectF r = QRectF(rect());
        painter.setPen(QPen(Qt::black, 3));
        painter.drawRect(r.adjusted(1.5, 1.5, -1.5, -1.5));
        painter.setPen(QPen(Qt::white, 2));
        painter.drawRect(r.adjusted(4, 4, -4, -4));
    }
};

KeyboardGrid::KeyboardGrid(QWidget *area)
    : QObject(area)
    , m_area(area)
{
    area->setFocusPolicy(Qt::TabFocus);
    area->installEventFilter(this);
}

void KeyboardGrid::setGrid(int columns, const QList<PictureBox *> &cells, PictureBox *beside)
{
    for (const QPointer<PictureBox> &cell : std::as_const(m_cells))
        if (cell)
            cell->setKeyReachable(false);
    if (m_beside)
        m_beside->setKeyReachable(false);
    m_columns = std::max(1, columns);
    m_cells.clear();
    for (PictureBox *cell : cells) {
        m_cells.append(cell);
        cell->setKeyReachable(true);
    }
    m_beside = beside;
    if (beside)
        beside->setKeyReachable(true);
    update();
}

// Back to the first tile where the place is gone: a smaller grid, or the spare tile hidden.
void KeyboardGrid::keepPlace()
{
    if (m_position > besidePosition() || (m_position == besidePosition() && !besideShown()))
        m_position = 0;
}

bool KeyboardGrid::besideShown() const
{
    return m_beside && m_beside->isVisible();
}

PictureBox *KeyboardGrid::current() const
{
    if (m_position == besidePosition() && besideShown())
        return m_beside;
    if (m_position < m_cells.size())
        return m_cells[m_position];
    return m_cells.isEmpty() ? nullptr : m_cells.first().data();
}

bool KeyboardGrid::markShown() const
{
    return m_mark && !m_mark->isHidden();
}

bool KeyboardGrid::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == m_area) {
            auto *press = static_cast<QKeyEvent *>(event);
            if (key(press->key(), press->modifiers()))
                return true;
        }
        break;
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            m_keysInUse = true;
        // The mouse anywhere on the window means the keys are no longer in use.
        QWindow *window = m_area->window()->windowHandle();
        if (window && window != m_watchedWindow) {
            if (m_watchedWindow)
                m_watchedWindow->removeEventFilter(this);
            window->installEventFilter(this);
            m_watchedWindow = window;
        }
        // Said once Qt has announced the area itself, so that a screen reader ends on the place.
        if (m_focused)
            m_focused->setKeyFocus(false);
        m_focused = nullptr;
        QMetaObject::invokeMethod(this, &KeyboardGrid::update, Qt::QueuedConnection);
        break;
    }
    case QEvent::FocusOut:
    case QEvent::Hide:
        if (watched == m_area)
            update();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (m_keysInUse && watched == m_watchedWindow) {
            m_keysInUse = false;
            update();
        }
        break;
    default:
        break;
    }
    return false;
}

bool KeyboardGrid::key(int key, Qt::KeyboardModifiers modifiers)
{
    const int count = int(m_cells.size());
    if (count == 0)
        return false;
    keepPlace();
    const bool onBeside = m_position == besidePosition();
    const int row = onBeside ? m_rowBeforeBeside : m_position / m_columns;
    const int rowStart = row * m_columns;
    const int rowEnd = std::min(count, rowStart + m_columns) - 1;
    switch (key) {
    case Qt::Key_Right:
        // Reading order, then the control beside, then round again.
        if (onBeside)
            go(0);
        else if (m_position == count - 1 && besideShown())
            go(besidePosition());
        else
            go((m_position + 1) % count);
        return true;
    case Qt::Key_Left:
        if (onBeside)
            go(count - 1);
        else if (m_position == 0 && besideShown())
            go(besidePosition());
        else
            go((m_position + count - 1) % count);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Up: {
        if (onBeside) {
            go(rowStart);
            return true;
        }
        const int rows = (count + m_columns - 1) / m_columns;
        const int column = m_position % m_columns;
        int next = (row + (key == Qt::Key_Down ? 1 : rows - 1)) % rows;
        go(std::min(count - 1, next * m_columns + column));
        return true;
    }
    case Qt::Key_Home:
        go(modifiers & Qt::ControlModifier ? 0 : rowStart);
        return true;
    case Qt::Key_End:
        go(modifiers & Qt::ControlModifier ? count - 1 : rowEnd);
        return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_keysInUse = true;
        act();
        update();
        return true;
    default:
        return false;
    }
}

void KeyboardGrid::go(int position)
{
    if (position == besidePosition() && m_position != besidePosition())
        m_rowBeforeBeside = m_position / m_columns;
    m_position = position;
    m_keysInUse = true;
    update();
    if (DragManager::instance()->isDragging())
        DragManager::instance()->followKeyed(current() ? current() : m_area);
}

void KeyboardGrid::act()
{
    PictureBox *place = current();
    DragManager *drags = DragManager::instance();
    if (drags->isDragging()) {
        drags->finishKeyed(place);
        return;
    }
    if (!place || !place->isVisible() || !place->isEnabled())
        return;
    if (place->dragMode() == DragMode::Automatic) {
        drags->beginKeyed(place, place);
        return;
    }
    drags->setKeyPlace(place);
    place->keyClick();
    drags->setKeyPlace(nullptr);
}

// Draws the frame where the keys point, and tells a screen reader where the focus went.
void KeyboardGrid::update()
{
    keepPlace();
    const bool focused = m_area->isVisible() && m_area->hasFocus();
    PictureBox *place = focused ? current() : nullptr;
    QWidget *parent = place ? place->parentWidget() : nullptr;
    if (place && m_keysInUse && parent) {
        if (!m_mark || m_mark->parentWidget() != parent) {
            delete m_mark;
            m_mark = new FocusMark(parent);
        }
        m_mark->setGeometry(place->geometry());
        m_mark->show();
        m_mark->raise();
        DragManager::instance()->keepOnTop();
    } else if (m_mark) {
        m_mark->hide();
    }
    if (m_focused != place) {
        if (m_focused)
            m_focused->setKeyFocus(false);
        m_focused = place;
        if (place) {
            place->setKeyFocus(true);
            QAccessibleEvent event(place, QAccessible::Focus);
            QAccessible::updateAccessibility(&event);
        }
    }
}
