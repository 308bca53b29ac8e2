// The agent's side of the hotkey dialog and the quiet signs of a combination
// that could not be taken.
#include "app/Tray.h"

#include "app/TrayIcon.h"
#include "dialogs/HotkeyLists.h"
#include "dialogs/Keys.h"
#include "platform/CaptureBackend.h"
#include "platform/Hotkeys.h"
#include "platform/wayland/SwayBindings.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStringList>

#include <cstdlib>

using kaptivus::platform::HotkeyStatus;

namespace {

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
        return TTray1::DesktopOwnsKeys() ? bindings() : DesktopBindings {};
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
    if (!m_hotkeys || index < 0 || index >= kaptivus::dialogs::HotkeyCount) return HotkeyStatus::Unregistered;
    return m_hotkeys->status(101 + index);
}

void TTray1::DefineHotkeys(QWidget* parent)
{
    TrayKeysLink link(*this);
    ShowKeysDialog(link, parent);
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
