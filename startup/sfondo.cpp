// SPDX-License-Identifier: GPL-3.0-or-later
#include "sfondo.h"

#include "desktop.h"
#include "twips.h"

#include <algorithm>
#include <utility>

namespace {
const QColor LightYellow(255, 255, 192);
// Room for the borders the desktop draws around a window, beside and below its client area.
constexpr double FrameAllowance = 8;

// 1 where a board of this client area (its place and size on the screen, in twips) fits the
// usable area with its frame; else the largest scale at which it does.
double fittingScale(const QRectF &clientTwips, QSize area)
{
    const double right = clientTwips.right() / TwipsPerPixel;
    const double bottom = clientTwips.bottom() / TwipsPerPixel;
    if (area.isEmpty() || right <= 0 || bottom <= 0)
        return 1;
    return std::min(
        {1.0, (area.width() - FrameAllowance) / right, (area.height() - FrameAllowance) / bottom});
}
} // namespace

Sfondo::Sfondo(ScreenMetrics &screen, MessageBoxService &messages, BoardServices boardServices)
    : m_screen(screen)
    , m_messages(messages)
    , m_boardServices(boardServices)
{
    setObjectName(QStringLiteral("Sfondo"));
    setCaption(QStringLiteral("Puzzle"));
}

// The window's own set-up waits until the resolution box has been answered: the player sees
// the box first, so nothing else should stand before it.
void Sfondo::setUpWindow()
{
    setBackColor(LightYellow);
    setWindowIcon(QIcon(QString::fromLatin1(IconResource)));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setClientArea(750, 765, 4680, 3090);
    client()->setMinimumSize(0, 0);
    client()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

Sfondo::~Sfondo() = default;

QString Sfondo::signedNumber(long long value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

bool Sfondo::choosesSmallBoard() const
{
    return ScreenWidth.toLongLong() < 1024 && ScreenHeight.toLongLong() < 768;
}

void Sfondo::showChosenBoard()
{
    std::unique_ptr<PuzzleForm> &board = choosesSmallBoard() ? m_small : m_large;
    if (!board) {
        board = std::make_unique<PuzzleForm>(choosesSmallBoard() ? ::Puzzle_3m() : ::Puzzle_03(),
                                             m_boardServices);
        // The board belongs to the background, as a dialog does.
        desktop::keepAbove(board.get(), this);
        // The board shows up with the player's picture, not with the built-in one first.
        if (!m_startPicture.isEmpty()) {
            board->Load();
            board->openPicture(std::exchange(m_startPicture, QString()));
        }
    }
    board->Show();
}

void Sfondo::Form_Load()
{
    ScreenWidth = static_cast<qint32>(m_screen.GetSystemMetrics(ScreenMetrics::SM_CXSCREEN));
    ScreenHeight = static_cast<qint32>(m_screen.GetSystemMetrics(ScreenMetrics::SM_CYSCREEN));
    const QString text = QStringLiteral("La definizione dello schermo attuale e' ")
        + signedNumber(ScreenWidth.toLongLong()) + QStringLiteral(" X ")
        + signedNumber(ScreenHeight.toLongLong());
    const auto answer = m_messages.MsgBox(text, MessageBoxService::Buttons::OkCancel, MessageTitle);
    Q_UNUSED(answer);
    // Every window goes on the primary screen, drawn smaller where the board would not fit it.
    const QRect area = m_screen.workArea();
    useDesktop(area.topLeft(),
               fittingScale((choosesSmallBoard() ? ::Puzzle_3m() : ::Puzzle_03()).clientArea,
                            area.size()));
    setUpWindow();
    showMaximizedOver(area);
    setEnabled(false);
    showChosenBoard();
}

void Sfondo::Form_GotFocus()
{
    if (ScreenWidth.isNull())
        return; // not loaded yet: nothing measured, nothing to bring forward
    // One click can both activate the background and press on it: both ask here, and the
    // board comes back once, after both.
    if (m_boardAsked)
        return;
    m_boardAsked = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_boardAsked = false;
            showChosenBoard();
        },
        Qt::QueuedConnection);
}

Form1::Form1(ScreenMetrics &screen, MessageBoxService &messages)
    : m_screen(screen)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("Form1"));
    setCaption(QStringLiteral("Form1"));
    setClientArea(0, 0, 4680, 3195);
    Label1 = new Label(client());
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->Move(240, 240, 1575, 615);
    Label2 = new Label(client());
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->Move(240, 1200, 1575, 615);
    setTabOrder(Label1, Label2);
}

void Form1::Form_Load()
{
    ScreenWidth = static_cast<qint32>(m_screen.GetSystemMetrics(ScreenMetrics::SM_CXSCREEN));
    ScreenHeight = static_cast<qint32>(m_screen.GetSystemMetrics(ScreenMetrics::SM_CYSCREEN));
    const QString width = Sfondo::signedNumber(ScreenWidth.toLongLong());
    const QString height = Sfondo::signedNumber(ScreenHeight.toLongLong());
    const QString text = QStringLiteral("definizione dello schermo attuale e' ") + width
        + QStringLiteral(" X ") + height;
    m_messages.MsgBox(text, MessageBoxService::Buttons::OkCancel, Sfondo::MessageTitle);
    Label1->setCaption(width);
    Label2->setCaption(height);
    if (ScreenWidth.toLongLong() == 1024 && ScreenHeight.toLongLong() == 768)
        setCaption(QStringLiteral("Vero"));
    else if (ScreenWidth.toLongLong() == 800 && ScreenHeight.toLongLong() == 600)
        setCaption(QStringLiteral("Falso"));
}
