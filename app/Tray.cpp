// The agent window Tray1: tray icon and menu, hotkey gate, suspension,
// hide-icon mode, direct-print twin, quitting, waits that keep the loop running.
#include "app/Tray.h"

#include "app/ConfigReset.h"
#include "app/Resources.h"
#include "app/TrayIcon.h"
#include "dialogs/About.h"
#include "dialogs/DesignFont.h"
#include "dialogs/HotkeyLists.h"
#include "dialogs/Info.h"
#include "picture/Main.h"
#include "dialogs/MenuItems.h"
#include "platform/CaptureBackend.h"
#include "platform/Hotkeys.h"
#include "platform/MonitorWatcher.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/HostRegistry.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

const QString TrayTip = QStringLiteral("Kaptivus 2000  V5.10 (complet)");

QAction* addItem(QMenu* menu, const char* name, const QString& caption, bool checkable = false)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(checkable);
    return a;
}

void addSeparator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QString::fromLatin1(name)); }

} // namespace

TTray1::TTray1(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    // None on a Wayland desktop: not even a connection to XWayland, which a
    // compositor may start on a client's first connection just for it.
    , m_hotkeys(DesktopOwnsKeys() ? nullptr : std::make_unique<kaptivus::platform::HotkeyService>())
{
    setObjectName(QStringLiteral("Tray1"));
    setWindowTitle(QStringLiteral("Kaptivus 2000"));
    setFixedSize(107, 43);
    setCursor(Qt::PointingHandCursor);
    buildMenu();
    buildWindow();

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setIcon(ProgramIcon());
    TrayIcon1->setToolTip(TrayTip);
    TrayIcon1->setActive(true);
    TrayIcon1->setPopupMenu(PopupMenu1);
    connect(TrayIcon1, &TTrayIcon::OnDblClick, this, &TTray1::TrayIcon1DblClick);
    if (m_hotkeys) {
        connect(m_hotkeys.get(), &kaptivus::platform::HotkeyService::hotkeyPressed, this, &TTray1::HotkeyPressed);
        connect(m_hotkeys.get(), &kaptivus::platform::HotkeyService::statusChanged, this, &TTray1::ShowHotkeyRefusals);
    } else {
        using kaptivus::platform::portal::GlobalShortcuts;
        m_portalKeys = new GlobalShortcuts(QString::fromLatin1(kaptivus::platform::portal::ApplicationId), this);
        connect(m_portalKeys, &GlobalShortcuts::activated, this, &TTray1::desktopShortcutActivated);
        connect(m_portalKeys, &GlobalShortcuts::changed, this, &TTray1::ShowHotkeyRefusals);
    }
    // The X server tells when its monitors change; a Wayland session's outputs are read at each use.
    if (kaptivus::platform::currentSession() == kaptivus::platform::SessionKind::X11) {
        m_monitorWatcher = new kaptivus::platform::MonitorWatcher(this);
        connect(m_monitorWatcher, &kaptivus::platform::MonitorWatcher::monitorsChanged, this,
                &TTray1::MonitorsChanged);
    }
    FormCreate();
}

TTray1::~TTray1() { FormDestroy(); }

QIcon TTray1::ProgramIcon()
{
    EnsureResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/kaptivus32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/kaptivus16.png"), QSize(16, 16));
    return icon;
}

void TTray1::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setToolTipsVisible(true);
    Open1 = addItem(PopupMenu1, "Open1", QStringLiteral(" &Ouvrir"));
    Suspend1 = addItem(PopupMenu1, "Suspend1", QStringLiteral(" &Suspendre"), true);
    PrinttheDesktop1 = addItem(PopupMenu1, "PrinttheDesktop1", QStringLiteral(" I&mprimer le bureau"));
    About1 = addItem(PopupMenu1, "About1", QStringLiteral(" &A propos"));
    addSeparator(PopupMenu1, "N2");
    StopTimer1 = addItem(PopupMenu1, "StopTimer1", QStringLiteral(" Enregistrement auto (minuteur)"), true);
    StopTimer1->setToolTip(QStringLiteral("Enregistrer..."));
    HideIcononSystemTray1 =
        addItem(PopupMenu1, "HideIcononSystemTray1", QStringLiteral(" Cacher l'icône dans le system tray"), true);
    DirectPrintNoDialog1 =
        addItem(PopupMenu1, "DirectPrintNoDialog1", QStringLiteral(" Impression directe (pas de dialogue)"), true);
    addSeparator(PopupMenu1, "N1");
    CleanupRegistryandresetconfiguartion1 = addItem(PopupMenu1, "CleanupRegistryandresetconfiguartion1",
                                                    QStringLiteral(" Ré-initialiser la configuration originale..."));
    addSeparator(PopupMenu1, "N3");
    Exit1 = addItem(PopupMenu1, "Exit1", QStringLiteral(" &Quitter"));
    addSeparator(PopupMenu1, "N4");
    // Offered once a print job is set (setPrintJob).
    PrinttheDesktop1->setEnabled(false);

    connect(Open1, &QAction::triggered, this, &TTray1::Open1Click);
    connect(Suspend1, &QAction::triggered, this, &TTray1::Suspend1Click);
    connect(PrinttheDesktop1, &QAction::triggered, this, &TTray1::PrinttheDesktop1Click);
    connect(About1, &QAction::triggered, this, &TTray1::About1Click);
    connect(StopTimer1, &QAction::triggered, this, &TTray1::StopTimer1Click);
    connect(HideIcononSystemTray1, &QAction::triggered, this, &TTray1::HideIcononSystemTray1Click);
    connect(DirectPrintNoDialog1, &QAction::triggered, this, &TTray1::DirectPrintNoDialog1Click);
    connect(CleanupRegistryandresetconfiguartion1, &QAction::triggered, this,
            &TTray1::CleanupRegistryandresetconfiguartion1Click);
    connect(Exit1, &QAction::triggered, this, &TTray1::Exit1Click);
}

