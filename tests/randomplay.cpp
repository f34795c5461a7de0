// SPDX-License-Identifier: GPL-3.0-or-later
// Plays far more than any person would: long seeded sequences of everything a player can do,
// with the board's invariants checked after every single event.
// Usage: randomplay SEED EVENTS [--exit]   (--exit: leave by "Esci" at the end, for leak checks)
// On a violation it prints the seed and the event number, and replays the same way.

#include "fakes.h"
#include "pictures.h"
#include "sfondo.h"

#include <QApplication>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <random>

namespace {

class Player
{
public:
    Player(std::uint64_t seed, PuzzleForm &form, FakeFileDialog &dialog, const QStringList &files)
        : m_rng(seed)
        , m_form(form)
        , m_dialog(dialog)
        , m_files(files)
    {
        m_targets
            = {m_form.Image3,     m_form.Image4, m_form.Image1,      m_form.Label1,  m_form.Label4,
               m_form.Lbl_Esatti, m_form.Frame1, m_form.Cmd_Scambia, m_form.client()};
        for (PictureBox *tile : m_form.Image2Array)
            m_targets.append(tile);
    }

    QString step()
    {
        const int roll = pick(0, 999);
        if (roll < 40)
            return deal();
        if (roll < 55) {
            const int grid = pick(0, 12);
            m_form.co_ri[static_cast<size_t>(grid)]->trigger();
            return QStringLiteral("grid %1").arg(gridChoices()[static_cast<size_t>(grid)].caption);
        }
        if (roll < 70) {
            QAction *methods[]
                = {m_form.mnu_Scambio, m_form.mnu_Scambio2, m_form.mnu_Clic, m_form.mnu_Metodo};
            QAction *method = methods[pick(0, 3)];
            method->trigger();
            return QStringLiteral("menu '%1'").arg(method->text());
        }
        if (roll < 85) {
            QAction *mode = pick(0, 1) ? m_form.mnu_Guidato : m_form.mnu_Libero;
            mode->trigger();
            return QStringLiteral("menu '%1'").arg(mode->text());
        }
        if (roll < 92) {
            const int file = pick(0, int(m_files.size()));
            m_dialog.answer = file == m_files.size() ? QString() : m_files[file];
            m_form.mnu_carica->trigger();
            return QStringLiteral("load '%1'")
                .arg(m_dialog.answer.isEmpty() ? QStringLiteral("(cancel)")
                                               : QFileInfo(m_dialog.answer).fileName());
        }
        if (roll < 96) {
            QTest::keyClick(m_form.windowHandle(), Qt::Key_Escape);
            return QStringLiteral("Escape");
        }
        if (roll < 150) {
            m_byKeys = pick(0, 1);
            return knowingMove();
        }
        if (roll < 300)
            return key();
        return mouse();
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

    QString deal()
    {
        QTest::mouseClick(m_form.windowHandle(), Qt::LeftButton, {}, pointIn(m_form.Cmd_Scambia));
        return QStringLiteral("deal");
    }

    // A move that places a tile, as a player who knows the picture makes it: without these, big
    // grids would almost never be finished.
    QString knowingMove()
    {
        QWindow *window = m_form.windowHandle();
        const auto at = [&](QWidget *w) {
            return pointIn(w);
        };
        const auto showing = [&](int cell) {
            for (int i = 0; i < m_form.TileCount; ++i)
                if (m_form.Image2(i)->tag() == QString::number(cell))
                    return m_form.Image2(i);
            return static_cast<PictureBox *>(nullptr);
        };
        if (m_form.ClickMode == PuzzleForm::True) {
            int gap = 0;
            while (gap < m_form.TileCount && m_form.Image2(gap)->tag() != PuzzleForm::EmptyTag)
                ++gap;
            if (gap == m_form.TileCount) {
                PictureBox *first = m_form.Image2(pick(0, std::max(0, m_form.TileCount - 1)));
                if (!keyClick(first))
                    QTest::mouseClick(window, Qt::LeftButton, {}, at(first));
                return QStringLiteral("take %1%2").arg(first->objectName(), how());
            }
            if (PictureBox *right = showing(gap)) {
                if (!keyClick(right))
                    QTest::mouseClick(window, Qt::LeftButton, {}, at(right));
                return QStringLiteral("jump %1%2").arg(right->objectName(), how());
            }
            if (!keyDrag(m_form.Image3, m_form.Image3)) {
                const QPoint spare = at(m_form.Image3);
                QTest::mousePress(window, Qt::LeftButton, {}, spare);
                QTest::mouseMove(window, spare + QPoint(1, 1));
                QTest::mouseRelease(window, Qt::LeftButton, {}, spare);
            }
            return QStringLiteral("put the spare back%1").arg(how());
        }
        for (int i = 0; i < m_form.TileCount; ++i) {
            PictureBox *place = m_form.Image2(i);
            PictureBox *right = showing(i);
            if (place->tag() == QString::number(i) || !right || !right->isEnabled())
                continue;
            if (keyDrag(right, place)) {
                // the same in either method: Space picks up, Space puts down
            } else if (m_form.TwoStepSwapMode == PuzzleForm::True) {
                QTest::mouseClick(window, Qt::LeftButton, {}, at(right));
                QTest::mouseClick(window, Qt::LeftButton, {}, at(place));
            } else {
                const QPoint from = at(right), to = at(place);
                QTest::mousePress(window, Qt::LeftButton, {}, from);
                QTest::mouseMove(window, (from + to) / 2);
                QTest::mouseMove(window, to);
                QTest::mouseRelease(window, Qt::LeftButton, {}, to);
            }
            return QStringLiteral("place %1 on %2%3")
                .arg(right->objectName(), place->objectName(), how());
        }
        return QStringLiteral("nothing to place");
    }

    QString how() const { return m_byKeys ? QStringLiteral(" by keys") : QString(); }

    // The keys to a place in the tile area: Tab to the area, then Right until there. False
    // when the knowing move is the mouse's this time, or the keys cannot reach the place.
    bool keyTo(PictureBox *place)
    {
        if (!m_byKeys)
            return false;
        focusTiles();
        QWindow *window = m_form.windowHandle();
        for (int i = 0; i < 32 && m_form.keys()->current() != place; ++i)
            QTest::keyClick(window, Qt::Key_Right);
        return m_form.keys()->current() == place;
    }
    void focusTiles()
    {
        for (int i = 0; i < 6 && !m_form.Frame1->hasFocus(); ++i)
            QTest::keyClick(m_form.windowHandle(), Qt::Key_Tab);
    }
    bool keyClick(PictureBox *place)
    {
        if (!keyTo(place))
            return false;
        QTest::keyClick(m_form.windowHandle(), pick(0, 1) ? Qt::Key_Space : Qt::Key_Return);
        return true;
    }
    bool keyDrag(PictureBox *from, PictureBox *to)
    {
        if (!keyClick(from))
            return false;
        keyTo(to);
        QTest::keyClick(m_form.windowHandle(), Qt::Key_Space);
        return true;
    }

    // Any key the tile area or the buttons take, wherever the focus is.
    QString key()
    {
        static const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            {Qt::Key_Tab, {}},
            {Qt::Key_Backtab, Qt::ShiftModifier},
            {Qt::Key_Left, {}},
            {Qt::Key_Right, {}},
            {Qt::Key_Up, {}},
            {Qt::Key_Down, {}},
            {Qt::Key_Home, {}},
            {Qt::Key_End, {}},
            {Qt::Key_Home, Qt::ControlModifier},
            {Qt::Key_End, Qt::ControlModifier},
            {Qt::Key_Space, {}},
            {Qt::Key_Return, {}},
            {Qt::Key_Enter, {}},
            {Qt::Key_Escape, {}},
        };
        const auto &[k, modifiers] = keys[pick(0, int(std::size(keys)) - 1)];
        // Most keys where they play; now and then the focus moves on.
        if (k != Qt::Key_Tab && k != Qt::Key_Backtab && pick(0, 3))
            focusTiles();
        QTest::keyClick(m_form.windowHandle(), k, modifiers);
        QWidget *focus = QApplication::focusWidget();
        return QStringLiteral("key %1%2 on %3")
            .arg(modifiers ? QStringLiteral("Ctrl+") : QString(),
                 QKeySequence(k).toString(QKeySequence::PortableText),
                 focus ? focus->objectName() : QStringLiteral("nothing"));
    }

