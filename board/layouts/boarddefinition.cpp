// SPDX-License-Identifier: GPL-3.0-or-later
#include "boarddefinition.h"

namespace {
const QColor LightYellow(255, 255, 192);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QColor Transparent;
const FontSpec SansSerif {"MS Sans Serif", 9.75, true};
const FontSpec Arial12 {"Arial", 12, true};
const FontSpec NoFont {nullptr, 0, false};
} // namespace

const std::array<ControlSpec, ControlCount> &boardControls()
{
    using K = Kind;
    using C = ControlId;
    constexpr DragMode Man = DragMode::Manual;
    constexpr DragMode Auto = DragMode::Automatic;
    // clang-format off
    static const std::array<ControlSpec, ControlCount> controls{{
        // id               name            kind        caption            fore         back          font       align          tab vis    stretch drag border tooltip
        {C::MMControl1,  "MMControl1",  K::Player,  "",                {},          {},           NoFont,    Align::Left,   12, false, false, Man,  0, nullptr},
        {C::Cmd_Esci,    "Cmd_Esci",    K::Button,  "Esci",            {},          {},           NoFont,    Align::Center, 11, true,  false, Man,  0, nullptr},
        {C::Cmd_Scambia, "Cmd_Scambia", K::Button,  "Mostra Puzzle",   {},          LightYellow,  NoFont,    Align::Center, 2,  true,  false, Man,  0, nullptr},
        {C::Frame1,      "Frame1",      K::Frame,   "",                {},          LightYellow,  NoFont,    Align::Left,   0,  false, false, Man,  0, nullptr},
        {C::Label6,      "Label6",      K::Label,   "",                Blue,        LightYellow,  SansSerif, Align::Left,   13, true,  false, Man,  0, nullptr},
        {C::Image5,      "Image5",      K::Picture, "",                {},          {},           NoFont,    Align::Left,   -1, false, true,  Auto, 1, nullptr},
        {C::Image3,      "Image3",      K::Picture, "",                {},          {},           NoFont,    Align::Left,   -1, true,  true,  Auto, 0, nullptr},
        {C::Image4,      "Image4",      K::Picture, "",                {},          {},           NoFont,    Align::Left,   -1, true,  true,  Man,  0, nullptr},
        {C::Image1,      "Image1",      K::Picture, "",                {},          {},           NoFont,    Align::Left,   -1, true,  true,  Man,  0, nullptr},
        {C::Label5,      "Label5",      K::Label,   "  ",              Blue,        LightYellow,  Arial12,   Align::Center, 10, true,  false, Man,  0, nullptr},
        {C::Label3,      "Label3",      K::Label,   "Posizionati",     Blue,        Transparent,  Arial12,   Align::Center, 9,  true,  false, Man,  0, nullptr},
        {C::Lbl_Esatti,  "Lbl_Esatti",  K::Label,   "",                Blue,        Transparent,  Arial12,   Align::Center, 8,  true,  false, Man,  0, nullptr},
        {C::Label2,      "Label2",      K::Label,   "Da posizionare",  Red,         Transparent,  Arial12,   Align::Center, 7,  true,  false, Man,  0, nullptr},
        {C::Lbl_Errati,  "Lbl_Errati",  K::Label,   "",                Red,         Transparent,  Arial12,   Align::Center, 6,  true,  false, Man,  0, nullptr},
        {C::Lbl_Colonne, "Lbl_Colonne", K::Label,   "",                Blue,        LightYellow,  SansSerif, Align::Left,   5,  true,  false, Man,  0, nullptr},
        {C::Lbl_Righe,   "Lbl_Righe",   K::Label,   "",                Blue,        LightYellow,  SansSerif, Align::Left,   4,  true,  false, Man,  0, nullptr},
        {C::Label4,      "Label4",      K::Label,   "",                Blue,        LightYellow,  SansSerif, Align::Left,   3,  true,  false, Man,  0,
            "Se Guidato: Blocca le Tessere Posizionate Correttamente"},
        {C::Label1,      "Label1",      K::Label,   "",                Red,         Transparent,  {"Arial", 0, true}, Align::Center, 1, true, false, Man,  0, nullptr},
    }};
    // clang-format on
    return controls;
}

