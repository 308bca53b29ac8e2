// The agent's side of the hotkey dialog and the quiet signs of a combination
// that could not be taken.
#include "app/Tray.h"

#include "app/TrayIcon.h"
#include "dialogs/HotkeyLists.h"
#include "dialogs/Keys.h"
#include "platform/CaptureBackend.h"
#include "platform/Hotkeys.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/wayland/SwayBindings.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStringList>

#include <cstdlib>

using kaptivus::platform::HotkeyStatus;
using kaptivus::platform::portal::GlobalShortcuts;

namespace {

// The desktop knows each action by a stable id, so that the user's own
// assignments in its settings survive restarts.
QString shortcutId(int id) { return QStringLiteral("capture-%1").arg(id); }

int actionOfShortcut(const QString& shortcut)
{
    bool ok = false;
    const int id = shortcut.startsWith(QLatin1String("capture-")) ? shortcut.mid(8).toInt(&ok) : 0;
    return ok && id >= 101 && id <= 112 ? id : 0;
}

QString actionCaption(int index) { return QString::fromUtf8(kaptivus::dialogs::HotkeyActions[index].caption).trimmed(); }

// The trigger the desktop assigned to the action; empty when none.
QString assignedTrigger(const GlobalShortcuts& desktop, int index)
{
    for (const auto& shortcut : desktop.assigned())
        if (shortcut.id == shortcutId(101 + index)) return shortcut.trigger;
    return {};
}

class TrayKeysLink : public KeysLink {
public:
    explicit TrayKeysLink(TTray1& tray)
        : m_tray(tray)
    {
    }
    kaptivus::dialogs::HotkeyTable& HotkeyKeys() override { return m_tray.HotkeyKeys; }
    kaptivus::dialogs::HotkeyTable& HotkeyModifiers() override { return m_tray.HotkeyModifiers; }
    kaptivus::dialogs::HotkeyTable& HotkeyKeyIndex() override { return m_tray.HotkeyKeyIndex; }
    kaptivus::dialogs::HotkeyTable& HotkeyModifierIndex() override { return m_tray.HotkeyModifierIndex; }
    void ResetHotkeyDefaults() override { m_tray.ResetHotkeyDefaults(); }
    void SaveSettings() override { m_tray.SaveSettings(); }
    void RegisterHotkeys() override { m_tray.RegisterHotkeys(); }
    DesktopBindings DesktopBindingsFor() const override
    {
        if (!TTray1::DesktopOwnsKeys()) return {};
        const GlobalShortcuts* desktop = m_tray.desktopShortcuts();
        return desktop && desktop->isOffered() ? assignedBindings(*desktop) : bindings();
    }
    HotkeyRefusal RefusalOf(int index) const override
    {
        switch (m_tray.HotkeyStatusOf(index)) {
        case HotkeyStatus::HeldElsewhere: return HotkeyRefusal::HeldElsewhere;
        case HotkeyStatus::NotOnKeyboard: return HotkeyRefusal::NotOnKeyboard;
        default: return HotkeyRefusal::None;
        }
    }

private:
    // What the desktop's shortcut service made of the actions: the user picks
    // the keys in the desktop's own settings; the tables are only its preference.
    DesktopBindings assignedBindings(const GlobalShortcuts& desktop) const
    {
        DesktopBindings shown;
        shown.intro = QStringLiteral("Le bureau attribue les raccourcis : pour les changer, passez par ses propres "
                                     "réglages de raccourcis clavier.");
        for (int i = 0; i < kaptivus::dialogs::HotkeyCount; ++i) {
            const QString trigger = assignedTrigger(desktop, i);
            if (!trigger.isEmpty()) shown.lines << QStringLiteral("%1 : %2").arg(actionCaption(i), trigger);
        }
        if (shown.lines.isEmpty()) shown.lines << QStringLiteral("Aucun raccourci attribué par le bureau.");
        return shown;
    }

