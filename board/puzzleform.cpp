// The board window: its controls from the definition, the board state and board building.
#include "puzzleform.h"

#include "twips.h"

#include <QAction>
#include <QMenu>
#include <cmath>

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
    createControls();
    connectEvents();
}

void PuzzleForm::createControls()
{
    QWidget *window = client();
    for (const ControlSpec &entry : boardControls()) {
        const QRectF g = m_definition.geometry[static_cast<int>(entry.id)];
        const QString name = QString::fromLatin1(entry.name);
        switch (entry.kind) {
        case Kind::Player: {
            MMControl1Widget = new QWidget(window);
            MMControl1Widget->setObjectName(name);
            MMControl1Widget->setGeometry(twipsToPixelRect(g));
            MMControl1Widget->hide();
            break;
        }
        case Kind::Button: {
            const bool exit = entry.id == ControlId::Cmd_Esci;
            auto *button = new PictureButton(
                window,
                builtInPicture(QString::fromLatin1(exit ? ExitFaceResource : DealFaceResource)),
                QString::fromUtf8(entry.caption));
            button->setObjectName(name);
            if (entry.background.isValid())
                button->setBackColor(entry.background);
            button->Move(g.left(), g.top(), g.width(), g.height());
            (exit ? Cmd_Esci : Cmd_Scambia) = button;
            break;
        }
        case Kind::Frame: {
            Frame1 = new Frame(window);
            Frame1->setObjectName(name);
            Frame1->setBackColor(entry.background);
            Frame1->Move(g.left(), g.top(), g.width(), g.height());
            for (int i = 0; i < TileArraySize; ++i) {
                auto *tile = new PictureBox(Frame1, i);
                tile->setObjectName(QStringLiteral("Image2(%1)").arg(i));
                tile->setStretch(true);
                const QRectF t = definedTileGeometry(i);
                tile->Move(t.left(), t.top(), t.width(), t.height());
                Image2Array[i] = tile;
            }
            Frame1->setVisible(entry.visible);
            break;
        }
        case Kind::Label: {
            auto *label = new Label(window);
            label->setObjectName(name);
            label->setCaption(QString::fromUtf8(entry.caption));
            label->setForeColor(entry.foreground);
            label->setBackColor(entry.background);
            const double points
                = entry.id == ControlId::Label1 ? m_definition.label1Points : entry.font.points;
            label->setFont(
                legacyFont(QString::fromLatin1(entry.font.family), points, entry.font.bold));
            label->setAlignment((entry.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft)
                                | Qt::AlignTop);
            if (entry.tooltip)
                label->setToolTip(QString::fromUtf8(entry.tooltip));
            label->Move(g.left(), g.top(), g.width(), g.height());
            label->setVisible(entry.visible);
            switch (entry.id) {
            case ControlId::Label6:
                Label6 = label;
                break;
            case ControlId::Label5:
                Label5 = label;
                break;
            case ControlId::Label3:
                Label3 = label;
                break;
            case ControlId::Lbl_Esatti:
                Lbl_Esatti = label;
                break;
            case ControlId::Label2:
                Label2 = label;
                break;
            case ControlId::Lbl_Errati:
                Lbl_Errati = label;
                break;
            case ControlId::Lbl_Colonne:
                Lbl_Colonne = label;
                break;
            case ControlId::Lbl_Righe:
                Lbl_Righe = label;
                break;
            case ControlId::Label4:
                Label4 = label;
                break;
            default:
                Label1 = label;
                break;
            }
            break;
        }
        case Kind::Picture: {
            auto *picture = new PictureBox(window);
            picture->setObjectName(name);
            picture->setStretch(entry.stretch);
            picture->setDragMode(entry.dragMode);
            picture->setBorderStyle(entry.borderStyle);
            picture->Move(g.left(), g.top(), g.width(), g.height());
            picture->setVisible(entry.visible);
            switch (entry.id) {
            case ControlId::Image5:
                Image5 = picture;
                break;
            case ControlId::Image3:
                Image3 = picture;
                break;
            case ControlId::Image4:
                Image4 = picture;
                break;
            default:
                Image1 = picture;
                break;
            }
            break;
        }
        }
    }
    // Later controls lie above earlier ones; frames and buttons above them all.
    raiseUpperLayer(window);
    setTabOrder(Cmd_Scambia, Cmd_Esci);

    Image1->setPicture(builtInPicture(QString::fromLatin1(PhotoJpegResource)));
    const Picture bitmap = builtInPicture(QString::fromLatin1(PhotoBitmapResource));
    PictureClip1.setPicture(bitmap.isNull() ? Image1->picture() : bitmap);
    PictureClip1.setRows(2);
    PictureClip1.setCols(2);
}

QWidget *PuzzleForm::control(ControlId id) const
{
    switch (id) {
    case ControlId::MMControl1:
        return MMControl1Widget;
    case ControlId::Cmd_Esci:
        return Cmd_Esci;
    case ControlId::Cmd_Scambia:
        return Cmd_Scambia;
    case ControlId::Frame1:
        return Frame1;
    case ControlId::Label6:
        return Label6;
    case ControlId::Image5:
        return Image5;
    case ControlId::Image3:
        return Image3;
    case ControlId::Image4:
        return Image4;
    case ControlId::Image1:
        return Image1;
    case ControlId::Label5:
        return Label5;
    case ControlId::Label3:
        return Label3;
    case ControlId::Lbl_Esatti:
        return Lbl_Esatti;
    case ControlId::Label2:
        return Label2;
    case ControlId::Lbl_Errati:
        return Lbl_Errati;
    case ControlId::Lbl_Colonne:
        return Lbl_Colonne;
    case ControlId::Lbl_Righe:
        return Lbl_Righe;
    case ControlId::Label4:
        return Label4;
    case ControlId::Label1:
        return Label1;
    case ControlId::Count:
        break;
    }
    return nullptr;
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
    connect(Cmd_Scambia, &QPushButton::clicked, this,
            [this] { guarded([this] { Cmd_Scambia_Click(); }); });
    connect(Cmd_Esci, &QPushButton::clicked, this,
            [this] { guarded([this] { Cmd_Esci_Click(); }); });
    for (size_t i = 0; i < co_ri.size(); ++i) {
        const auto index = static_cast<Int16>(i);
        connect(co_ri[i], &QAction::triggered, this,
                [this, index] { guarded([&] { co_ri_Click(index); }); });
    }
    const auto on = [this](QAction *action, void (PuzzleForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
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
                [this, index] { guarded([&] { Image2_Click(index); }); });
        connect(tile, &PictureBox::MouseDown, this,
                [this, index] { guarded([&] { Image2_MouseDown(index); }); });
        connect(tile, &PictureBox::MouseUp, this,
                [this, index] { guarded([&] { Image2_MouseUp(index); }); });
        connect(tile, &PictureBox::DragDrop, this, [this, index](PictureBox *source) {
            guarded([&] { Image2_DragDrop(index, source); });
        });
    }
    connect(Image3, &PictureBox::DragDrop, this,
            [this](PictureBox *source) { guarded([&] { Image3_DragDrop(source); }); });
    connect(Image3, &PictureBox::Click, this, [this] { guarded([this] { Image3_Click(); }); });
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
        tile->setDragMode(PictureBox::vbManual);
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
