#include "controls.h"

#include "dragmanager.h"
#include "runtimeerror.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <cmath>

void TwipsPlaced::Move(double left, double top, double width, double height)
{
    m_twips = QRectF(left, top, width, height);
    m_self->setGeometry(twipsToPixelRect(m_twips));
}

// --- PictureBox ---

PictureBox::PictureBox(QWidget *parent, int index)
    : QWidget(parent)
    , TwipsPlaced(this)
    , m_index(index)
{
    DragManager::instance(); // drags are watched from the first picture control on
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
    } else {
        lower();
    }
}

void PictureBox::Drag(int action)
{
    if (action == vbBeginDrag)
        DragManager::instance()->beginManual(this);
    else if (action == vbCancel)
        DragManager::instance()->cancel(this);
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
    return pixels * TwipsPerPixel;
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

// --- Label, Frame, PictureButton ---

Label::Label(QWidget *parent)
    : QLabel(parent)
    , TwipsPlaced(this)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

void Label::setForeColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void Label::setBackColor(const QColor &color)
{
    setAutoFillBackground(color.isValid());
    if (color.isValid()) {
        QPalette p = palette();
        p.setColor(QPalette::Window, color);
        setPalette(p);
    }
}

Frame::Frame(QWidget *parent)
    : QWidget(parent)
    , TwipsPlaced(this)
{ }

void Frame::setBackColor(const QColor &color)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

PictureButton::PictureButton(QWidget *parent, const Picture &face, const QString &accessibleName)
    : QPushButton(parent)
    , TwipsPlaced(this)
{
    setIcon(QIcon(QPixmap::fromImage(face)));
    setIconSize(face.size());
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::setBackColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, color);
    setPalette(p);
}

QFont legacyFont(const QString &family, double points, bool bold)
{
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    return font;
}

void raiseUpperLayer(QWidget *parent)
{
    if (!parent)
        return;
    const QObjectList children = parent->children(); // raising reorders the live list
    for (QObject *child : children) {
        if (qobject_cast<Frame *>(child) || qobject_cast<PictureButton *>(child))
            static_cast<QWidget *>(child)->raise();
    }
    DragManager::instance()->keepOnTop();
}

// --- Window ---

namespace {
bool g_ending = false;
std::function<void()> g_endHandler;
} // namespace

void Window::setEndHandler(std::function<void()> handler)
{
    g_endHandler = std::move(handler);
}

Window::Window(QWidget *parent)
    : QMainWindow(parent)
    , m_client(new QWidget(this))
{
    setCentralWidget(m_client);
    m_client->setAutoFillBackground(true);
}

void Window::setBackColor(const QColor &color)
{
    QPalette p = m_client->palette();
    p.setColor(QPalette::Window, color);
    m_client->setPalette(p);
}

void Window::setClientArea(double left, double top, double width, double height)
{
    m_clientTwips = QRectF(left, top, width, height);
    const QRect pixels = twipsToPixelRect(m_clientTwips);
    m_client->setFixedSize(pixels.size());
    placeOnScreen();
}

void Window::placeOnScreen()
{
    // The menu bar lies outside the client area, above it; the frame is the desktop's affair.
    const QRect pixels = twipsToPixelRect(m_clientTwips);
    const int menuHeight = menuWidget() ? menuBar()->sizeHint().height() : 0;
    adjustSize();
    setGeometry(QRect(QPoint(pixels.left(), std::max(0, pixels.top() - menuHeight)), size()));
}

// An "&" before a blank marks no access key: it is neither drawn nor underlines the blank.
static QString menuText(QString caption)
{
    static const QRegularExpression lone(QStringLiteral("(?<!&)& "));
    return caption.replace(lone, QStringLiteral(" "));
}

QMenu *Window::addMenu(const QString &caption)
{
    QMenu *menu = menuBar()->addMenu(menuText(caption));
    placeOnScreen();
    return menu;
}

QAction *Window::addMenuItem(QMenu *menu, const QString &caption)
{
    return menu->addAction(menuText(caption));
}

void Window::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        guarded([this] { Form_Load(); });
        // A load handler that showed the window itself has also arranged what lies above it
        // (the background opens the board over itself): raising it now would cover that.
        if (g_ending || isVisible())
            return;
    }
    show();
    raise();
    activateWindow();
}

void Window::End()
{
    if (g_endHandler) {
        g_endHandler();
        return;
    }
    g_ending = true;
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

void Window::closeEvent(QCloseEvent *event)
{
    if (g_ending) {
        event->accept();
        return;
    }
    int cancel = 0;
    guarded([&] { Form_Unload(cancel); });
    if (cancel)
        event->ignore();
    else
        event->accept();
}

bool Window::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        guarded([this] { Form_GotFocus(); });
    return QMainWindow::event(event);
}
