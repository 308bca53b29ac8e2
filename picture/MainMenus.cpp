// The picture window's menus: File, Options with its delay and monitor
// submenus, "A propos", and the history drop-down of the open button.
#include "picture/Main.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {},
                 bool checkable = false, bool checked = false)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        item->setShortcut(shortcut);
    item->setCheckable(checkable);
    item->setChecked(checked);
    return item;
}

QMenu* AddSubmenu(QMenu* parent, const char* name, const QString& caption)
{
    QMenu* menu = parent->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// Items of an exclusive group are drawn with radio marks. Optional exclusion:
// clicking the marked item may leave none marked, as the handlers expect.
void MakeRadioItems(QObject* owner, const std::vector<QAction*>& items)
{
    auto* group = new QActionGroup(owner);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* item : items)
        group->addAction(item);
}

} // namespace

void TMain1::buildFileMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&Fichier"));
    File1->setObjectName(QStringLiteral("File1"));
    Refresh1 = AddItem(File1, "Refresh1", QStringLiteral(" &Rafraîchir"), QKeySequence(Qt::Key_F5));
    Minimize1 = AddItem(File1, "Minimize1", QStringLiteral(" &Réduire"));
    suspend1 = AddItem(File1, "suspend1", QStringLiteral(" &Suspendre"), {}, true);
    File1->addSeparator();
    CopyPicturetoClipboard1 = AddItem(File1, "CopyPicturetoClipboard1",
                                      QStringLiteral(" Copier l'image vers le presse-papiers"),
                                      QKeySequence(Qt::CTRL | Qt::Key_C));
    PastePicturefromClipboard1 = AddItem(File1, "PastePicturefromClipboard1",
                                         QStringLiteral(" Coller l'image du presse-papiers"),
                                         QKeySequence(Qt::CTRL | Qt::Key_V));
    File1->addSeparator();
    SavethePicture1 = AddItem(File1, "SavethePicture1", QStringLiteral(" Enregistrer l'image..."),
                              QKeySequence(Qt::CTRL | Qt::Key_S));
    LoadPicture1 = AddItem(File1, "LoadPicture1", QStringLiteral(" Ouvrir une image..."),
                           QKeySequence(Qt::CTRL | Qt::Key_L));
    EditthePicture1 = AddItem(File1, "EditthePicture1", QStringLiteral(" Editer l'image..."),
                              QKeySequence(Qt::CTRL | Qt::Key_E));
    GetRectangularArea1 = AddItem(File1, "GetRectangularArea1", QStringLiteral(" Capturer une zone rectangulaire..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_R));
    GetObject1 = AddItem(File1, "GetObject1", QStringLiteral(" Capturer un objet du bureau..."),
                         QKeySequence(Qt::CTRL | Qt::Key_O));
    PrintthePicture1 = AddItem(File1, "PrintthePicture1", QStringLiteral(" Imprimer l'image"),
                               QKeySequence(Qt::CTRL | Qt::Key_P));
    GetPicturefromKaptivus1 = AddItem(File1, "GetPicturefromKaptivus1",
                                      QStringLiteral(" Capturer la fenêtre de Kaptivus®"),
                                      QKeySequence(Qt::CTRL | Qt::Key_G));
    File1->addSeparator();
    CleanupRegistryfromoldVersions1 = AddItem(File1, "CleanupRegistryfromoldVersions1",
                                              QStringLiteral(" &Ré-initialisation de la configuration..."));
    File1->addSeparator();
    Exit1 = AddItem(File1, "Exit1", QStringLiteral(" &Quitter"));
}

void TMain1::buildOptionsMenu()
{
    Options1 = MainMenu1->addMenu(QStringLiteral("&Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    DefineHotkeys1 = AddItem(Options1, "DefineHotkeys1", QStringLiteral(" Réglages des &raccourcis clavier..."));
    DefineFooterText1 = AddItem(Options1, "DefineFooterText1",
                                QStringLiteral(" Definir le &texte du pied de page..."));
    buildDelayMenus();
    Options1->addSeparator();
    buildMonitorsMenu();
    Options1->addSeparator();
    DefinetheBmpEditor1 = AddItem(Options1, "DefinetheBmpEditor1", QStringLiteral(" Définir l'éditeur d'&image..."));
    DefaultSaveFolder1 = AddItem(Options1, "DefaultSaveFolder1",
                                 QStringLiteral(" Définir les réglages par &défauts (dossier + nom + extension)"));
    Options1->addSeparator();
    Sound1 = AddItem(Options1, "Sound1", QStringLiteral(" Son"), {}, true, true);
    IncludeCursor1 = AddItem(Options1, "IncludeCursor1", QStringLiteral(" Inclure le curseur"), {}, true);
    ClientAreaonly1 = AddItem(Options1, "ClientAreaonly1", QStringLiteral(" Aire client seulement"), {}, true);
    AutocopytoClipboard1 = AddItem(Options1, "AutocopytoClipboard1",
                                   QStringLiteral(" Auto copie vers le presse-papiers"), {}, true);
    Closeafterprinting1 = AddItem(Options1, "Closeafterprinting1", QStringLiteral(" Fermer après impression"), {},
                                  true, true);
    DirectPrintNoDialog1 = AddItem(Options1, "DirectPrintNoDialog1",
                                   QStringLiteral(" Impression directe (sans dialogue)"), {}, true);
    Options1->addSeparator();
    HideIcononSystemTray1 = AddItem(Options1, "HideIcononSystemTray1",
                                    QStringLiteral(" &Cacher l'icône dans le systray (vers l'horloge)"), {}, true);

    About1 = MainMenu1->addAction(QStringLiteral("A propos"));
    About1->setObjectName(QStringLiteral("About1"));
}

void TMain1::buildDelayMenus()
{
    DefineDelay1 = AddSubmenu(Options1, "DefineDelay1", QStringLiteral(" Definir le délai pour capturer une &zone"));
    NSeconds2 = AddItem(DefineDelay1, "NSeconds2", QStringLiteral("1 seconde"), {}, true, true);
    NSeconds3 = AddItem(DefineDelay1, "NSeconds3", QStringLiteral("2 secondes"), {}, true);
    NSeconds4 = AddItem(DefineDelay1, "NSeconds4", QStringLiteral("3 secondes"), {}, true);
    NSeconds5 = AddItem(DefineDelay1, "NSeconds5", QStringLiteral("4 secondes"), {}, true);
    NSeconds6 = AddItem(DefineDelay1, "NSeconds6", QStringLiteral("5 secondes"), {}, true);
    NSeconds7 = AddItem(DefineDelay1, "NSeconds7", QStringLiteral("10 secondes"), {}, true);

    AutoCaptureDelay1 = AddSubmenu(Options1, "AutoCaptureDelay1",
                                   QStringLiteral(" Délai d'&auto capture (minuteur de compte à rebours)"));
    ADelay1 = AddItem(AutoCaptureDelay1, "ADelay1", QStringLiteral("10 secondes"), {}, true);
    ADelay2 = AddItem(AutoCaptureDelay1, "ADelay2", QStringLiteral("20 secondes"), {}, true);
    ADelay3 = AddItem(AutoCaptureDelay1, "ADelay3", QStringLiteral("30 secondes"), {}, true, true);
    ADelay4 = AddItem(AutoCaptureDelay1, "ADelay4", QStringLiteral(" 1 minute"), {}, true);
    ADelay5 = AddItem(AutoCaptureDelay1, "ADelay5", QStringLiteral(" 5 minutes"), {}, true);
    ADelay6 = AddItem(AutoCaptureDelay1, "ADelay6", QStringLiteral("10 minutes"), {}, true);
    ADelay7 = AddItem(AutoCaptureDelay1, "ADelay7", QStringLiteral("30 minutes"), {}, true);
    MakeRadioItems(DefineDelay1, captureDelayItems());
    MakeRadioItems(AutoCaptureDelay1, timerDelayItems());
}

void TMain1::buildMonitorsMenu()
{
    Monitors1 = AddSubmenu(Options1, "Monitors1", QStringLiteral(" Definir un moniteur (multi-écran seulement)"));
    Monitors1->setEnabled(false);
    Monitors1->menuAction()->setEnabled(false);
    Monitor0 = AddItem(Monitors1, "Monitor0", QStringLiteral(" Tous les moniteurs"), {}, true, true);
    Monitor1 = AddItem(Monitors1, "Monitor1", QStringLiteral(" Moniteur n°1"), {}, true);
    Monitor2 = AddItem(Monitors1, "Monitor2", QStringLiteral(" Moniteur n°2"), {}, true);
    Monitor3 = AddItem(Monitors1, "Monitor3", QStringLiteral(" Moniteur n°3"), {}, true);
    Monitor4 = AddItem(Monitors1, "Monitor4", QStringLiteral(" Moniteur n°4"), {}, true);
    for (QAction* item : {Monitor1, Monitor2, Monitor3, Monitor4})
        item->setEnabled(false);
}

void TMain1::buildHistoryMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (size_t i = 0; i < history.size(); ++i) {
        const QByteArray name = "history" + QByteArray::number(int(i + 1));
        history[i] = AddItem(PopupMenu1, name.constData(), QString(), {}, true);
        history[i]->setVisible(false);
    }
    MakeRadioItems(PopupMenu1, {history.begin(), history.end()});
    N9 = PopupMenu1->addSeparator();
    N9->setObjectName(QStringLiteral("N9"));
    N9->setVisible(false);
    ClearHistory1 = AddItem(PopupMenu1, "ClearHistory1", QStringLiteral(" Nettoyer l'historique"));
    ClearHistory1->setVisible(false);
    ToolButton1->setMenu(PopupMenu1);
}

std::vector<QAction*> TMain1::monitorItems() const
{
    return {Monitor0, Monitor1, Monitor2, Monitor3, Monitor4};
}

std::vector<QAction*> TMain1::captureDelayItems() const
{
    return {NSeconds2, NSeconds3, NSeconds4, NSeconds5, NSeconds6, NSeconds7};
}

std::vector<QAction*> TMain1::timerDelayItems() const
{
    return {ADelay1, ADelay2, ADelay3, ADelay4, ADelay5, ADelay6, ADelay7};
}
