// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>

// The busy pointer for work that runs past a moment a player notices (0.2 s), shown from the
// first call of working() after it, until the end of the work. Only the pointer looks at the
// clock; the work's outcome never does.
class BusyCursor
{
public:
    BusyCursor() { m_started.start(); }
    ~BusyCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    void working()
    {
        if (!m_shown && m_started.elapsed() >= 200) {
            m_shown = true;
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }

private:
    QElapsedTimer m_started;
    bool m_shown = false;
};
