// The picture window Main1: the shown picture in a scroll box, the picture and
// printer option pages, the tool bar, the menus and the status bar. Every
// control is a public member named as in the form design so that the agent,
// the settings binding and the other windows' handlers reach it directly.
#pragma once

#include "dialogs/ClickLabel.h"
#include "files/PictureFiles.h"
#include "files/ui/SaveSettings.h"
#include "picture/AgentLink.h"
#include "pixels/Picture.h"

#include <QColor>
#include <QEvent>
#include <QFrame>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPageSize>
#include <QSpinBox>

#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QColorDialog;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QScrollBar;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class TSystemInfo;

namespace kaptivus::picture {
struct PictureOptions;
}
namespace kaptivus::print {
struct PrintOptions;
}

// Image1: shows one QImage pixel for pixel in device pixels (at any scale of
// the screen) and reports mouse releases with the button, the keyboard
// modifiers and the position in picture pixels.
class TImageView : public QWidget {
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    QSize sizeHint() const override;

signals:
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void imageChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_image;
};

// A colour swatch (Panel2, Panel3, Panel4). Colours are 0x00BBGGRR.
class TColorPanel : public QFrame {
    Q_OBJECT
public:
    explicit TColorPanel(QWidget* parent = nullptr);
    kaptivus::pixels::Color color() const { return m_color; }
    void setColor(kaptivus::pixels::Color color);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    kaptivus::pixels::Color m_color = 0;
};

// An up-down control with its edit (UpDown1/Edit3, UpDown5/Edit7, UpDown6/Edit8):
// the spin box is the up-down, its line edit the edit.
class TUpDown : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    QLineEdit* edit() const { return lineEdit(); }
};

// 0x00BBGGRR <-> QColor.
QColor ToQColor(kaptivus::pixels::Color color);
kaptivus::pixels::Color FromQColor(const QColor& color);