    QPoint pointIn(QWidget *widget)
    {
        const QRect r = widget->rect();
        const QPoint local(pick(0, std::max(0, r.width() - 1)),
                           pick(0, std::max(0, r.height() - 1)));
        return widget->mapTo(&m_form, local);
    }

    QString mouse()
    {
        // Tiles in play most of the time, anything else now and then.
        QWidget *target = pick(0, 3)
            ? m_form.Image2Array[static_cast<size_t>(pick(0, std::max(0, m_form.TileCount - 1)))]
            : m_targets[pick(0, int(m_targets.size()) - 1)];
        if (target == m_form.Cmd_Scambia)
            return deal();
        const QPoint at = pointIn(target);
        QWindow *window = m_form.windowHandle();
        const Qt::MouseButton button = pick(0, 5) ? Qt::LeftButton : Qt::RightButton;
        const QString where
            = target->objectName().isEmpty() ? QStringLiteral("window") : target->objectName();
        switch (pick(0, 6)) {
        case 6: {
            // A whole drag, now and then back onto where it began (the spare tile put back).
            QWidget *onto = pick(0, 2) ? target : m_targets[pick(0, int(m_targets.size()) - 1)];
            const QPoint to = pointIn(onto);
            QTest::mousePress(window, Qt::LeftButton, {}, at);
            QTest::mouseMove(window, (at + to) / 2);
            QTest::mouseMove(window, to);
            QTest::mouseRelease(window, Qt::LeftButton, {}, to);
            return QStringLiteral("drag %1 to %2").arg(where, onto->objectName());
        }
        case 0:
            QTest::mousePress(window, button, {}, at);
            return QStringLiteral("press %1").arg(where);
        case 1:
            QTest::mouseRelease(window, button, {}, at);
            return QStringLiteral("release %1").arg(where);
        case 2:
            QTest::mouseMove(window, at);
            return QStringLiteral("move %1").arg(where);
        case 3:
            QTest::mouseDClick(window, button, {}, at);
            return QStringLiteral("double click %1").arg(where);
        default:
            QTest::mouseClick(window, button, {}, at);
            return QStringLiteral("click %1").arg(where);
        }
    }

