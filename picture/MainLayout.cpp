// The picture window's controls at their design places: tool bar, scroll box,
// the picture options page and the printer options page.
#include "picture/Main.h"

#include "dialogs/DesignFont.h"
#include "picture/MainIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <initializer_list>

namespace {

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        int x, int y, int width = 108)
{
    auto* box = Named(new QCheckBox(caption, parent), name);
    box->setToolTip(hint);
    box->setGeometry(x, y, width, 17);
    return box;
}

// Nine buttons and the 130-pixel "Impression" fit the 626-pixel design width:
// the drop-down arrow of "Ouvrir" takes its room from the other buttons.
constexpr int kToolButtonWidth = 53;
constexpr int kDropDownArrowWidth = 12;

QToolButton* MakeToolButton(QToolBar* bar, const char* name, const QString& caption, const QString& hint,
                            int icon)
{
    auto* button = Named(new QToolButton(bar), name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setIcon(MakeToolIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->resize(kToolButtonWidth, 52);
    // The longest captions ("Enregistrer", "Imprimante") fit the button at 7 points.
    QFont font = button->font();
    font.setPointSize(7);
    button->setFont(font);
    return button;
}

void ColourText(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace

void TMain1::buildToolBar()
{
    ToolBar1 = Named(new QToolBar, "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolButton1 = MakeToolButton(ToolBar1, "ToolButton1", QStringLiteral("Ouvrir"),
                                 QStringLiteral("Ouvrir une image..."), 0);
    ToolButton1->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton1->resize(kToolButtonWidth + kDropDownArrowWidth, 52);
    ToolButton2 = MakeToolButton(ToolBar1, "ToolButton2", QStringLiteral("Enregistrer"),
                                 QStringLiteral("Enregistrer sous..."), 1);
    ToolButton3 = MakeToolButton(ToolBar1, "ToolButton3", QStringLiteral("Coller"),
                                 QStringLiteral("Coller l'image du presse-papiers"), 2);
    ToolButton4 = MakeToolButton(ToolBar1, "ToolButton4", QStringLiteral("Copier"),
                                 QStringLiteral("Copier l'image vers le presse-papiers"), 3);
    ToolButton5 = MakeToolButton(ToolBar1, "ToolButton5", QStringLiteral("Editer"), QString(), 4);
    ToolButton6 = MakeToolButton(ToolBar1, "ToolButton6", QStringLiteral("Zone"),
                                 QStringLiteral("Capturer une zone rectangulaire"), 5);
    ToolButton9 = MakeToolButton(ToolBar1, "ToolButton9", QStringLiteral("Objet"),
                                 QStringLiteral("Capturer un objet du Bureau"), 6);
    ToolButton7 = MakeToolButton(ToolBar1, "ToolButton7", QStringLiteral("Off"),
                                 QStringLiteral("Position auto sauvegarde On/Off"), 7);
    // Marked (pressed look) while the auto-save timer is off; the click
    // handler inverts the mark itself, so the button does not toggle on its own.
    ToolButton7->setCheckable(true);
    ToolButton7->setChecked(true);
    ToolButton8 = MakeToolButton(ToolBar1, "ToolButton8", QStringLiteral("Imprimante"),
                                 QStringLiteral("Réglages de l'imprimante"), 8);

    BitBtn1 = Named(new QPushButton(QStringLiteral("Impression"), ToolBar1), "BitBtn1");
    BitBtn1->setToolTip(QStringLiteral("Imprimer vers l'imprimante sélectionnée"));
    BitBtn1->setIcon(MakeToolIcon(9));
    BitBtn1->setIconSize(QSize(32, 32));
    BitBtn1->setFixedSize(130, 52);
    BitBtn1->setDefault(true);
    BitBtn1->setLayoutDirection(Qt::RightToLeft); // glyph on the right
    QFont bold = BitBtn1->font();
    bold.setBold(true);
    bold.setUnderline(true);
    BitBtn1->setFont(bold);
    QPalette pal = BitBtn1->palette();
    pal.setColor(QPalette::ButtonText, Qt::blue);
    BitBtn1->setPalette(pal);

    // Placed by hand, left to right without wrapping: a window narrower than
    // the buttons clips the last ones, as a flat tool bar does.
    int x = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{ToolButton1, ToolButton2, ToolButton3, ToolButton4, ToolButton5,
                                                      ToolButton6, ToolButton9, ToolButton7, ToolButton8, BitBtn1}) {
        w->move(x, 2);
        x += w->width();
    }
}

void TMain1::buildClientArea()
{
    ClientArea = Named(new QWidget(this), "ClientArea");
    // Opaque, so that repainting a child does not repaint the whole form.
    ClientArea->setAutoFillBackground(true);
    ClientArea->resize(626, 399);
    setCentralWidget(ClientArea);
    ClientArea->installEventFilter(this);

    ToolBar1->setParent(ClientArea);
    ToolBar1->setGeometry(0, 0, 626, 57);
    anchor(ToolBar1, true, false);

    ScrollBox1 = Named(new QScrollArea(ClientArea), "ScrollBox1");
    ScrollBox1->setGeometry(4, 64, 381, 329);
    ScrollBox1->setBackgroundRole(QPalette::Base);
    QPalette white = ScrollBox1->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    ScrollBox1->setPalette(white);
    ScrollBox1->setWidgetResizable(false);
    Image1 = Named(new TImageView, "Image1");
    ScrollBox1->setWidget(Image1);
    anchor(ScrollBox1, true, true);

    PageControl1 = Named(new QTabWidget(ClientArea), "PageControl1");
    PageControl1->setGeometry(394, 64, 226, 329);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    PageControl1->addTab(TabSheet1, QStringLiteral("Options de l'image"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Options d'imprimante"));
    PageControl1->setCurrentIndex(0);
    PageControl1->tabBar()->setUsesScrollButtons(false);
    PageControl1->tabBar()->setExpanding(false);
    PageControl1->tabBar()->setElideMode(Qt::ElideNone);
    QFont tabs = PageControl1->tabBar()->font();
    tabs.setPointSize(7);
    PageControl1->tabBar()->setFont(tabs);
    PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
    anchor(PageControl1, false, false);

    StatusBar1 = Named(new QStatusBar, "StatusBar1");
    StatusBar1->setToolTip(QStringLiteral("Taille de l'image et information système"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    buildPictureOptionsPage();
    buildPrinterOptionsPage();
}

void TMain1::buildPictureOptionsPage()
{
    QWidget* p = TabSheet1;
    CheckBox1 = MakeCheckBox(p, "CheckBox1", QStringLiteral("Noir et blanc"),
                             QStringLiteral("Change les couleurs en nuance de gris"), 4, 4);
    CheckBox2 = MakeCheckBox(p, "CheckBox2", QStringLiteral("Inversion"),
                             QStringLiteral("Inverse les couleurs de l'image"), 116, 4, 100);
    CheckBox4 = MakeCheckBox(p, "CheckBox4", QStringLiteral("Miroir vertical"),
                             QStringLiteral("Renverse l'image verticalement"), 4, 20);
    CheckBox10 = MakeCheckBox(p, "CheckBox10", QStringLiteral("Gaufrer"),
                              QStringLiteral("Estamper, gaufrer l'image"), 116, 20, 100);
    CheckBox15 = MakeCheckBox(p, "CheckBox15", QStringLiteral("Miroir horizontal"),
                              QStringLiteral("Renverse l'image horizontalement"), 4, 36);
    CheckBox11 = MakeCheckBox(p, "CheckBox11", QStringLiteral("Affiner"),
                              QStringLiteral("Affiner l'image une fois"), 116, 36, 62);
    Button3 = Named(new QPushButton(QStringLiteral("Plus"), p), "Button3");
    Button3->setToolTip(QStringLiteral("Affiner davantage l'image"));
    Button3->setGeometry(180, 36, 33, 17);
    CheckBox3 = MakeCheckBox(p, "CheckBox3", QStringLiteral("Echange"),
                             QStringLiteral("Echanger les couleurs choisies"), 4, 56, 80);
    Panel2 = Named(new TColorPanel(p), "Panel2");
    Panel2->setGeometry(88, 56, 21, 13);
    Panel2->setToolTip(QStringLiteral("1ère couleur à changer"));
    Panel2->setColor(0x000000);
    Panel3 = Named(new TColorPanel(p), "Panel3");
    Panel3->setGeometry(116, 56, 21, 13);
    Panel3->setToolTip(QStringLiteral("2ème couleur à changer"));
    Panel3->setColor(0xFFFFFF);
    CheckBox14 = MakeCheckBox(p, "CheckBox14", QStringLiteral("Substituer couleur"),
                              QStringLiteral("Remplace une couleur par une autre : la 1ère par la 2ème"), 4, 72, 128);
    Button2 = Named(new QPushButton(QStringLiteral("Défaire"), p), "Button2");
    Button2->setToolTip(QStringLiteral("Valeurs par défaut"));
    Button2->setGeometry(136, 72, 49, 21);
    QFont bold = Button2->font();
    bold.setBold(true);
    Button2->setFont(bold);
    StaticText1 = Named(new QLabel(QStringLiteral("0"), p), "StaticText1");
    StaticText1->setGeometry(184, 72, 29, 21);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setAutoFillBackground(true);
    QPalette pal = StaticText1->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    StaticText1->setPalette(pal);
    // Ten points where the widest positions ("-255", "-180") fit inside the
    // sunken frame, smaller where the installed font runs wider.
    QFont ten = DesignFont(10);
    const int inside = StaticText1->contentsRect().width() - 1;
    ten.setPointSize(PointSizeToFit(ten, {QStringLiteral("-255"), QStringLiteral("-180")}, inside, 10, 7));
    StaticText1->setFont(ten);
    buildSliders();
    buildSizeAndColourControls();
}

void TMain1::buildSliders()
{
    struct Row {
        TClickLabel** label;
        const char* labelName;
        QString caption;
        QScrollBar** bar;
        const char* barName;
        QString hint;
        int y, min, max, small, large, value;
    };
    const Row rows[] = {
        {&Label1, "Label1", QStringLiteral("Brillance"), &ScrollBar1, "ScrollBar1",
         QStringLiteral("Régler la brillance de l'image."), 96, -255, 255, 10, 10, 0},
        {&Label2, "Label2", QStringLiteral("Contraste"), &ScrollBar2, "ScrollBar2",
         QStringLiteral("Régler le contraste de l'image"), 112, -255, 255, 10, 10, 0},
        {&Label9, "Label9", QStringLiteral("Saturation"), &ScrollBar3, "ScrollBar3",
         QStringLiteral("Régler la saturation de l'image"), 128, -255, 255, 10, 10, 0},
        {&Label10, "Label10", QStringLiteral("Rouge"), &ScrollBar6, "ScrollBar6",
         QStringLiteral("Ajuster la nuance rouge de l'image"), 144, -255, 255, 10, 10, 0},
        {&Label11, "Label11", QStringLiteral("Vert"), &ScrollBar7, "ScrollBar7",
         QStringLiteral("Ajuster la nuance verte de l'image"), 160, -255, 255, 10, 10, 0},
        {&Label12, "Label12", QStringLiteral("Bleu"), &ScrollBar5, "ScrollBar5",
         QStringLiteral("Ajuster la nuance bleue de l'image"), 176, -255, 255, 10, 10, 0},
        {&Label4, "Label4", QStringLiteral("Cadre"), &ScrollBar4, "ScrollBar4",
         QStringLiteral("Tracer un cadre autour de l'Image"), 192, 0, 20, 1, 1, 0},
        {&Label14, "Label14", QStringLiteral("Pivoter"), &ScrollBar9, "ScrollBar9",
         QStringLiteral("Faire pivoter l'image de 0 à 360°"), 208, -180, 180, 90, 1, 0},
        {&Label6, "Label6", QStringLiteral("Taille %"), &ScrollBar8, "ScrollBar8",
         QStringLiteral("Agrandir ou rétrécir l'image"), 224, 10, 400, 1, 10, 100},
    };
    for (const Row& row : rows) {
        auto* label = Named(new TClickLabel(row.caption, TabSheet1), row.labelName);
        label->setGeometry(4, row.y, row.bar == &ScrollBar4 ? 30 : 58, 13);
        label->setToolTip(row.hint);
        *row.label = label;
        auto* bar = Named(new QScrollBar(Qt::Horizontal, TabSheet1), row.barName);
        bar->setGeometry(64, row.y, 149, 13);
        bar->setRange(row.min, row.max);
        bar->setSingleStep(row.small);
        bar->setPageStep(row.large);
        bar->setValue(row.value);
        bar->setToolTip(QString::number(row.value));
        bar->setTracking(true);
        // The scroll bar's own context menu ("Scroll here", ...) would move the
        // thumb outside the scroll path: no rebuild, and a press never released.
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        // Tab stops that take a click's focus, so the arrow and page keys scroll them.
        bar->setFocusPolicy(Qt::StrongFocus);
        *row.bar = bar;
    }
    ColourText(Label10, Qt::red);
    ColourText(Label11, QColor(0, 128, 0));
    ColourText(Label12, QColor(0, 0, 128));
    Panel4 = Named(new TColorPanel(TabSheet1), "Panel4");
    Panel4->setGeometry(36, 192, 21, 13);
    Panel4->setToolTip(QStringLiteral("Couleur du cadre"));
    Panel4->setColor(0x000000);
}

void TMain1::buildSizeAndColourControls()
{
    QWidget* p = TabSheet1;
    Button1 = Named(new QPushButton(QStringLiteral("Taille"), p), "Button1");
    Button1->setToolTip(QStringLiteral("Redimensionner l'image"));
    Button1->setGeometry(4, 244, 89, 21);
    Label13 = Named(new QLabel(QStringLiteral("-->"), p), "Label13");
    Label13->setGeometry(100, 252, 18, 13);
    Label7 = Named(new QLabel(QStringLiteral("X"), p), "Label7");
    Label7->setGeometry(164, 252, 10, 13);
    const auto makeEdit = [p](const char* name, const QString& hint, int x) {
        auto* edit = Named(new QLineEdit(QStringLiteral("0"), p), name);
        edit->setToolTip(hint);
        edit->setGeometry(x, 248, 37, 17);
        edit->setMaxLength(4);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
            const QString upper = text.toUpper();
            if (upper != text) {
                const int cursor = edit->cursorPosition();
                edit->setText(upper);
                edit->setCursorPosition(cursor);
            }
        });
        return edit;
    };
    Edit1 = makeEdit("Edit1", QStringLiteral("Nouvelle largeur de l'image"), 120);
    Edit2 = makeEdit("Edit2", QStringLiteral("Nouvelle hauteur de l'image"), 176);
    Label3 = Named(new QLabel(QStringLiteral("Couleurs"), p), "Label3");
    Label3->setGeometry(4, 275, 60, 13);
    Label3->setToolTip(QStringLiteral("Choisir le nombre de couleurs de l'image"));
    ComboBox1 = Named(new QComboBox(p), "ComboBox1");
    ComboBox1->setGeometry(68, 272, 145, 21);
    ComboBox1->setToolTip(QStringLiteral("Choisir le nombre de couleurs de l'image"));
    ComboBox1->addItems({QStringLiteral("Défaut"), QStringLiteral("Noir et blanc"), QStringLiteral("16 couleurs"),
                         QStringLiteral("256 couleurs"), QStringLiteral("32K couleurs"),
                         QStringLiteral("65K couleurs"), QStringLiteral("16M couleurs"),
                         QStringLiteral("65M couleurs")});
}

namespace {

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& caption, const QString& hint, int x,
                        int y, int width)
{
    auto* radio = Named(new QRadioButton(caption, parent), name);
    radio->setToolTip(hint);
    radio->setGeometry(x, y, width, 17);
    return radio;
}

TUpDown* MakeUpDown(QWidget* parent, const char* name, const char* editName, int min, int max, int step,
                    QRect place)
{
    auto* upDown = Named(new TUpDown(parent), name);
    upDown->setRange(min, max);
    upDown->setSingleStep(step);
    upDown->setGeometry(place);
    upDown->edit()->setObjectName(QString::fromLatin1(editName));
    return upDown;
}

} // namespace

void TMain1::buildPrinterOptionsPage()
{
    QWidget* p = TabSheet2;
    RadioButton1 = MakeRadio(p, "RadioButton1", QStringLiteral("Portrait"),
                             QStringLiteral("Imprime l'image en format portrait"), 8, 4, 90);
    RadioButton2 = MakeRadio(p, "RadioButton2", QStringLiteral("Paysage"),
                             QStringLiteral("Imprime l'image en format paysage"), 110, 4, 90);
    RadioButton1->setChecked(true);

    GroupBox3 = Named(new QGroupBox(QStringLiteral(" Alignement de l'image "), p), "GroupBox3");
    GroupBox3->setGeometry(4, 24, 212, 44);
    const QString alignHint = QStringLiteral("Alignement de l'image par rapport à la page de l'imprimante");
    GroupBox3->setToolTip(alignHint);
    ComboBox3 = Named(new QComboBox(GroupBox3), "ComboBox3");
    ComboBox3->setGeometry(8, 18, 196, 21);
    ComboBox3->setToolTip(alignHint);
    ComboBox3->addItems({QStringLiteral("Image centrée"), QStringLiteral("Image en haut à gauche"),
                         QStringLiteral("Image en haut à droite"), QStringLiteral("Image en bas à gauche"),
                         QStringLiteral("Image en bas à droite")});

    GroupBox4 = Named(new QGroupBox(p), "GroupBox4");
    GroupBox4->setGeometry(4, 70, 212, 70);
    CheckBox6 = MakeCheckBox(GroupBox4, "CheckBox6", QStringLiteral("Proportion initiales"),
                             QStringLiteral("Garder les proportions de l'image"), 8, 6, 196);
    CheckBox6->setChecked(true);
    RadioButton8 = MakeRadio(GroupBox4, "RadioButton8", QStringLiteral("Image en %"),
                             QStringLiteral("Agrandir ou rétrécir l'image"), 8, 26, 110);
    RadioButton6 = MakeRadio(GroupBox4, "RadioButton6", QStringLiteral("En % de page"),
                             QStringLiteral("Changer la taille de l'image en % par rapport à la page"), 8, 46, 110);
    RadioButton8->setChecked(true);
    UpDown1 = MakeUpDown(GroupBox4, "UpDown1", "Edit3", 10, 400, 5, QRect(130, 24, 70, 20));
    UpDown1->setValue(100);
    Edit3 = UpDown1->edit();
    Edit3->setReadOnly(true);
    Edit3->installEventFilter(this);
    UpDown5 = MakeUpDown(GroupBox4, "UpDown5", "Edit7", 10, 100, 5, QRect(130, 44, 70, 20));
    UpDown5->setValue(100);
    Edit7 = UpDown5->edit();
    Edit7->setReadOnly(true);
    Edit7->installEventFilter(this);
    buildPrinterFooterControls();
}

void TMain1::buildPrinterFooterControls()
{
    QWidget* p = TabSheet2;
    GroupBox1 = Named(new QGroupBox(QStringLiteral(" Pied de Page"), p), "GroupBox1");
    GroupBox1->setGeometry(4, 142, 212, 84);
    const QString sizeHint = QStringLiteral("La taille du texte de pied de page est de %1 car. par pouce");
    RadioButton5 = MakeRadio(GroupBox1, "RadioButton5", QStringLiteral("08 cpp"), sizeHint.arg(8), 8, 18, 64);
    RadioButton4 = MakeRadio(GroupBox1, "RadioButton4", QStringLiteral("10 cpp"), sizeHint.arg(10), 74, 18, 64);
    RadioButton3 = MakeRadio(GroupBox1, "RadioButton3", QStringLiteral("12 cpp"), sizeHint.arg(12), 140, 18, 64);
    RadioButton5->setChecked(true);
    CheckBox7 = MakeCheckBox(GroupBox1, "CheckBox7", QStringLiteral("Date et heure"), QString(), 8, 40, 100);
    CheckBox7->setChecked(true);
    CheckBox9 = MakeCheckBox(GroupBox1, "CheckBox9", QStringLiteral("Pied de page"), QString(), 110, 40, 96);
    CheckBox8 = MakeCheckBox(GroupBox1, "CheckBox8", QStringLiteral("Utilisateur et système"), QString(), 8, 60,
                             196);

    Label8 = Named(new TClickLabel(QStringLiteral(" Nombre de copie"), p), "Label8");
    Label8->setGeometry(8, 234, 110, 13);
    UpDown6 = MakeUpDown(p, "UpDown6", "Edit8", 1, 99, 1, QRect(130, 230, 50, 20));
    UpDown6->setValue(1);
    UpDown6->setToolTip(QStringLiteral("Sélectionner le nombre de copies"));
    Edit8 = UpDown6->edit();
    Edit8->setMaxLength(2);
    Edit8->setToolTip(QStringLiteral("Sélectionner le nombre de copies"));

    GroupBox2 = Named(new QGroupBox(QStringLiteral(" Choisir une imprimante "), p), "GroupBox2");
    GroupBox2->setGeometry(4, 254, 212, 48);
    GroupBox2->setToolTip(QStringLiteral("Choisir l'imprimante"));
    ComboBox2 = Named(new QComboBox(GroupBox2), "ComboBox2");
    ComboBox2->setGeometry(8, 18, 196, 21);
    ComboBox2->setToolTip(QStringLiteral("Choisir l'imprimante"));
}

void TMain1::fillPrinterList()
{
    ComboBox2->clear();
    ComboBox2->addItems(QPrinterInfo::availablePrinterNames());
    ComboBox2->addItem(QStringLiteral("Imprimante")); // the system's default printer
    selectPrinterEntry();
}

void TMain1::selectPrinterEntry()
{
    if (ComboBox2->count() == 0)
        return;
    int selected = ComboBox2->count() - 1;
    const QString wanted = m_agent ? m_agent->printer() : QString();
    for (int i = 0; i < ComboBox2->count(); ++i)
        if (ComboBox2->itemText(i) == wanted)
            selected = i; // the last equal entry wins
    ComboBox2->setCurrentIndex(selected);
    if (m_agent)
        m_agent->setPrinter(ComboBox2->itemText(selected));
}
