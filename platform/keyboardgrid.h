// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picturebox.h"

#include <QList>
#include <QObject>
#include <QPointer>

class FocusMark;

// Play from the keyboard in an area of picture controls laid out as a grid. While the area has
// the focus, the arrow keys move a place over the controls in play (and onto one control beside
// the grid while that is shown), Home and End go to the ends of a row (with Ctrl, of the grid);
// Space or Return on the place does what the mouse does there: on a control in automatic drag
// mode it picks the control up, on any other it clicks it, and while a drag is carried it puts
// it down. A frame of two contrasting lines marks the place while the keys are in use, and a
// screen reader is told that the place has the focus.
class KeyboardGrid : public QObject
{
    Q_OBJECT
public:
    explicit KeyboardGrid(QWidget *area);

    // The controls in reading order, columns wide; beside may be null.
    void setGrid(int columns, const QList<PictureBox *> &cells, PictureBox *beside);
    // Where the keys point: a control of the grid or the one beside it.
    PictureBox *current() const;
    // The frame is drawn (the area has the focus and the keys were used there last).
    bool markShown() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool key(int key, Qt::KeyboardModifiers modifiers);
    int besidePosition() const { return int(m_cells.size()); }
    bool besideShown() const;
    void keepPlace();
    void go(int position);
    void act();
    void update();

    QWidget *m_area;
    QList<QPointer<PictureBox>> m_cells;
    QPointer<PictureBox> m_beside;
    int m_columns = 1;
    int m_position = 0;
    int m_rowBeforeBeside = 0;
    bool m_keysInUse = false;
    QPointer<PictureBox> m_focused;
    QPointer<FocusMark> m_mark;
    QPointer<QObject> m_watchedWindow;
};
