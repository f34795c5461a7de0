// SPDX-License-Identifier: GPL-3.0-or-later
#include "upperlayer.h"

#include "twips.h"

#include <QIcon>

Frame::Frame(QWidget *parent)
    : QWidget(parent)
    , TwipsPlaced(this)
{ }

void Frame::setBackColor(const QColor &color)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

PictureButton::PictureButton(QWidget *parent, const Picture &face, const QString &accessibleName)
    : QPushButton(parent)
    , TwipsPlaced(this)
{
    setIcon(QIcon(QPixmap::fromImage(face)));
    setIconSize((QSizeF(face.size()) * layoutScale()).toSize());
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::setBackColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, color);
    setPalette(p);
}

void raiseUpperLayer(QWidget *parent)
{
    if (!parent)
        return;
    const QObjectList children = parent->children(); // raising reorders the live list
    for (QObject *child : children) {
        if (qobject_cast<Frame *>(child) || qobject_cast<PictureButton *>(child))
            static_cast<QWidget *>(child)->raise();
    }
}
