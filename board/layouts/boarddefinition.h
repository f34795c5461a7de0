// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picturebox.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <array>

// The board window's two definitions as data: one content table shared by both (what each
// control is and how it starts) and one geometry table each (where it stands, in twips).

enum class ControlId {
    MMControl1,
    Cmd_Esci,
    Cmd_Scambia,
    Frame1,
    Label6,
    Image5,
    Image3,
    Image4,
    Image1,
    Label5,
    Label3,
    Lbl_Esatti,
    Label2,
    Lbl_Errati,
    Lbl_Colonne,
    Lbl_Righe,
    Label4,
    Label1,
    Count
};
constexpr int ControlCount = static_cast<int>(ControlId::Count);

enum class Kind { Player, Button, Frame, Label, Picture };
enum class Align { Left, Center };

struct FontSpec
{
    const char *family; // the face the definition names; mapped to an installed metric match
    double points;
    bool bold;
};

struct ControlSpec
{
    ControlId id;
    const char *name;
    Kind kind;
    const char *caption;
    QColor foreground;
    QColor background; // invalid: transparent
    FontSpec font;
    Align align;
    int tabIndex;
    bool visible;
    bool stretch;
    DragMode dragMode;
    int borderStyle;
    const char *tooltip;
};

struct BoardDefinition
{
    const char *name;
    QString caption;
    QColor background;
    QRectF clientArea; // screen origin and size, twips
    std::array<QRectF, ControlCount> geometry;
    double label1Points;
};

// In creation order.
const std::array<ControlSpec, ControlCount> &boardControls();

const BoardDefinition &Puzzle_3m();
const BoardDefinition &Puzzle_03();

// The tile grid as defined, before the first build places the tiles.
QRectF definedTileGeometry(int index);
constexpr int TileArraySize = 30;

// The menu tree: titles and their items, in order.
struct MenuSpec
{
    const char *name;
    const char *caption;
};
extern const MenuSpec mnu_immagine, mnu_carica, mnu_Col_rig, mnu_Opzioni, mnu_Guidato, mnu_Libero,
    mnu_Metodo, mnu_Scambio, mnu_Scambio2, mnu_Clic;
// Captions of the menu-item array co_ri, index 0 to 12, with the grid each one chooses.
struct GridChoice
{
    const char *caption;
    int cols;
    int rows;
};
const std::array<GridChoice, 13> &gridChoices();

// Built-in pictures (resources).
inline const char *const IconResource = ":/pictures/puzzle.ico";
inline const char *const ExitFaceResource = ":/pictures/esci.bmp";
inline const char *const DealFaceResource = ":/pictures/mostra.bmp";
inline const char *const PhotoJpegResource = ":/pictures/photo.jpg";
inline const char *const PhotoBitmapResource = ":/pictures/photo.bmp";