void TTray1::buildWindow()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(4, 4, 33, 33);
    Image1->setPixmap(ProgramIcon().pixmap(32, 32));
    Image1->setToolTip(TrayTip);
    Label1 = new QLabel(QStringLiteral("Clic droit => options"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(48, 8, 53, 29);
    Label1->setWordWrap(true);
    // On each control: the application's style sheet keeps the window's font
    // from reaching its children, and a larger font wraps the caption into
    // more lines than the label shows.
    QFont font = DesignFont(8);
    setFont(font);
    Image1->setFont(font);
    font.setPointSize(PointSizeToWrap(font, Label1->text(), Label1->size(), 8, 6));
    Label1->setFont(font);
}

void TTray1::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click anywhere on the small window, its picture or its text opens the tray menu.
    PopupMenu1->popup(event->globalPos());
}

void TTray1::FormCreate()
{
    CaptureBitmap = {};
    SetDesktopRect(-1);
}

void TTray1::FormDestroy()
{
    if (m_destroyed) return;
    m_destroyed = true;
    // A capture waiting before its grab gives up: the agent is ending.
    for (QEventLoop* wait : m_waits) wait->quit();
    UnregisterHotkeys();
    CaptureBitmap = {};
    if (TrayIcon1) TrayIcon1->setActive(false);
}

void TTray1::ResetHotkeyDefaults()
{
    using namespace kaptivus::dialogs;
    HotkeyKeys = DefaultHotkeyKeys;
    HotkeyModifiers = DefaultHotkeyModifiers;
    HotkeyKeyIndex = DefaultHotkeyKeyIndex;
    HotkeyModifierIndex = DefaultHotkeyModifierIndex;
}

void TTray1::RegisterHotkeys()
{
    UnregisterHotkeys();
    // Grabs through XWayland would fire only while an X window has the focus:
    // the desktop's shortcut service binds them, or the compositor's own
    // bindings start --capture.
    if (m_portalKeys) bindDesktopShortcuts();
    if (!m_hotkeys) return;
    // A combination another client holds simply never arrives; nothing is reported.
    for (int i = 0; i < 12; ++i) (void)m_hotkeys->registerHotkey(101 + i, HotkeyKeys[i], HotkeyModifiers[i]);
    ShowHotkeyRefusals();
}

void TTray1::UnregisterHotkeys()
{
    if (m_hotkeys) m_hotkeys->unregisterAll();
    if (m_portalKeys) m_portalKeys->unbind();
    ShowHotkeyRefusals();
}

void TTray1::Open1Click() { TrayIcon1DblClick(); }

void TTray1::Suspend1Click()
{
    // The action has already flipped its check mark.
    if (Main1) Main1->suspend1->setChecked(Suspend1->isChecked());
    if (Suspend1->isChecked()) {
        CaptureBusy = true;
        UnregisterHotkeys();
    } else {
        RegisterHotkeys();
        OpenedFromTray = false;
        CaptureBusy = false;
    }
}

void TTray1::setSuspended(bool suspended)
{
    // From the picture window's own item: resuming there gives the hotkeys
    // back but leaves the gate as the capture being shown left it.
    Suspend1->setChecked(suspended);
    if (suspended) {
        CaptureBusy = true;
        UnregisterHotkeys();
    } else {
        RegisterHotkeys();
    }
}