    // sway takes the lines as they are; another Wayland desktop is told the
    // combination and the command for its own keyboard settings.
    DesktopBindings bindings() const
    {
        namespace wl = kaptivus::platform::wayland;
        const std::string program = QCoreApplication::applicationFilePath().toStdString();
        const auto sway = wl::swayBindings(m_tray.HotkeyKeys, m_tray.HotkeyModifiers, program);
        DesktopBindings shown;
        const char* swaySocket = std::getenv("SWAYSOCK");
        if (swaySocket && *swaySocket) {
            shown.intro = QStringLiteral("Sous Wayland, le bureau gère les raccourcis : ajoutez ces lignes à la "
                                         "configuration de sway (~/.config/sway/config).");
            for (const auto& line : sway.lines) shown.lines << QString::fromStdString(line);
            return shown;
        }
        shown.intro = QStringLiteral("Sous Wayland, le bureau gère les raccourcis : associez chaque combinaison à "
                                     "sa commande dans les réglages du clavier du bureau.");
        for (int i = 0; i < kaptivus::dialogs::HotkeyCount; ++i) {
            const std::string keys = wl::swayCombination(m_tray.HotkeyKeys[i], m_tray.HotkeyModifiers[i]);
            if (!keys.empty())
                shown.lines << QStringLiteral("%1 : %2 --capture %3")
                                   .arg(QString::fromStdString(keys), QString::fromStdString(program))
                                   .arg(101 + i);
        }
        return shown;
    }

    TTray1& m_tray;
};

} // namespace

bool TTray1::DesktopOwnsKeys() { return !kaptivus::platform::captureBackend().grabsHotkeys(); }

HotkeyStatus TTray1::HotkeyStatusOf(int index) const
{
    if (index < 0 || index >= kaptivus::dialogs::HotkeyCount) return HotkeyStatus::Unregistered;
    if (m_portalKeys) {
        // Only a trigger the desktop reports counts as taken; one it left
        // without, after answering, is as good as held by another program.
        if (!assignedTrigger(*m_portalKeys, index).isEmpty()) return HotkeyStatus::Grabbed;
        const bool answered = m_portalKeys->state() == GlobalShortcuts::State::Bound
            || m_portalKeys->state() == GlobalShortcuts::State::Failed;
        return answered && HotkeyKeys[index] != 0 ? HotkeyStatus::HeldElsewhere : HotkeyStatus::Unregistered;
    }
    if (!m_hotkeys) return HotkeyStatus::Unregistered;
    return m_hotkeys->status(101 + index);
}

void TTray1::DefineHotkeys(QWidget* parent)
{
    TrayKeysLink link(*this);
    TKeys1 dialog(link, parent);
    // The desktop may answer, or the user change a trigger in its settings, while the dialog is open.
    if (m_portalKeys) connect(m_portalKeys, &GlobalShortcuts::changed, &dialog, &TKeys1::DesktopBindingsChanged);
    dialog.exec();
}

void TTray1::bindDesktopShortcuts()
{
    QList<kaptivus::platform::portal::Shortcut> shortcuts;
    for (int i = 0; i < kaptivus::dialogs::HotkeyCount; ++i) {
        const std::string trigger = kaptivus::platform::portal::portalTrigger(HotkeyKeys[i], HotkeyModifiers[i]);
        shortcuts.push_back({ shortcutId(101 + i), actionCaption(i), QString::fromStdString(trigger) });
    }
    m_portalKeys->bind(shortcuts);
}

// Through the same gate as a key grabbed on X11.
void TTray1::desktopShortcutActivated(const QString& shortcut)
{
    if (const int id = actionOfShortcut(shortcut)) HotkeyPressed(id);
}

// No message box: the tip under the icon (or over the small window) names the
// actions whose key another program holds or this keyboard lacks.
void TTray1::ShowHotkeyRefusals()
{
    QStringList refused;
    for (int i = 0; i < kaptivus::dialogs::HotkeyCount; ++i) {
        const auto status = HotkeyStatusOf(i);
        if (status == HotkeyStatus::HeldElsewhere || status == HotkeyStatus::NotOnKeyboard)
            refused << QString::fromUtf8(kaptivus::dialogs::HotkeyActions[i].caption).trimmed();
    }
    const QString notice
        = refused.isEmpty() ? QString() : QStringLiteral("Raccourcis non disponibles :\n") + refused.join(u'\n');
    if (!TrayIcon1) return;
    TrayIcon1->setNotice(notice);
    if (Image1) Image1->setToolTip(TrayIcon1->shownTip());
}
