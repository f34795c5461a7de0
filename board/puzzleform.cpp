// SPDX-License-Identifier: GPL-3.0-or-later
// The board window: its controls from the definition, the board state and board building.
#include "puzzleform.h"

#include "keyboardgrid.h"
#include "twips.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <cmath>
#include <utility>
#include <variant>

PuzzleForm::PuzzleForm(const BoardDefinition &definition, BoardServices services)
    : CommonDialog1(services.CommonDialog1)
    , MMControl1(services.MMControl1)
    , m_definition(definition)
    , m_random(services.random)
{
    setObjectName(QString::fromLatin1(definition.name));
    setCaption(definition.caption);
    setWindowIcon(QIcon(QString::fromLatin1(IconResource)));
    setBackColor(definition.background);
    // No maximize or minimize button; the window keeps the size it was drawn at.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    createMenus();
    const QRectF area = definition.clientArea;
    setClientArea(area.left(), area.top(), area.width(), area.height());
    setFixedSizeWindow();
    createControls();
    connectEvents();
}

namespace {
// Where each control of the definition lives on the window; its type says what is made.
using ControlMember
    = std::variant<QWidget * PuzzleForm::*, PictureButton * PuzzleForm::*, Frame * PuzzleForm::*,
                   Label * PuzzleForm::*, PictureBox * PuzzleForm::*>;

constexpr std::array<std::pair<ControlId, ControlMember>, ControlCount> ControlMembers {{
    {ControlId::MMControl1, &PuzzleForm::MMControl1Widget},
    {ControlId::Cmd_Esci, &PuzzleForm::Cmd_Esci},
    {ControlId::Cmd_Scambia, &PuzzleForm::Cmd_Scambia},
    {ControlId::Frame1, &PuzzleForm::Frame1},
    {ControlId::Label6, &PuzzleForm::Label6},
    {ControlId::Image5, &PuzzleForm::Image5},
    {ControlId::Image3, &PuzzleForm::Image3},
    {ControlId::Image4, &PuzzleForm::Image4},
    {ControlId::Image1, &PuzzleForm::Image1},
    {ControlId::Label5, &PuzzleForm::Label5},
    {ControlId::Label3, &PuzzleForm::Label3},
    {ControlId::Lbl_Esatti, &PuzzleForm::Lbl_Esatti},
    {ControlId::Label2, &PuzzleForm::Label2},
    {ControlId::Lbl_Errati, &PuzzleForm::Lbl_Errati},
    {ControlId::Lbl_Colonne, &PuzzleForm::Lbl_Colonne},
    {ControlId::Lbl_Righe, &PuzzleForm::Lbl_Righe},
    {ControlId::Label4, &PuzzleForm::Label4},
    {ControlId::Label1, &PuzzleForm::Label1},
}};

constexpr bool everyControlHasItsMember()
{
    for (int i = 0; i < ControlCount; ++i) {
        const auto &[id, member] = ControlMembers[static_cast<size_t>(i)];
        if (static_cast<int>(id) != i
            || std::visit([](auto pointer) { return pointer == nullptr; }, member))
            return false;
    }
    return true;
}
static_assert(everyControlHasItsMember(), "ControlMembers needs one entry per ControlId, in order");
} // namespace

void PuzzleForm::createControls()
{
    for (const ControlSpec &entry : boardControls()) {
        const QRectF geometry = m_definition.geometry[static_cast<int>(entry.id)];
        std::visit([&](auto member) { create(this->*member, entry, geometry); },
                   ControlMembers[static_cast<size_t>(entry.id)].second);
        control(entry.id)->setObjectName(QString::fromLatin1(entry.name));
    }
    // Later controls lie above earlier ones; frames and buttons above them all.
    raiseUpperLayer(client());
    // The tile area stays after the buttons in the focus chain: Tab goes round in the order of
    // the tab indices (0, 2, 11), and the focus starts on "Mostra Puzzle" as before.
    m_keys = new KeyboardGrid(Frame1);
    setTabOrder(Cmd_Scambia, Cmd_Esci);
    nameControls();

    Image1->setPicture(builtInPicture(QString::fromLatin1(PhotoJpegResource)));
    const Picture bitmap = builtInPicture(QString::fromLatin1(PhotoBitmapResource));
    PictureClip1.setPicture(bitmap.isNull() ? Image1->picture() : bitmap);
    PictureClip1.setRows(2);
    PictureClip1.setCols(2);
}

void PuzzleForm::create(QWidget *&player, const ControlSpec &, const QRectF &geometry)
{
    player = new QWidget(client());
    player->setGeometry(twipsToPixelRect(geometry));
    player->hide();
}

