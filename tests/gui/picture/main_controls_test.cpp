// Every control of the picture window exists under its design name with its
// caption, hint, range and start value; the menus carry their captions,
// shortcuts and check marks.
#include "main_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace kaptivus::picture::testing {
namespace {

struct CaptionRow {
    const char* name;
    const char* caption;
    const char* hint; // nullptr: not checked
};

QString Caption(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return QStringLiteral("<no caption>");
}

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsAndHints)
{
    const CaptionRow rows[] = {
        {"ToolButton1", "Ouvrir", "Ouvrir une image..."},
        {"ToolButton2", "Enregistrer", "Enregistrer sous..."},
        {"ToolButton3", "Coller", "Coller l'image du presse-papiers"},
        {"ToolButton4", "Copier", "Copier l'image vers le presse-papiers"},
        {"ToolButton5", "Editer", nullptr},
        {"ToolButton6", "Zone", "Capturer une zone rectangulaire"},
        {"ToolButton9", "Objet", "Capturer un objet du Bureau"},
        {"ToolButton7", "OFF", "Position auto sauvegarde On/Off"},
        {"ToolButton8", "Imprimante", "Réglages de l'imprimante"},
        {"BitBtn1", "Impression", nullptr},
        {"CheckBox1", "Noir et blanc", "Change les couleurs en nuance de gris"},
        {"CheckBox2", "Inversion", "Inverse les couleurs de l'image"},
        {"CheckBox4", "Miroir vertical", "Renverse l'image verticalement"},
        {"CheckBox10", "Gaufrer", "Estamper, gaufrer l'image"},
        {"CheckBox15", "Miroir horizontal", "Renverse l'image horizontalement"},
        {"CheckBox11", "Affiner", "Affiner l'image une fois"},
        {"Button3", "Plus", "Affiner davantage l'image"},
        {"CheckBox3", "Echange", "Echanger les couleurs choisies"},
        {"CheckBox14", "Substituer couleur", "Remplace une couleur par une autre : la 1ère par la 2ème"},
        {"Button2", "Défaire", "Valeurs par défaut"},
        {"StaticText1", "0", nullptr},
        {"Label1", "Brillance", "Régler la brillance de l'image."},
        {"Label2", "Contraste", "Régler le contraste de l'image"},
        {"Label9", "Saturation", "Régler la saturation de l'image"},
        {"Label10", "Rouge", "Ajuster la nuance rouge de l'image"},
        {"Label11", "Vert", "Ajuster la nuance verte de l'image"},
        {"Label12", "Bleu", "Ajuster la nuance bleue de l'image"},
        {"Label4", "Cadre", "Tracer un cadre autour de l'Image"},
        {"Label14", "Pivoter", "Faire pivoter l'image de 0 à 360°"},
        {"Label6", "Taille %", "Agrandir ou rétrécir l'image"},
        {"Button1", "Taille", "Redimensionner l'image"},
        {"Label13", "-->", nullptr},
        {"Label7", "X", nullptr},
        {"Edit1", "0", "Nouvelle largeur de l'image"},
        {"Edit2", "0", "Nouvelle hauteur de l'image"},
        {"Label3", "Couleurs", nullptr},
        {"RadioButton1", "Portrait", "Imprime l'image en format portrait"},
        {"RadioButton2", "Paysage", "Imprime l'image en format paysage"},
        {"GroupBox3", " Alignement de l'image ", nullptr},
        {"CheckBox6", "Proportion initiales", "Garder les proportions de l'image"},
        {"RadioButton8", "Image en %", "Agrandir ou rétrécir l'image"},
        {"RadioButton6", "En % de page", "Changer la taille de l'image en % par rapport à la page"},
        {"GroupBox1", " Pied de Page", nullptr},
        {"RadioButton5", "08 cpp", "La taille du texte de pied de page est de 8 car. par pouce"},
        {"RadioButton4", "10 cpp", "La taille du texte de pied de page est de 10 car. par pouce"},
        {"RadioButton3", "12 cpp", "La taille du texte de pied de page est de 12 car. par pouce"},
        {"CheckBox7", "Date et heure", nullptr},
        {"CheckBox8", "Utilisateur et système", nullptr},
        {"CheckBox9", "Pied de page", nullptr},
        {"Label8", " Nombre de copie", nullptr},
        {"GroupBox2", " Choisir une imprimante ", "Choisir l'imprimante"},
    };
    for (const CaptionRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto* w = main1->findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(Caption(w), QString::fromUtf8(row.caption));
        if (row.hint) {
            EXPECT_EQ(w->toolTip(), QString::fromUtf8(row.hint));
        }
    }
    for (const char* name : {"ScrollBox1", "Image1", "PageControl1", "TabSheet1", "TabSheet2", "StatusBar1",
                             "Panel2", "Panel3", "Panel4", "ComboBox1", "ComboBox2", "ComboBox3", "GroupBox4",
                             "UpDown1", "UpDown5", "UpDown6", "Edit3", "Edit7", "Edit8", "ToolBar1"})
        EXPECT_NE(main1->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(main1->PageControl1->tabText(0), QStringLiteral("Options de l'image"));
    EXPECT_EQ(main1->PageControl1->tabText(1), QStringLiteral("Options d'imprimante"));
    EXPECT_EQ(main1->PageControl1->currentIndex(), 0);
    EXPECT_TRUE(main1->windowTitle().startsWith(QStringLiteral("Kaptivus 2000   v5.10 complet")));
}

struct SliderRow {
    const char* name;
    int min, max, small, large, start;
};

TEST_F(MainWindowTest, SlidersHaveTheirRangesStepsAndStartPositions)
{
    const SliderRow rows[] = {
        {"ScrollBar1", -255, 255, 10, 10, 0}, {"ScrollBar2", -255, 255, 10, 10, 0},
        {"ScrollBar3", -255, 255, 10, 10, 0}, {"ScrollBar6", -255, 255, 10, 10, 0},
        {"ScrollBar7", -255, 255, 10, 10, 0}, {"ScrollBar5", -255, 255, 10, 10, 0},
        {"ScrollBar4", 0, 20, 1, 1, 0},       {"ScrollBar9", -180, 180, 90, 1, 0},
        {"ScrollBar8", 10, 400, 1, 10, 100},
    };
    for (const SliderRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto* bar = main1->findChild<QScrollBar*>(QString::fromLatin1(row.name));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->orientation(), Qt::Horizontal);
        EXPECT_EQ(bar->minimum(), row.min);
        EXPECT_EQ(bar->maximum(), row.max);
        EXPECT_EQ(bar->singleStep(), row.small);
        EXPECT_EQ(bar->pageStep(), row.large);
        EXPECT_EQ(bar->value(), row.start);
    }
}

