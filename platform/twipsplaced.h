// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "twips.h"

#include <QWidget>

// Twips geometry shared by every control: kept as the handlers computed it, placed in pixels.
class TwipsPlaced
{
public:
    explicit TwipsPlaced(QWidget *self)
        : m_self(self)
    { }
    // Left, top, width, height in twips; fractional values are kept.
    void Move(double left, double top, double width, double height)
    {
        m_twips = QRectF(left, top, width, height);
        m_self->setGeometry(twipsToPixelRect(m_twips));
    }
    double Left() const { return m_twips.left(); }
    double Top() const { return m_twips.top(); }
    double Width() const { return m_twips.width(); }
    double Height() const { return m_twips.height(); }
    QRectF twips() const { return m_twips; }

private:
    QWidget *m_self;
    QRectF m_twips;
};
