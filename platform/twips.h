// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRectF>
#include <cmath>

// Positions are kept in twips, as the windows compute them; 15 twips make one logical pixel.
constexpr double TwipsPerPixel = 15.0;

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::floor(twips / TwipsPerPixel + 0.5));
}

// Both edges are rounded, not the size, so that fractional neighbours share an edge exactly.
inline QRect twipsToPixelRect(const QRectF &twips)
{
    const int left = twipsToPixels(twips.left());
    const int top = twipsToPixels(twips.top());
    const int right = twipsToPixels(twips.left() + twips.width());
    const int bottom = twipsToPixels(twips.top() + twips.height());
    return QRect(left, top, right - left, bottom - top);
}