TEST_F(MainWindowTest, ListsEditsAndUpDownsStartAsDesigned)
{
    const QStringList depths = {"Défaut", "Noir et blanc", "16 couleurs", "256 couleurs",
                                "32K couleurs", "65K couleurs", "16M couleurs", "65M couleurs"};
    ASSERT_EQ(main1->ComboBox1->count(), depths.size());
    for (int i = 0; i < depths.size(); ++i)
        EXPECT_EQ(main1->ComboBox1->itemText(i), depths[i]);
    EXPECT_EQ(main1->ComboBox1->currentIndex(), 0);
    const QStringList alignments = {"Image centrée", "Image en haut à gauche", "Image en haut à droite",
                                    "Image en bas à gauche", "Image en bas à droite"};
    ASSERT_EQ(main1->ComboBox3->count(), alignments.size());
    for (int i = 0; i < alignments.size(); ++i)
        EXPECT_EQ(main1->ComboBox3->itemText(i), alignments[i]);
    EXPECT_EQ(main1->ComboBox3->currentIndex(), 0);
    EXPECT_EQ(main1->ComboBox2->itemText(main1->ComboBox2->count() - 1), QStringLiteral("Imprimante"));
    EXPECT_EQ(main1->ComboBox2->currentIndex(), main1->ComboBox2->count() - 1);

    EXPECT_EQ(main1->Edit1->maxLength(), 4);
    EXPECT_EQ(main1->Edit2->maxLength(), 4);
    EXPECT_EQ(main1->Edit8->maxLength(), 2);
    EXPECT_TRUE(main1->Edit3->isReadOnly());
    EXPECT_TRUE(main1->Edit7->isReadOnly());
    const std::tuple<TUpDown*, int, int, int, int> upDowns[] = {
        {main1->UpDown1, 10, 400, 5, 100}, {main1->UpDown5, 10, 100, 5, 100}, {main1->UpDown6, 1, 99, 1, 1}};
    for (const auto& [upDown, min, max, step, start] : upDowns) {
        SCOPED_TRACE(upDown->objectName().toStdString());
        EXPECT_EQ(upDown->minimum(), min);
        EXPECT_EQ(upDown->maximum(), max);
        EXPECT_EQ(upDown->singleStep(), step);
        EXPECT_EQ(upDown->value(), start);
    }
    EXPECT_EQ(main1->Panel2->color(), 0x000000u);
    EXPECT_EQ(main1->Panel3->color(), 0xFFFFFFu);
    EXPECT_EQ(main1->Panel4->color(), 0x000000u);
    EXPECT_TRUE(main1->RadioButton1->isChecked());
    EXPECT_TRUE(main1->RadioButton8->isChecked());
    EXPECT_TRUE(main1->RadioButton5->isChecked());
    EXPECT_TRUE(main1->CheckBox6->isChecked());
    EXPECT_TRUE(main1->CheckBox7->isChecked());
    EXPECT_FALSE(main1->Timer1->isActive());
    EXPECT_TRUE(main1->ToolButton7->isChecked());
}