    std::mt19937_64 m_rng;
    PuzzleForm &m_form;
    FakeFileDialog &m_dialog;
    QStringList m_files;
    QList<QWidget *> m_targets;
    bool m_byKeys = false;
};

// What must hold after every event; an empty answer means all is well.
QString violation(PuzzleForm &f)
{
    for (int i = f.TileCount; i < 30; ++i)
        if (!f.Image2(i)->isHidden())
            return QStringLiteral("tile %1 beyond the %2 in play is shown").arg(i).arg(f.TileCount);
    if (!f.Frame1->isVisible())
        return {}; // the whole picture is shown; the tiles are the last game's
    const bool click = f.ClickMode == PuzzleForm::True;
    const bool held = click && f.Image3->tag() != PuzzleForm::EmptyTag;
    QList<int> seen(f.TileCount, 0);
    int gaps = 0, placed = 0, placedWithHeld = 0;
    for (int i = 0; i < f.TileCount; ++i) {
        PictureBox *tile = f.Image2(i);
        if (tile->tag() == PuzzleForm::EmptyTag) {
            ++gaps;
            if (tile->isVisible())
                return QStringLiteral("the gap %1 is shown").arg(i);
            if (held && f.Image3->tag().toInt() == i)
                ++placedWithHeld;
            continue;
        }
        bool ok = false;
        const int cell = tile->tag().toInt(&ok);
        if (!ok || cell < 0 || cell >= f.TileCount)
            return QStringLiteral("tile %1 shows cell '%2'").arg(i).arg(tile->tag());
        if (!tile->isVisible())
            return QStringLiteral("tile %1 is hidden and no gap").arg(i);
        ++seen[cell];
        placed += cell == i;
        placedWithHeld += cell == i;
        if (!tile->isEnabled() && cell != i)
            return QStringLiteral("tile %1 is locked out of place").arg(i);
    }
    if (held) {
        const int cell = f.Image3->tag().toInt();
        if (cell < 0 || cell >= f.TileCount)
            return QStringLiteral("the spare tile holds '%1'").arg(f.Image3->tag());
        ++seen[cell];
    }
    if (gaps != (held ? 1 : 0))
        return QStringLiteral("%1 gaps with the spare tile %2")
            .arg(gaps)
            .arg(held ? "held" : "empty");
    for (int k = 0; k < f.TileCount; ++k)
        if (seen[k] != 1)
            return QStringLiteral("cell %1 is shown %2 times").arg(k).arg(seen[k]);
    // A tile taken into the spare is not recounted until the next move.
    const int shownPlaced = f.Lbl_Esatti->caption().toInt();
    if (shownPlaced != placed && !(held && shownPlaced == placedWithHeld))
        return QStringLiteral("'Posizionati' reads %1, the board has %2")
            .arg(f.Lbl_Esatti->caption())
            .arg(placed);
    if (f.Lbl_Errati->caption().toInt() != f.TileCount - shownPlaced)
        return QStringLiteral("'Da posizionare' reads %1").arg(f.Lbl_Errati->caption());
    if (placed == f.TileCount && f.Label1->caption() != PuzzleForm::Congratulation)
        return QStringLiteral("a finished board without the congratulation");
    if (f.keys()->markShown()) {
        PictureBox *place = f.keys()->current();
        const bool inPlay = place
            && (place == f.Image3 ? f.Image3->isVisible()
                                  : place->index() >= 0 && place->index() < f.TileCount);
        if (!f.Frame1->hasFocus() || !inPlay)
            return QStringLiteral("the keyboard frame is on %1 with the focus on %2")
                .arg(place ? place->objectName() : QStringLiteral("nothing"),
                     QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                 : QStringLiteral("nothing"));
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: randomplay SEED EVENTS [--exit]\n");
        return 2;
    }
    const std::uint64_t seed = args[1].toULongLong();
    const long events = args[2].toLong();
    const bool exitAtEnd = args.contains(QStringLiteral("--exit"));
    const long minimumMoves = events / 85, minimumCompletions = events / 4250;

    QTemporaryDir dir;
    QStringList files;
    const auto add = [&](const QString &name, const QByteArray &bytes) {
        testpictures::write(dir.filePath(name), bytes);
        files << dir.filePath(name);
    };
    add(QStringLiteral("small.bmp"), testpictures::encoded(testpictures::scene(60, 40), "BMP"));
    add(QStringLiteral("dot.gif"), testpictures::gif(2));
    add(QStringLiteral("broken.jpg"),
        testpictures::encoded(testpictures::scene(90, 60), "JPG").left(300));
    files << dir.filePath(QStringLiteral("missing.jpg"));

    FakeScreen screen(seed % 2 ? 800 : 1024, seed % 2 ? 600 : 768);
    FakeMessageBox messages;
    FakeFileDialog dialog;
    FakePlayer player;
    FakeRandom random(seed);
    int endRequests = 0;
    Window::setEndHandler([&] { ++endRequests; });
    Sfondo sfondo(screen, messages, BoardServices {dialog, player, random});
    sfondo.Show();
    PuzzleForm &form = screen.width < 1024 ? *sfondo.Puzzle_3m() : *sfondo.Puzzle_03();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the board was never shown\n");
        return 2;
    }