bool TTray1::autoSaveChecked() const { return StopTimer1->isChecked(); }
void TTray1::setAutoSaveChecked(bool on) { StopTimer1->setChecked(on); }
void TTray1::setDirectPrintChecked(bool on) { DirectPrintNoDialog1->setChecked(on); }
void TTray1::setHideIconChecked(bool on) { HideIcononSystemTray1->setChecked(on); }

void TTray1::StopTimer1Click()
{
    // The button's marked look follows the new check mark; its handler flips
    // it back and starts or stops the timer to match.
    if (Main1) {
        Main1->ToolButton7->setChecked(StopTimer1->isChecked());
        Main1->ToolButton7Click();
    }
    SaveSettings();
}

void TTray1::HideIcononSystemTray1Click()
{
    if (Main1) Main1->HideIcononSystemTray1->setChecked(HideIcononSystemTray1->isChecked());
    ApplyHideIconMode(HideIcononSystemTray1->isChecked());
    SaveSettings();
}

void TTray1::ApplyHideIconMode(bool hidden)
{
    TrayIcon1->setActive(!hidden);
    if (hidden) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
        show();
    } else {
        hide();
    }
}

void TTray1::DirectPrintNoDialog1Click()
{
    if (Main1) Main1->DirectPrintNoDialog1->setChecked(DirectPrintNoDialog1->isChecked());
    SaveSettings();
}

void TTray1::About1Click()
{
    ShowAboutBox(nullptr);
}

void TTray1::CleanupRegistryandresetconfiguartion1Click() { RunConfigurationReset(*this); }

void TTray1::Exit1Click()
{
    // Closing the picture window writes the settings, hidden or not.
    if (Main1) Main1->close();
    QuitAgent();
}

void TTray1::QuitAgent()
{
    close();
    FormDestroy();
    // Leaving the event loop, never exit(): tearing the application object down
    // hands a picture we left on the clipboard to a running clipboard manager
    // (the X clipboard-manager protocol), so it outlives the agent.
    QCoreApplication::quit();
}

void TTray1::QuitBySignal()
{
    m_quittingBySignal = true;
    const int saves = m_settingsSaves;
    if (Main1) Main1->close();
    // A picture window already closing (its own write waiting on an error box
    // nobody will answer) does not close again: the settings are written here.
    if (Main1 && m_settingsSaves == saves) SaveSettings();
    QuitAgent();
    // Unlike quit(), exit() cannot be refused by a window, and it ends every
    // event loop, a modal one included.
    QCoreApplication::exit(SignalExitCode());
    // Before the main loop runs (a signal during start-up) exit() ends no loop:
    // the box waiting now is closed instead, and the program does not go on.
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
}

bool TTray1::WaitWithGateShut(int milliseconds)
{
    if (m_destroyed) return false;
    const bool wasShut = CaptureBusy;
    CaptureBusy = true;
    QEventLoop loop;
    bool elapsed = false;
    QTimer::singleShot(std::max(0, milliseconds), &loop, [&] {
        elapsed = true;
        loop.quit();
    });
    m_waits.push_back(&loop);
    loop.exec();
    m_waits.erase(std::find(m_waits.begin(), m_waits.end(), &loop));
    // Opened again only if it was open before; whoever closed it keeps it so.
    if (!wasShut) CaptureBusy = false;
    return elapsed && !m_destroyed;
}

bool TTray1::SetDesktopRect(int index)
{
    auto& backend = kaptivus::platform::captureBackend();
    std::optional<kaptivus::platform::ScreenRect> rect;
    if (index < 0) {
        rect = backend.virtualDesktop();
    } else {
        const auto monitors = backend.monitors();
        if (size_t(index) < monitors.size()) rect = monitors[size_t(index)].rect;
    }
    if (!rect) return false;
    DesktopRect = *rect;
    m_desktopIndex = index;
    return true;
}

void TTray1::MonitorsChanged()
{
    if (Main1) Main1->EnableMonitorItems(static_cast<int>(kaptivus::platform::captureBackend().monitors().size()));
    // The chosen monitor follows its new place; one that is gone gives way to the whole desktop.
    if (SetDesktopRect(m_desktopIndex)) return;
    SetDesktopRect(-1);
    if (Main1)
        CheckRadioItem(Main1->Monitor0, true,
                       {Main1->Monitor0, Main1->Monitor1, Main1->Monitor2, Main1->Monitor3, Main1->Monitor4});
}

void TTray1::ShowInfo(const QString& text, int seconds)
{
    if (Info1) Info1->ShowInfo(text, seconds);
}
