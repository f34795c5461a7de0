// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRectF>
#include <cmath>

// Positions are kept in twips, as the windows compute them; 15 twips make one logical pixel.
constexpr double TwipsPerPixel = 15.0;

// Where a screen is too small even for the small layout, every window is drawn at this scale
// (below 1); set at start, before the first window is made.
namespace detail {
inline double layoutScale = 1.0;
}
inline double layoutScale()
{
    return detail::layoutScale;
}
inline void setLayoutScale(double scale)
{
    detail::layoutScale = scale;
}

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::floor(twips * layoutScale() / TwipsPerPixel + 0.5));
}
inline double pixelsToTwips(double pixels)
{
    return pixels * TwipsPerPixel / layoutScale();
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
