// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "twipsplaced.h"

#include <QLabel>

// A text label: caption, colours, font, alignment, opaque or transparent, tooltip.
class Label : public QLabel, public TwipsPlaced
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent);
    QString caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }
    void setForeColor(const QColor &color);
    // An invalid colour makes the background transparent.
    void setBackColor(const QColor &color);
};

// A font named by a classic Windows face ("Arial", "MS Sans Serif") in points at 96 dots per
// inch, mapped to the nearest installed metric match and sized in pixels, so that text fills
// the same room as the layout was drawn for.
QFont legacyFont(const QString &family, double points, bool bold);
