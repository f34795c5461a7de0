// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader is told of the board: which picture each tile shows, where, and whether
// it is in its place or locked.
#include "puzzleform.h"

void PuzzleForm::nameControls()
{
    Frame1->setAccessibleName(QStringLiteral("Tessere"));
    Image1->setAccessibleName(QStringLiteral("Immagine intera"));
    Image4->setAccessibleName(QStringLiteral("Immagine di riferimento"));
    Lbl_Esatti->setAccessibleDescription(Label3->caption());
    Lbl_Errati->setAccessibleDescription(Label2->caption());
    describeTiles();
}

namespace {
void nameOnce(QWidget *control, const QString &name)
{
    if (control->accessibleName() != name)
        control->setAccessibleName(name); // a screen reader hears of the change
}

// The picture a tag shows, counted from 1 as a player counts; 0 for the empty marker, -1 for
// no tile.
int shownCell(const QString &tag)
{
    bool ok = false;
    const int cell = tag.toInt(&ok);
    if (!ok || cell < 0)
        return -1;
    return cell == 100 ? 0 : cell + 1;
}
} // namespace

// Counts in a loop of its own, not in TileIndex: it runs after the handlers and leaves the
// board's variables as they left them.
void PuzzleForm::describeTiles()
{
    const int columns = std::max<int>(1, ColCount);
    for (int i = 0; i < TileArraySize; ++i) {
        PictureBox *tile = Image2Array[static_cast<size_t>(i)];
        const int cell = i < TileCount ? shownCell(tile->tag()) : -1;
        const QString where
            = QStringLiteral("riga %1, colonna %2").arg(i / columns + 1).arg(i % columns + 1);
        QString name;
        if (cell == 0) {
            name = QStringLiteral("Spazio vuoto, ") + where;
        } else if (cell > 0) {
            name = QStringLiteral("Tessera %1, ").arg(cell) + where;
            if (cell == i + 1)
                name += QStringLiteral(", al suo posto");
            if (!tile->isEnabled())
                name += QStringLiteral(", bloccata");
        }
        nameOnce(tile, name);
    }
    const int held = shownCell(Image3->tag());
    nameOnce(Image3,
             held > 0 ? QStringLiteral("Riserva, tessera %1").arg(held)
                      : QStringLiteral("Riserva, vuota"));
}