struct MenuRow {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    bool checkable;
    bool checked;
};

TEST_F(MainWindowTest, MenuItemsHaveTheirCaptionsShortcutsAndMarks)
{
    const MenuRow rows[] = {
        {"Refresh1", " &Rafraîchir", QKeySequence(Qt::Key_F5), false, false},
        {"Minimize1", " &Réduire", QKeySequence(Qt::Key_Escape), false, false},
        {"suspend1", " &Suspendre", {}, true, false},
        {"CopyPicturetoClipboard1", " Copier l'image vers le presse-papiers", QKeySequence("Ctrl+C"), false, false},
        {"PastePicturefromClipboard1", " Coller l'image du presse-papiers", QKeySequence("Ctrl+V"), false, false},
        {"SavethePicture1", " Enregistrer l'image...", QKeySequence("Ctrl+S"), false, false},
        {"LoadPicture1", " Ouvrir une image...", QKeySequence("Ctrl+L"), false, false},
        {"EditthePicture1", " Editer l'image...", QKeySequence("Ctrl+E"), false, false},
        {"GetRectangularArea1", " Capturer une zone rectangulaire...", QKeySequence("Ctrl+R"), false, false},
        {"GetObject1", " Capturer un objet du bureau...", QKeySequence("Ctrl+O"), false, false},
        {"PrintthePicture1", " Imprimer l'image", QKeySequence("Ctrl+P"), false, false},
        {"GetPicturefromKaptivus1", " Capturer la fenêtre de Kaptivus®", QKeySequence("Ctrl+G"), false, false},
        {"CleanupRegistryfromoldVersions1", " &Ré-initialisation de la configuration...", {}, false, false},
        {"Exit1", " &Quitter", {}, false, false},
        {"DefineHotkeys1", " Réglages des &raccourcis clavier...", {}, false, false},
        {"DefineFooterText1", " Definir le &texte du pied de page...", {}, false, false},
        {"DefinetheBmpEditor1", " Définir l'éditeur d'&image...", {}, false, false},
        {"DefaultSaveFolder1", " Définir les réglages par &défauts (dossier + nom + extension)", {}, false, false},
        {"Sound1", " Son", {}, true, true},
        {"IncludeCursor1", " Inclure le curseur", {}, true, false},
        {"ClientAreaonly1", " Aire client seulement", {}, true, false},
        {"AutocopytoClipboard1", " Auto copie vers le presse-papiers", {}, true, false},
        {"Closeafterprinting1", " Fermer après impression", {}, true, true},
        {"DirectPrintNoDialog1", " Impression directe (sans dialogue)", {}, true, false},
        {"HideIcononSystemTray1", " &Cacher l'icône dans le systray (vers l'horloge)", {}, true, false},
        {"About1", "A propos", {}, false, false},
        {"NSeconds2", "1 seconde", {}, true, true},
        {"NSeconds7", "10 secondes", {}, true, false},
        {"ADelay3", "30 secondes", {}, true, true},
        {"ADelay4", " 1 minute", {}, true, false},
        {"ADelay7", "30 minutes", {}, true, false},
        {"Monitor0", " Tous les moniteurs", {}, true, true},
        {"Monitor4", " Moniteur n°4", {}, true, false},
        {"ClearHistory1", " Nettoyer l'historique", {}, false, false},
    };
    for (const MenuRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto* item = main1->findChild<QAction*>(QString::fromLatin1(row.name));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(item->shortcut(), row.shortcut);
        EXPECT_EQ(item->isCheckable(), row.checkable);
        EXPECT_EQ(item->isChecked(), row.checked);
    }
    const std::pair<QMenu*, const char*> submenus[] = {
        {main1->DefineDelay1, " Definir le délai pour capturer une &zone"},
        {main1->AutoCaptureDelay1, " Délai d'&auto capture (minuteur de compte à rebours)"},
        {main1->Monitors1, " Definir un moniteur (multi-écran seulement)"},
    };
    for (const auto& [menu, caption] : submenus)
        EXPECT_EQ(menu->title(), QString::fromUtf8(caption));
    EXPECT_EQ(main1->DefineDelay1->actions().size(), 6);
    EXPECT_EQ(main1->AutoCaptureDelay1->actions().size(), 7);
}

