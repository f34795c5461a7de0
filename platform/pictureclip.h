// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picture.h"

#include <QRect>

// Holds a picture and cuts it into rows x columns cells numbered row by row from the top left.
// Every cell covers its share of the picture with no gap and no overlap, and is at least one
// pixel in each direction (a picture smaller than the grid repeats pixels instead).
class PictureClip
{
public:
    Picture picture() const { return m_picture; }
    void setPicture(const Picture &picture);
    int cols() const { return m_cols; }
    int rows() const { return m_rows; }
    void setCols(int cols);
    void setRows(int rows);

    QRect cellRect(int cell) const;
    Picture GraphicCell(int cell) const;

private:
    Picture m_picture;
    int m_cols = 1;
    int m_rows = 1;
};