class TMain1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain1(AgentLink* agent, QWidget* parent = nullptr);
    ~TMain1() override;

    AgentLink* agent() const { return m_agent; }

    // --- Tool bar -------------------------------------------------------------
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr; // "Ouvrir", drop-down PopupMenu1
    QToolButton* ToolButton2 = nullptr; // "Enregistrer"
    QToolButton* ToolButton3 = nullptr; // "Coller"
    QToolButton* ToolButton4 = nullptr; // "Copier"
    QToolButton* ToolButton5 = nullptr; // "Editer"
    QToolButton* ToolButton6 = nullptr; // "Zone"
    QToolButton* ToolButton9 = nullptr; // "Objet"
    QToolButton* ToolButton7 = nullptr; // auto-save timer; checked = "marked" (timer off)
    QToolButton* ToolButton8 = nullptr; // "Imprimante"
    QPushButton* BitBtn1 = nullptr;     // "Impression"

    // --- Picture and pages ----------------------------------------------------
    QWidget* ClientArea = nullptr; // the form's client area below the menu bar
    QScrollArea* ScrollBox1 = nullptr;
    TImageView* Image1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // Options page "Options de l'image".
    QCheckBox* CheckBox1 = nullptr;  // "Noir et blanc"
    QCheckBox* CheckBox2 = nullptr;  // "Inversion"
    QCheckBox* CheckBox4 = nullptr;  // "Miroir vertical"
    QCheckBox* CheckBox10 = nullptr; // "Gaufrer"
    QCheckBox* CheckBox15 = nullptr; // "Miroir horizontal"
    QCheckBox* CheckBox11 = nullptr; // "Affiner"
    QPushButton* Button3 = nullptr;  // "Plus"
    QCheckBox* CheckBox3 = nullptr;  // "Echange"
    TColorPanel* Panel2 = nullptr;
    TColorPanel* Panel3 = nullptr;
    QCheckBox* CheckBox14 = nullptr; // "Substituer couleur"
    QPushButton* Button2 = nullptr;  // "Défaire"
    QLabel* StaticText1 = nullptr;
    TClickLabel* Label1 = nullptr;  // "Brillance"
    TClickLabel* Label2 = nullptr;  // "Contraste"
    TClickLabel* Label9 = nullptr;  // "Saturation"
    TClickLabel* Label10 = nullptr; // "Rouge"
    TClickLabel* Label11 = nullptr; // "Vert"
    TClickLabel* Label12 = nullptr; // "Bleu"
    TClickLabel* Label4 = nullptr;  // "Cadre"
    TClickLabel* Label14 = nullptr; // "Pivoter"
    TClickLabel* Label6 = nullptr;  // "Taille %"
    QScrollBar* ScrollBar1 = nullptr; // brightness
    QScrollBar* ScrollBar2 = nullptr; // contrast
    QScrollBar* ScrollBar3 = nullptr; // saturation
    QScrollBar* ScrollBar4 = nullptr; // frame
    QScrollBar* ScrollBar5 = nullptr; // blue
    QScrollBar* ScrollBar6 = nullptr; // red
    QScrollBar* ScrollBar7 = nullptr; // green
    QScrollBar* ScrollBar8 = nullptr; // size %
    QScrollBar* ScrollBar9 = nullptr; // rotation
    TColorPanel* Panel4 = nullptr;    // frame colour
    QPushButton* Button1 = nullptr;   // "Taille"
    QLabel* Label13 = nullptr;        // "-->"
    QLineEdit* Edit1 = nullptr;
    QLabel* Label7 = nullptr; // "X"
    QLineEdit* Edit2 = nullptr;
    QLabel* Label3 = nullptr; // "Couleurs"
    QComboBox* ComboBox1 = nullptr;

    // Printer page "Options d'imprimante".
    QRadioButton* RadioButton1 = nullptr; // "Portrait"
    QRadioButton* RadioButton2 = nullptr; // "Paysage"
    QGroupBox* GroupBox3 = nullptr;
    QComboBox* ComboBox3 = nullptr; // alignment
    QGroupBox* GroupBox4 = nullptr;
    QCheckBox* CheckBox6 = nullptr;       // "Proportion initiales"
    QRadioButton* RadioButton8 = nullptr; // "Image en %"
    QRadioButton* RadioButton6 = nullptr; // "En % de page"
    TUpDown* UpDown1 = nullptr;
    QLineEdit* Edit3 = nullptr;
    TUpDown* UpDown5 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QGroupBox* GroupBox1 = nullptr;       // " Pied de Page"
    QRadioButton* RadioButton5 = nullptr; // "08 cpp"
    QRadioButton* RadioButton4 = nullptr; // "10 cpp"
    QRadioButton* RadioButton3 = nullptr; // "12 cpp"
    QCheckBox* CheckBox7 = nullptr;       // "Date et heure"
    QCheckBox* CheckBox8 = nullptr;       // "Utilisateur et système"
    QCheckBox* CheckBox9 = nullptr;       // "Pied de page"
    TClickLabel* Label8 = nullptr;        // " Nombre de copie"
    TUpDown* UpDown6 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QComboBox* ComboBox2 = nullptr; // printers

    // --- Menus ----------------------------------------------------------------
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* Minimize1 = nullptr;
    QAction* suspend1 = nullptr;
    QAction* CopyPicturetoClipboard1 = nullptr;
    QAction* PastePicturefromClipboard1 = nullptr;
    QAction* SavethePicture1 = nullptr;
    QAction* LoadPicture1 = nullptr;
    QAction* EditthePicture1 = nullptr;
    QAction* GetRectangularArea1 = nullptr;
    QAction* GetObject1 = nullptr;
    QAction* PrintthePicture1 = nullptr;
    QAction* GetPicturefromKaptivus1 = nullptr;
    QAction* CleanupRegistryfromoldVersions1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Options1 = nullptr;
    QAction* DefineHotkeys1 = nullptr;
    QAction* DefineFooterText1 = nullptr;
    QMenu* DefineDelay1 = nullptr;
    QAction* NSeconds2 = nullptr;
    QAction* NSeconds3 = nullptr;
    QAction* NSeconds4 = nullptr;
    QAction* NSeconds5 = nullptr;
    QAction* NSeconds6 = nullptr;
    QAction* NSeconds7 = nullptr;
    QMenu* AutoCaptureDelay1 = nullptr;
    QAction* ADelay1 = nullptr;
    QAction* ADelay2 = nullptr;
    QAction* ADelay3 = nullptr;
    QAction* ADelay4 = nullptr;
    QAction* ADelay5 = nullptr;
    QAction* ADelay6 = nullptr;
    QAction* ADelay7 = nullptr;
    QMenu* Monitors1 = nullptr;
    QAction* Monitor0 = nullptr;
    QAction* Monitor1 = nullptr;
    QAction* Monitor2 = nullptr;
    QAction* Monitor3 = nullptr;
    QAction* Monitor4 = nullptr;
    QAction* DefinetheBmpEditor1 = nullptr;
    QAction* DefaultSaveFolder1 = nullptr;
    QAction* Sound1 = nullptr;
    QAction* IncludeCursor1 = nullptr;
    QAction* ClientAreaonly1 = nullptr;
    QAction* AutocopytoClipboard1 = nullptr;
    QAction* Closeafterprinting1 = nullptr;
    QAction* DirectPrintNoDialog1 = nullptr;
    QAction* HideIcononSystemTray1 = nullptr;
    QAction* About1 = nullptr;

    // The history drop-down of ToolButton1.
    QMenu* PopupMenu1 = nullptr;
    std::array<QAction*, 13> history{}; // history1 .. history13
    QAction* N9 = nullptr;
    QAction* ClearHistory1 = nullptr;

    // --- Non-visual components ------------------------------------------------
    QTimer* Timer1 = nullptr; // auto-save countdown, off at creation
    // The dialogs are made when first used: a file dialog keeps a file-system
    // model and its threads alive, which a resident agent should not pay for
    // while idle. Until then only the picture dialogs' initial folders live here.
    QColorDialog* ColorDialog1 = nullptr;
    QColorDialog* colorDialog();
    struct TPictureDialog {
        QString Title;
        QString InitialDir;
        QString FileName; // the last name chosen
    };
    TPictureDialog OpenPictureDialog1{QStringLiteral("Ouvrir une image"), {}, {}};
    TPictureDialog SavePictureDialog1{QStringLiteral("Enregistrer l'image sous..."), {}, {}};
    // The Save dialog's filter variants, one per default extension, in the
    // order ".GIF", ".JPG", ".JPEG", ".BMP", ".EMF", ".WMF", ".PNG".
    std::array<QStringList, 7> SaveFilterTable;

    // Alternates Ctrl+click colour picks between Panel2 and Panel3.
    bool ColourPickToggle = false;
    // The system information component: temp folder, user and system, memory.
    TSystemInfo* SystemInfo1 = nullptr;
    // The print footer's user and system line, built at creation from SystemInfo1.
    QString UserSystemLine = QStringLiteral("No System Information");

    // --- Hooks to services other folders provide ------------------------------
    // Total and available physical memory in KB for the status bar (SystemInfo1's by default).
    std::function<std::pair<quint64, quint64>()> memoryInfo;
    // Invalidate and erase every window of the desktop.
    std::function<void()> repaintDesktop;
    // The desktop's monitor count (the monitors menu is enabled by it).
    std::function<int()> monitorCount;
    // Tray-side effects of the hide-icon mode (the icon and the agent window).
    std::function<void(bool hidden)> applyHideIconMode;
    // Sharpen the shown picture once more; returns false when it could not.
    std::function<bool(kaptivus::pixels::Picture&)> sharpenOnce;
    // One auto-save tick: capture the desktop, adjust, save numbered.
    std::function<void()> autoSaveTick;
    // The agent's settings that govern saving, read by the saves and changed by Choose1.
    kaptivus::files::ui::TSaveSettings saveSettings;
    // Enables the monitors menu for this many monitors.
    void EnableMonitorItems(int monitors);

    // Writes the shown picture to the file in the format its extension selects
    // and reports success or failure itself; true when the file was written.
    bool SavePictureToFile(const QString& fileName);
    // The same for a numbered name: an existing file is never replaced; false
    // with `nameTaken` when the name was in use by the time of writing. A
    // failure is not shown at once but left in `report`, so that the agent can
    // open the capture gate before the box appears.
    bool SavePictureToNewFile(const QString& fileName, bool& nameTaken, std::function<void()>& report);
    // Replaces CaptureBitmap with the file's picture and moves the Open dialog
    // to its folder; true when it was read. On failure the user is told why and
    // CaptureBitmap keeps the previous picture.
    bool LoadPictureFromFile(const QString& fileName);
    // Enters an opened file in the next history entry, marks it and moves on (wrapping).
    void enterInHistory(const QString& fileName);

    // The shown picture as the program's bitmap type (converted from Image1).
    kaptivus::pixels::Picture shownPicture() const;
    void setShownPicture(const kaptivus::pixels::Picture& picture);

    // Builds the shown picture from the agent's CaptureBitmap.
    void ApplyPictureOptions(bool explicitSize, int width, int height);
    // ApplyPictureOptions in two steps, for a caller that saves the picture
    // before anyone looks at it: the first builds the shown picture, the
    // second makes the image Image1 shows of it and does the automatic copy
    // to the clipboard. Between them a save writes the new picture.
    void AdjustPicture(bool explicitSize, int width, int height);
    void ShowAdjustedPicture();
    // Puts the shown picture on the clipboard; with onlyIfAutomatic, only when
    // " Auto copie vers le presse-papiers" is checked. False when nothing was
    // copied (not asked to, or no picture shown).
    bool CopyToClipboard(bool onlyIfAutomatic);
    // "PosX"/"PosY": the place read from the settings, and the place to write
    // back. A Wayland compositor places windows itself and never tells a
    // program where: there the values read are written back untouched.
    void setStoredPosition(const QPoint& place);
    QPoint positionToStore() const;
    // The options page's positions as the pipeline takes them.
    kaptivus::picture::PictureOptions currentPictureOptions() const;

    // Re-run the pipeline with the capture's size (swapped near a quarter turn
    // when followRotation is set).
    void rerunPipeline(bool followRotation);

    // The print job's options as the printer page's controls stand.
    kaptivus::print::PrintOptions currentPrintOptions() const;
    // The same, on the paper last chosen in the set-up dialog for that queue.
    kaptivus::print::PrintOptions printOptionsFor(const QString& queue) const;
    // The queue the print job uses and the name its notice shows.
    struct PrinterChoice {
        QString queue;
        QString shown;
    };
    PrinterChoice selectedPrinter() const;