const BoardDefinition &Puzzle_3m()
{
    // clang-format off
    static const BoardDefinition definition{
        "Puzzle_3m", QStringLiteral("Puzzle_3"), LightYellow, QRectF(405, 885, 11130, 7440),
        {{
            {240, 7800, 4215, 495},    // MMControl1
            {9240, 6360, 1095, 495},   // Cmd_Esci
            {4560, 6240, 2385, 615},   // Cmd_Scambia
            {2400, 240, 6135, 5055},   // Frame1
            {120, 3000, 1815, 615},    // Label6
            {120, 120, 1215, 1095},    // Image5
            {240, 1320, 1455, 1335},   // Image3
            {8880, 3720, 1935, 1455},  // Image4
            {2400, 240, 6090, 4995},   // Image1
            {240, 8400, 13560, 330},   // Label5
            {8760, 2160, 2235, 255},   // Label3
            {8760, 2520, 2280, 495},   // Lbl_Esatti
            {8760, 720, 2295, 495},    // Label2
            {8760, 1080, 2295, 495},   // Lbl_Errati
            {120, 4200, 1455, 375},    // Lbl_Colonne
            {120, 4680, 1455, 375},    // Lbl_Righe
            {120, 3720, 1455, 375},    // Label4
            {1560, 5520, 7920, 675},   // Label1
        }},
        20.25};
    // clang-format on
    return definition;
}

const BoardDefinition &Puzzle_03()
{
    // clang-format off
    static const BoardDefinition definition{
        "Puzzle_03", QStringLiteral("Puzzle_3"), LightYellow, QRectF(660, 1230, 13860, 8715),
        {{
            {240, 7800, 4215, 495},    // MMControl1
            {12000, 7680, 1095, 495},  // Cmd_Esci
            {5520, 7680, 2385, 615},   // Cmd_Scambia
            {2640, 240, 8175, 6255},   // Frame1
            {240, 3360, 1815, 615},    // Label6
            {0, 0, 1215, 1095},        // Image5
            {480, 1320, 1455, 1335},   // Image3
            {11160, 4800, 2175, 1455}, // Image4
            {2640, 240, 8130, 6195},   // Image1
            {240, 8400, 13560, 330},   // Label5
            {11160, 2640, 2235, 255},  // Label3
            {11160, 3000, 2280, 495},  // Lbl_Esatti
            {11160, 720, 2295, 495},   // Label2
            {11160, 1080, 2295, 495},  // Lbl_Errati
            {240, 4680, 1455, 375},    // Lbl_Colonne
            {240, 5280, 1455, 375},    // Lbl_Righe
            {240, 4080, 1455, 375},    // Label4
            {2400, 6720, 8640, 795},   // Label1
        }},
        21.75};
    // clang-format on
    return definition;
}

QRectF definedTileGeometry(int index)
{
    return QRectF(120 + 840 * (index % 6), 240 + 720 * (index / 6), 855, 735);
}

const MenuSpec mnu_immagine {"mnu_immagine", "&Immagine"};
const MenuSpec mnu_carica {"mnu_carica", "Carica_da_File"};
const MenuSpec mnu_Col_rig {"mnu_Col_rig", "&Colonne & Righe"};
const MenuSpec mnu_Opzioni {"mnu_Opzioni", "&Opzioni"};
const MenuSpec mnu_Guidato {"mnu_Guidato", "&Guidato"};
const MenuSpec mnu_Libero {"mnu_Libero", "&Non_Guidato"};
const MenuSpec mnu_Metodo {"mnu_Metodo", ""};
const MenuSpec mnu_Scambio {"mnu_Scambio", "Con Scambio"};
const MenuSpec mnu_Scambio2 {"mnu_Scambio2", "Scambio in Due Tempi"};
const MenuSpec mnu_Clic {"mnu_Clic", "Con Click"};

const std::array<GridChoice, 13> &gridChoices()
{
    static const std::array<GridChoice, 13> choices {{{"1 X 2", 1, 2},
                                                      {"2 X 1", 2, 1},
                                                      {"2 X 2", 2, 2},
                                                      {"2 X 3", 2, 3},
                                                      {"3 X 2", 3, 2},
                                                      {"3 X 3", 3, 3},
                                                      {"3 X 4", 3, 4},
                                                      {"4 X 3", 4, 3},
                                                      {"4 X 4", 4, 4},
                                                      {"4 X 5", 4, 5},
                                                      {"5 X 4", 5, 4},
                                                      {"5 X 5", 5, 5},
                                                      {"6 X 5", 6, 5}}};
    return choices;
}
