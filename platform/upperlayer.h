// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picture.h"
#include "twipsplaced.h"

#include <QPushButton>

// The controls that always lie above the picture controls and labels that share their parent.

// A frame: a container; hiding it hides everything inside.
class Frame : public QWidget, public TwipsPlaced
{
    Q_OBJECT
public:
    explicit Frame(QWidget *parent);
    void setBackColor(const QColor &color);
};

// A push button with a picture face.
class PictureButton : public QPushButton, public TwipsPlaced
{
    Q_OBJECT
public:
    PictureButton(QWidget *parent, const Picture &face, const QString &accessibleName);
    void setBackColor(const QColor &color);
};

// Raises the frames and buttons among the parent's children above the rest.
void raiseUpperLayer(QWidget *parent);