TEST_F(MainWindowTest, MenusHaveTheirSeparatorsInPlace)
{
    auto separatorAfter = [](QMenu* menu, QAction* item) {
        const QList<QAction*> items = menu->actions();
        const qsizetype i = items.indexOf(item);
        return i >= 0 && i + 1 < items.size() && items[i + 1]->isSeparator();
    };
    EXPECT_TRUE(separatorAfter(main1->File1, main1->suspend1));
    EXPECT_TRUE(separatorAfter(main1->File1, main1->PastePicturefromClipboard1));
    EXPECT_TRUE(separatorAfter(main1->File1, main1->GetPicturefromKaptivus1));
    EXPECT_TRUE(separatorAfter(main1->File1, main1->CleanupRegistryfromoldVersions1));
    EXPECT_TRUE(separatorAfter(main1->Options1, main1->AutoCaptureDelay1->menuAction()));
    EXPECT_TRUE(separatorAfter(main1->Options1, main1->Monitors1->menuAction()));
    EXPECT_TRUE(separatorAfter(main1->Options1, main1->DefaultSaveFolder1));
    EXPECT_TRUE(separatorAfter(main1->Options1, main1->DirectPrintNoDialog1));
    EXPECT_EQ(main1->File1->actions().size(), 18);
}

TEST_F(MainWindowTest, HistoryItemsAreHiddenUntilFilled)
{
    ASSERT_EQ(main1->PopupMenu1->actions().size(), 15);
    for (QAction* item : main1->history) {
        ASSERT_NE(item, nullptr);
        EXPECT_FALSE(item->isVisible());
        EXPECT_TRUE(item->isCheckable());
    }
    EXPECT_EQ(main1->history[12]->objectName(), QStringLiteral("history13"));
    EXPECT_TRUE(main1->N9->isSeparator());
    EXPECT_FALSE(main1->N9->isVisible());
    EXPECT_FALSE(main1->ClearHistory1->isVisible());
    EXPECT_EQ(main1->ToolButton1->menu(), main1->PopupMenu1);
}

} // namespace
} // namespace kaptivus::picture::testing