signals:
    // Emitted at the start of every ApplyPictureOptions.
    void pictureOptionsApplied(bool explicitSize, int width, int height);
    // A copy of the print job was accepted by the queue as job jobId.
    void copyPrinted(int copy, int jobId);

public slots:
    void FormCreate();
    void FormShow();
    void FormPaint();
    void FormClose();
    void Timer1Timer();
    void CheckBox1MouseUp();
    void ScrollBar1Scroll(QScrollBar* bar, int position, bool ended);
    void ScrollBar1Change();
    void ScrollBar2Change();
    void ScrollBar3Change();
    void ScrollBar4Change();
    void ScrollBar5Change();
    void ScrollBar6Change();
    void ScrollBar7Change();
    void ScrollBar8Change();
    void ScrollBar9Change();
    void Label1Click();
    void Label2Click();
    void Label9Click();
    void Label10Click();
    void Label11Click();
    void Label12Click();
    void Label4Click();
    void Label14Click();
    void Label6Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ComboBox1Change();
    void Panel2Click();
    void Panel3Click();
    void Panel4Click();
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void Refresh1Click();
    void Minimize1Click();
    void suspend1Click();
    void Sound1Click();
    void IncludeCursor1Click();
    void ClientAreaonly1Click();
    void AutocopytoClipboard1Click();
    void Closeafterprinting1Click();
    void DirectPrintNoDialog1Click();
    void HideIcononSystemTray1Click();
    void ToolButton6Click();
    void GetRectangularArea1Click();
    void ToolButton9Click();
    void GetObject1Click();
    void Monitor0Click();
    void Monitor1Click();
    void Monitor2Click();
    void Monitor3Click();
    void Monitor4Click();
    void NSeconds2Click();
    void NSeconds3Click();
    void NSeconds4Click();
    void NSeconds5Click();
    void NSeconds6Click();
    void NSeconds7Click();
    void ADelay1Click();
    void ADelay2Click();
    void ADelay3Click();
    void ADelay4Click();
    void ADelay5Click();
    void ADelay6Click();
    void ADelay7Click();
    void ToolButton7Click();
    void Label8Click();
    void Edit3Click();
    void Edit7Click();
    void ComboBox2Change();
    void SavethePicture1Click();
    void ToolButton2Click();
    void LoadPicture1Click();
    void ToolButton1Click();
    void history1Click(QAction* item);
    void ClearHistory1Click();
    void DefaultSaveFolder1Click();
    void CopyPicturetoClipboard1Click();
    void ToolButton4Click();
    void PastePicturefromClipboard1Click();
    void ToolButton3Click();
    void ToolButton5Click();
    void EditthePicture1Click();
    void DefinetheBmpEditor1Click();
    void BitBtn1Click();
    void PrintthePicture1Click();
    void ToolButton8Click();
    void DefineFooterText1Click();
    void Edit8Exit();
    void Edit8KeyPress();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void buildClientArea();
    void buildPictureOptionsPage();
    void buildSliders();
    void buildSizeAndColourControls();
    void buildPrinterOptionsPage();
    void buildPrinterFooterControls();
    void buildFileMenu();
    void buildOptionsMenu();
    void buildDelayMenus();
    void buildMonitorsMenu();
    void buildHistoryMenu();
    void buildSaveFilterTable();
    void connectHandlers();
    void connectSliders();
    void connectMenuHandlers();
    void connectFileHandlers();
    void connectClipboardHandlers();
    enum class SaveOutcome { Saved, Failed, NameTaken };
    SaveOutcome savePicture(const QString& fileName, kaptivus::files::SaveMode mode, std::function<void()>& report);
    void connectPrintHandlers();
    bool copiesBoxEvent(QObject* watched, QEvent* event);
    void markHistoryEntry(int index);

    // Keeps a control's anchored distances to its parent's edges.
    struct Anchored {
        QWidget* widget;
        bool right;  // keeps the distance to the right edge (moves or grows)
        bool bottom; // keeps the distance to the bottom edge
        bool stretch; // anchored left too: grows instead of moving
        int rightMargin;
        int bottomMargin;
    };
    void anchor(QWidget* widget, bool stretch, bool bottom);
    void setAnchoredGeometry(QWidget* widget, const QRect& rect);
    void layoutAnchored();

    void resetSlider(QScrollBar* bar, int value);
    void pickColourInPicture(TColorPanel* panel, int x, int y);
    void editSwatchColour(TColorPanel* panel, bool rerun);
    void toggleOptionsPanel();
    void handOffToEditor();
    void chooseMonitor(QAction* item, int index);
    void chooseCaptureDelay(QAction* item, int milliseconds);
    void chooseTimerDelay(QAction* item, int seconds);
    void fitToDesktop();
    void centreOnScreen();
    void placeOnceFramed();
    void fitStatusBarFont();
    std::vector<QAction*> monitorItems() const;
    std::vector<QAction*> captureDelayItems() const;
    std::vector<QAction*> timerDelayItems() const;

    int shownBits() const;
    void refreshSizeField(QLineEdit* edit, int value) const;
    void fillPrinterList();
    void selectPrinterEntry();

    bool isSlider(QObject* object) const;
    void sliderMouseEvent(QScrollBar* bar, QEvent* event);
    bool sliderKey(QScrollBar* bar, const QKeyEvent* key);

    AgentLink* m_agent = nullptr;
    QScrollBar* m_pressedBar = nullptr; // the slider the mouse holds, if any
    // The shown picture in its own format, valid while Image1 shows the image
    // made from it (m_shownKey is that image's cache key).
    kaptivus::pixels::Picture m_shown;
    qint64 m_shownKey = 0;
    // Between AdjustPicture and ShowAdjustedPicture: m_shown is newer than Image1.
    bool m_imageBehind = false;
    // True while m_shown is the picture the user has: Image1 shows it, or is about to.
    bool shownIsCurrent() const;
    std::vector<Anchored> m_anchored;
    bool m_created = false;
    // The "Taille" fields follow the picture only on a new picture, a resize
    // or a show; other repaints (a hovered menu or status bar) leave them alone.
    bool m_sizeFieldsDue = false;
    // Where creation centred the window before its frame was known; the first
    // show centres the frame instead, unless the window was placed elsewhere.
    std::optional<QPoint> m_centredAt;
    // The place last read from the settings, if any.
    std::optional<QPoint> m_storedPosition;
    // Shown before the window manager framed it: its place is checked again
    // with the true frame, looked for a while after the show since the
    // toolkit may report no event when the frame comes.
    bool m_placeWhenFramed = false;
    int m_frameLooksLeft = 0;
    // The history entry the next opened file fills (-1 until first needed,
    // then the number of entries the settings filled) and the marked one.
    int m_historyNext = -1;
    int m_historyMarked = -1;
    // A print job is running (its later copies let events through).
    bool m_printing = false;
    // The paper chosen in the printer set-up dialog, by queue, for the life of the agent.
    QHash<QString, QPageSize> m_setupPaper;
};