    // Every method and mode gets its share of seeds.
    QAction *methods[] = {form.mnu_Scambio, form.mnu_Scambio2, form.mnu_Clic};
    methods[seed % 3]->trigger();
    (seed / 3 % 2 ? form.mnu_Guidato : form.mnu_Libero)->trigger();

    Player player_(seed, form, dialog, files);
    QStringList recent;
    // Moves and completed games under each method: a driver whose events all missed would
    // find no violation either.
    const char *methodNames[] = {"Con Scambio", "Scambio in Due Tempi", "Con Click"};
    const auto method = [&] {
        return form.ClickMode == PuzzleForm::True      ? 2
            : form.TwoStepSwapMode == PuzzleForm::True ? 1
                                                       : 0;
    };
    long inPlay = 0, changes[3] = {}, completions[3] = {};
    const auto board = [&] {
        QStringList tags;
        for (int i = 0; i < form.TileCount; ++i)
            tags << form.Image2(i)->tag();
        return tags.join(QLatin1Char(',')) + form.Image3->tag();
    };
    for (long n = 1; n <= events; ++n) {
        const QString before = board();
        const bool wasComplete = form.Label1->caption() == PuzzleForm::Congratulation;
        const QString event = player_.step();
        recent << event;
        if (recent.size() > 12)
            recent.removeFirst();
        const QString problem = violation(form);
        if (!problem.isEmpty()) {
            std::printf("VIOLATION seed %llu event %ld (%s): %s\nlast events: %s\nreplay: "
                        "randomplay %llu %ld\n",
                        static_cast<unsigned long long>(seed), n, qPrintable(event),
                        qPrintable(problem), qPrintable(recent.join(QStringLiteral("; "))),
                        static_cast<unsigned long long>(seed), n);
            return 1;
        }
        if (form.Frame1->isVisible()) {
            ++inPlay;
            changes[method()] += event != QLatin1String("deal") && board() != before;
            completions[method()]
                += !wasComplete && form.Label1->caption() == PuzzleForm::Congratulation;
        }
    }
    std::printf("seed %llu: %ld events, no violation; %ld in play, %lld sounds\n",
                static_cast<unsigned long long>(seed), events, inPlay,
                static_cast<long long>(player.log.count(QStringLiteral("play"))));
    bool played = true;
    for (int m = 0; m < 3; ++m) {
        std::printf("  %s: %ld moves, %ld completed games\n", methodNames[m], changes[m],
                    completions[m]);
        played = played && changes[m] >= minimumMoves && completions[m] >= minimumCompletions;
    }
    if (!played) {
        std::printf("TOO LITTLE PLAY: each method needs %ld moves and %ld completed games\n",
                    minimumMoves, minimumCompletions);
        return 1;
    }

    if (exitAtEnd) {
        Window::setEndHandler({});
        QTimer::singleShot(0, &form, [&] { form.Cmd_Esci->click(); });
        return QApplication::exec();
    }
    return 0;
}
