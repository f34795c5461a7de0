// SPDX-License-Identifier: GPL-3.0-or-later
#include "label.h"

#include "twips.h"

#include <algorithm>
#include <cmath>

Label::Label(QWidget *parent)
    : QLabel(parent)
    , TwipsPlaced(this)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

void Label::setForeColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void Label::setBackColor(const QColor &color)
{
    setAutoFillBackground(color.isValid());
    if (color.isValid()) {
        QPalette p = palette();
        p.setColor(QPalette::Window, color);
        setPalette(p);
    }
}

QFont legacyFont(const QString &family, double points, bool bold)
{
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(family);
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0 * layoutScale()))));
    font.setBold(bold);
    return font;
}