void PuzzleForm::create(PictureButton *&button, const ControlSpec &entry, const QRectF &geometry)
{
    const bool exit = entry.id == ControlId::Cmd_Esci;
    button = new PictureButton(
        client(), builtInPicture(QString::fromLatin1(exit ? ExitFaceResource : DealFaceResource)),
        QString::fromUtf8(entry.caption));
    if (entry.background.isValid())
        button->setBackColor(entry.background);
    button->Move(geometry.left(), geometry.top(), geometry.width(), geometry.height());
}

void PuzzleForm::create(Frame *&frame, const ControlSpec &entry, const QRectF &geometry)
{
    frame = new Frame(client());
    frame->setBackColor(entry.background);
    frame->Move(geometry.left(), geometry.top(), geometry.width(), geometry.height());
    for (int i = 0; i < TileArraySize; ++i) {
        auto *tile = new PictureBox(frame, i);
        tile->setObjectName(QStringLiteral("Image2(%1)").arg(i));
        tile->setStretch(true);
        const QRectF t = definedTileGeometry(i);
        tile->Move(t.left(), t.top(), t.width(), t.height());
        Image2Array[static_cast<size_t>(i)] = tile;
    }
    frame->setVisible(entry.visible);
}

void PuzzleForm::create(Label *&label, const ControlSpec &entry, const QRectF &geometry)
{
    label = new Label(client());
    label->setCaption(QString::fromUtf8(entry.caption));
    label->setForeColor(entry.foreground);
    label->setBackColor(entry.background);
    const double points
        = entry.id == ControlId::Label1 ? m_definition.label1Points : entry.font.points;
    label->setFont(legacyFont(QString::fromLatin1(entry.font.family), points, entry.font.bold));
    label->setAlignment((entry.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft)
                        | Qt::AlignTop);
    if (entry.tooltip)
        label->setToolTip(QString::fromUtf8(entry.tooltip));
    label->Move(geometry.left(), geometry.top(), geometry.width(), geometry.height());
    label->setVisible(entry.visible);
}

void PuzzleForm::create(PictureBox *&picture, const ControlSpec &entry, const QRectF &geometry)
{
    picture = new PictureBox(client());
    picture->setStretch(entry.stretch);
    picture->setDragMode(entry.dragMode);
    picture->setBorderStyle(entry.borderStyle);
    picture->Move(geometry.left(), geometry.top(), geometry.width(), geometry.height());
    picture->setVisible(entry.visible);
}

QWidget *PuzzleForm::control(ControlId id) const
{
    const auto index = static_cast<size_t>(id);
    if (index >= ControlMembers.size())
        return nullptr;
    return std::visit([this](auto member) -> QWidget * { return this->*member; },
                      ControlMembers[index].second);
}

void PuzzleForm::createMenus()
{
    const auto text = [](const MenuSpec &entry) {
        return QString::fromUtf8(entry.caption);
    };
    mnu_immagine = addMenu(text(::mnu_immagine));
    mnu_carica = addMenuItem(mnu_immagine, text(::mnu_carica));
    mnu_Col_rig = addMenu(text(::mnu_Col_rig));
    for (size_t i = 0; i < co_ri.size(); ++i)
        co_ri[i] = addMenuItem(mnu_Col_rig, QString::fromLatin1(gridChoices()[i].caption));
    mnu_Opzioni = addMenu(text(::mnu_Opzioni));
    mnu_Guidato = addMenuItem(mnu_Opzioni, text(::mnu_Guidato));
    mnu_Libero = addMenuItem(mnu_Opzioni, text(::mnu_Libero));
    mnu_Metodo = addMenuItem(mnu_Opzioni, text(::mnu_Metodo));
    mnu_Scambio = addMenuItem(mnu_Opzioni, text(::mnu_Scambio));
    mnu_Scambio2 = addMenuItem(mnu_Opzioni, text(::mnu_Scambio2));
    mnu_Clic = addMenuItem(mnu_Opzioni, text(::mnu_Clic));
}

