// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "boarddefinition.h"
#include "controls.h"
#include "int16.h"
#include "loadwait.h"
#include "pictureclip.h"
#include "services.h"

#include <array>

class KeyboardGrid;
class QAction;
class QMenu;
class QMimeData;

// What the board needs of the outside world.
struct BoardServices
{
    FileOpenDialog &CommonDialog1;
    MediaPlayer &MMControl1;
    RandomSource &random;
};

// The board window: one class for both definitions. Its handlers read as the game's steps,
// on controls and window-level variables named as the whole team knows them.
class PuzzleForm : public Window
{
    Q_OBJECT
public:
    static constexpr Int16 True = -1;
    static constexpr Int16 False = 0;
    static inline const QString EmptyTag = QStringLiteral("100");
    static inline const QString NotifySound
        = QStringLiteral("C:\\WINDOWS\\Media\\Windows XP - Notifica.wav");
    static inline const QString FanfareSound = QStringLiteral("C:\\WINDOWS\\Media\\tada.wav");
    static inline const QString Congratulation
        = QStringLiteral("Complimenti! Hai completato il puzzle!");
    static inline const QString ClickInstruction = QStringLiteral(
        " CLICCANDO SULLE TESSERE OTTIENI UNO SPOSTAMENTO, UTILIZZALO  PER  COMPORRE  L'IMMAGINE");
    static inline const QString DragInstruction = QStringLiteral(
        " OSSERVANDO L'IMMAGINE PICCOLA, TRASCINA LE TESSERE NELLA POSIZIONE ESATTA");
    static inline const QString PictureFilter
        = QStringLiteral("Tutti i File di Grafica|*.bmp;*.gif;*.jpg;*.ico");

    PuzzleForm(const BoardDefinition &definition, BoardServices services);

    const BoardDefinition &definition() const { return m_definition; }

    // --- window-level variables (all zero at creation) ---
    Int16 ColCount = 0;
    Int16 RowCount = 0;
    Int16 TileCount = 0;
    std::array<Int16, 33> CellDrawn {};
    std::array<Int16, 33> TileCell {};
    Int16 TileCol = 0;
    std::uint8_t TileRow = 0;
    float TileWidth = 0;
    Int16 TileHeight = 0;
    Int16 CellNo = 0;
    Int16 TileIndex = 0;
    Int16 PlacedCount = 0;
    Int16 MisplacedCount = 0;
    Int16 LastSoundCount = 0;
    Int16 GuidedMode = False;
    Int16 SwapMode = False;
    Int16 TwoStepSwapMode = False;
    Int16 ClickMode = False;

    // --- controls ---
    QWidget *MMControl1Widget = nullptr; // the player's place on the window; never shown
    PictureButton *Cmd_Esci = nullptr;
    PictureButton *Cmd_Scambia = nullptr;
    Frame *Frame1 = nullptr;
    std::array<PictureBox *, TileArraySize> Image2Array {};
    Label *Label6 = nullptr;
    PictureBox *Image5 = nullptr;
    PictureBox *Image3 = nullptr;
    PictureBox *Image4 = nullptr;
    PictureBox *Image1 = nullptr;
    Label *Label5 = nullptr;
    Label *Label3 = nullptr;
    Label *Lbl_Esatti = nullptr;
    Label *Label2 = nullptr;
    Label *Lbl_Errati = nullptr;
    Label *Lbl_Colonne = nullptr;
    Label *Lbl_Righe = nullptr;
    Label *Label4 = nullptr;
    Label *Label1 = nullptr;
    PictureClip PictureClip1;
    FileOpenDialog &CommonDialog1;
    MediaPlayer &MMControl1;

    // --- menus ---
    QMenu *mnu_immagine = nullptr;
    QAction *mnu_carica = nullptr;
    QMenu *mnu_Col_rig = nullptr;
    std::array<QAction *, 13> co_ri {};
    QMenu *mnu_Opzioni = nullptr;
    QAction *mnu_Guidato = nullptr;
    QAction *mnu_Libero = nullptr;
    QAction *mnu_Metodo = nullptr;
    QAction *mnu_Scambio = nullptr;
    QAction *mnu_Scambio2 = nullptr;
    QAction *mnu_Clic = nullptr;

    // A tile by index; an index outside the array is an error.
    PictureBox *Image2(int index) const;
    // A control of the definition by id; null only outside the definition.
    QWidget *control(ControlId id) const;
    // Play from the keyboard in the tile area.
    KeyboardGrid *keys() const { return m_keys; }

    // --- handlers ---
    void Form_Load() override;
    void Form_Unload(int &cancel) override;
    void Cmd_Scambia_Click();
    void Cmd_Esci_Click();
    void co_ri_Click(Int16 index);
    void mnu_carica_Click();
    // A picture the player opened the game with: loaded as one chosen in the dialog would be;
    // a file that does not load leaves the board as it was, silently.
    void openPicture(const QString &fileName);
    // The same for a picture pasted on the board (Ctrl+V): a file's name or a picture's bytes
    // copied from a file manager, a browser or an image viewer.
    void pastePicture();
    void mnu_Guidato_Click();
    void mnu_Libero_Click();
    void mnu_Scambio_Click();
    void mnu_Scambio2_Click();
    void mnu_Clic_Click();
    void Image2_DragDrop(Int16 index, PictureBox *source);
    void Image2_MouseDown(Int16 index);
    void Image2_MouseUp(Int16 index);
    void Image2_Click(Int16 index);
    void Image3_DragDrop(PictureBox *source);
    void Image3_Click();

protected:
    // A picture file dropped from a file manager, loaded once the drop is over.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void create(QWidget *&player, const ControlSpec &entry, const QRectF &geometry);
    void create(PictureButton *&button, const ControlSpec &entry, const QRectF &geometry);
    void create(Frame *&frame, const ControlSpec &entry, const QRectF &geometry);
    void create(Label *&label, const ControlSpec &entry, const QRectF &geometry);
    void create(PictureBox *&picture, const ControlSpec &entry, const QRectF &geometry);
    void createMenus();
    void connectEvents();
    // Every event of the window, from either device, runs its handler and then tells a screen
    // reader what each tile now shows; none runs while a picture loads (a screen reader's
    // action, say), as under a modal dialog.
    template<typename Handler> void handle(Handler &&handler)
    {
        if (LoadWait::holding())
            return;
        guarded(handler);
        describeTiles();
    }
    void nameControls();
    void describeTiles();
    void loadPictureFile(const QString &fileName);
    void usePicture(const Picture &picture);
    void BuildBoard();
    void MakePermutation();
    void DealTiles();
    void CheckBoard();
    void playSound(const QString &path);
    void chooseMethod(Int16 swap, Int16 twoStep, Int16 click, const QString &caption);
    Int16 &cellDrawn(int index);
    Int16 &tileCell(int index);

    const BoardDefinition &m_definition;
    RandomSource &m_random;
    KeyboardGrid *m_keys = nullptr;
};
