// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictureclip.h"

#include "runtimeerror.h"

void PictureClip::setPicture(const Picture &picture)
{
    if (picture.isNull())
        throw RuntimeError(QStringLiteral("Invalid picture"));
    m_picture = picture;
}

void PictureClip::setCols(int cols)
{
    if (cols < 1)
        throw RuntimeError(QStringLiteral("Invalid property value"));
    m_cols = cols;
}

void PictureClip::setRows(int rows)
{
    if (rows < 1)
        throw RuntimeError(QStringLiteral("Invalid property value"));
    m_rows = rows;
}

namespace {
// Span [begin, end) of part i of n over length pixels.
std::pair<int, int> span(int i, int n, int length)
{
    if (length >= n) {
        const long long begin = static_cast<long long>(i) * length / n;
        const long long end = static_cast<long long>(i + 1) * length / n;
        return {static_cast<int>(begin), static_cast<int>(end)};
    }
    const int begin = static_cast<int>(static_cast<long long>(i) * length / n);
    return {begin, begin + 1};
}
} // namespace

QRect PictureClip::cellRect(int cell) const
{
    if (cell < 0 || cell >= m_cols * m_rows)
        throw RuntimeError(QStringLiteral("Invalid cell"));
    const auto [left, right] = span(cell % m_cols, m_cols, m_picture.width());
    const auto [top, bottom] = span(cell / m_cols, m_rows, m_picture.height());
    return QRect(left, top, right - left, bottom - top);
}

Picture PictureClip::GraphicCell(int cell) const
{
    if (m_picture.isNull())
        throw RuntimeError(QStringLiteral("No picture"));
    return m_picture.copy(cellRect(cell));
}