void PuzzleForm::connectEvents()
{
    setAcceptDrops(true);
    auto *paste = new QShortcut(QKeySequence::Paste, this);
    connect(paste, &QShortcut::activated, this, [this] { handle([this] { pastePicture(); }); });
    connect(Cmd_Scambia, &QPushButton::clicked, this,
            [this] { handle([this] { Cmd_Scambia_Click(); }); });
    connect(Cmd_Esci, &QPushButton::clicked, this,
            [this] { handle([this] { Cmd_Esci_Click(); }); });
    for (size_t i = 0; i < co_ri.size(); ++i) {
        const auto index = static_cast<Int16>(i);
        connect(co_ri[i], &QAction::triggered, this,
                [this, index] { handle([&] { co_ri_Click(index); }); });
    }
    const auto on = [this](QAction *action, void (PuzzleForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { handle([&] { (this->*handler)(); }); });
    };
    on(mnu_carica, &PuzzleForm::mnu_carica_Click);
    on(mnu_Guidato, &PuzzleForm::mnu_Guidato_Click);
    on(mnu_Libero, &PuzzleForm::mnu_Libero_Click);
    on(mnu_Scambio, &PuzzleForm::mnu_Scambio_Click);
    on(mnu_Scambio2, &PuzzleForm::mnu_Scambio2_Click);
    on(mnu_Clic, &PuzzleForm::mnu_Clic_Click);

    for (PictureBox *tile : Image2Array) {
        const auto index = static_cast<Int16>(tile->index());
        connect(tile, &PictureBox::Click, this,
                [this, index] { handle([&] { Image2_Click(index); }); });
        connect(tile, &PictureBox::MouseDown, this,
                [this, index] { handle([&] { Image2_MouseDown(index); }); });
        connect(tile, &PictureBox::MouseUp, this,
                [this, index] { handle([&] { Image2_MouseUp(index); }); });
        connect(tile, &PictureBox::DragDrop, this, [this, index](PictureBox *source) {
            handle([&] { Image2_DragDrop(index, source); });
        });
    }
    connect(Image3, &PictureBox::DragDrop, this,
            [this](PictureBox *source) { handle([&] { Image3_DragDrop(source); }); });
    connect(Image3, &PictureBox::Click, this, [this] { handle([this] { Image3_Click(); }); });
}

PictureBox *PuzzleForm::Image2(int index) const
{
    if (index < 0 || index >= TileArraySize)
        throw RuntimeError(QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    return Image2Array[static_cast<size_t>(index)];
}

Int16 &PuzzleForm::cellDrawn(int index)
{
    if (index < 0 || index > 32)
        throw RuntimeError(QStringLiteral("Subscript out of range"));
    return CellDrawn[static_cast<size_t>(index)];
}

Int16 &PuzzleForm::tileCell(int index)
{
    if (index < 0 || index > 32)
        throw RuntimeError(QStringLiteral("Subscript out of range"));
    return TileCell[static_cast<size_t>(index)];
}

void PuzzleForm::BuildBoard()
{
    Image4->setPicture(PictureClip1.picture());
    Label1->setCaption(QString());
    Label5->setVisible(false);
    Lbl_Colonne->setCaption(QStringLiteral("Colonne= ") + QString::number(ColCount));
    Lbl_Righe->setCaption(QStringLiteral("Righe= ") + QString::number(RowCount));
    TileCount = mul16(ColCount, RowCount);
    PictureClip1.setPicture(Image1->picture());
    Image1->ZOrder(0);
    Image1->setVisible(true);
    Label2->setVisible(false);
    Lbl_Errati->setVisible(false);
    Label3->setVisible(false);
    Lbl_Esatti->setVisible(false);
    Image4->setVisible(false);
    PictureClip1.setCols(ColCount);
    PictureClip1.setRows(RowCount);
    for (TileIndex = TileCount; TileIndex <= 29; TileIndex = add16(TileIndex, 1))
        Image2(TileIndex)->setVisible(false);
    TileWidth = static_cast<float>(Image1->Width()) / static_cast<float>(ColCount);
    TileHeight
        = checkedInt16(std::llrint(Image1->Height() / RowCount)); // halves to the even neighbour
    for (TileIndex = 0; TileIndex <= TileCount - 1; TileIndex = add16(TileIndex, 1)) {
        PictureBox *tile = Image2(TileIndex);
        tile->setDragMode(DragMode::Manual);
        tile->setVisible(true);
        TileCol = static_cast<Int16>(TileIndex % ColCount);
        if (TileIndex % ColCount == 0) {
            const int row = TileIndex / ColCount;
            if (row > 255)
                throw RuntimeError(QStringLiteral("Overflow"));
            TileRow = static_cast<std::uint8_t>(row);
        }
        tile->Move(static_cast<float>(TileCol) * TileWidth, mul16(TileRow, TileHeight), TileWidth,
                   TileHeight);
    }
    Frame1->setVisible(false);
    Image3->setPicture(Image5->picture());
    Image3->setTag(EmptyTag);
    if (ClickMode == True)
        Label5->setCaption(ClickInstruction);
    else if (SwapMode == True || TwoStepSwapMode == True)
        Label5->setCaption(DragInstruction);
    // The keys follow the grid just laid out; the spare tile is a place only while it is shown.
    m_keys->setGrid(ColCount,
                    QList<PictureBox *>(Image2Array.begin(), Image2Array.begin() + TileCount),
                    Image3);
}

void PuzzleForm::Form_Load()
{
    ColCount = 3;
    RowCount = 3;
    GuidedMode = False;
    Label4->setCaption(QStringLiteral("Non Guidato"));
    Image1->setVisible(true);
    BuildBoard();
    ClickMode = False;
    SwapMode = True;
    Label6->setCaption(QStringLiteral("Con Scambio"));
}
