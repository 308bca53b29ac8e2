// System-wide shortcuts through the desktop's GlobalShortcuts portal, for
// desktops (Wayland ones) where a program may not grab keys itself: one
// session on the D-Bus session bus, the agent's shortcuts bound to it, and the
// desktop's Activated signals reported back by shortcut id. Every call is
// asynchronous and has a deadline; nothing here waits on the GUI thread.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <string>

namespace kaptivus::platform::portal {

// A shortcut as the program asks for it (its stable id, a description the
// desktop shows in its settings, the preferred trigger in the xdg shortcut
// notation, possibly empty), or as the desktop answers (the trigger it
// actually assigned, in its own words, empty when none).
struct Shortcut {
    QString id;
    QString description;
    QString trigger;
    bool operator==(const Shortcut&) const = default;
};

// "CTRL+ALT+SHIFT+LOGO+Print": a virtual-key code and the modifier flags of the
// hotkey tables (Alt 1, Ctrl 2, Shift 4, the Windows key 8) in the trigger
// notation the desktop portals use; "" when the key is 0 or has no name.
std::string portalTrigger(int virtualKey, int modifiers);

// The object path where the portal publishes a request made with handle_token
// `token` by the connection whose unique name is `uniqueName` (":1.42" -> "1_42").
QString requestPath(const QString& uniqueName, const QString& token);

// Whether the desktop's list `held` has every id of `wanted`, whatever its triggers.
bool holdsEvery(const QList<Shortcut>& held, const QList<Shortcut>& wanted);

class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    enum class State {
        Probing,     // asking the portal whether it offers the interface
        Unavailable, // no session bus, no portal, or no GlobalShortcuts on it
        Idle,        // offered; no session (never bound, or unbound)
        Binding,     // a session or a binding is being asked for
        Bound,       // the desktop answered the last binding
        Failed,      // the desktop refused or did not answer in time
    };

    // Uses the session bus; asks at once whether the interface is offered.
    // `appId`, when not empty, is registered first with the host registry where
    // the portal offers one, so that the desktop knows the program by it.
    explicit GlobalShortcuts(const QString& appId, QObject* parent = nullptr);
    ~GlobalShortcuts() override;

    State state() const;
    bool isOffered() const { return state() != State::Probing && state() != State::Unavailable; }
    // Whether the desktop knows the program by its application id.
    bool isRegistered() const;
    // The portal's answer, for troubleshooting; empty when none went wrong.
    QString error() const;

    // Binds `shortcuts` as the whole set, creating the session on first use;
    // a newer call while one is under way replaces what is bound next. The
    // desktop is asked to bind only what it does not hold yet, or a set that
    // differs from the one it was last told: otherwise its own list is taken.
    void bind(const QList<Shortcut>& shortcuts);
    // Closes the session: the desktop no longer delivers the shortcuts.
    void unbind();
    // The shortcuts the desktop reported for the session (empty when unbound).
    QList<Shortcut> assigned() const;

signals:
    void activated(const QString& id);
    // state(), assigned() or isOffered() changed.
    void changed();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
    friend struct Impl;
};

} // namespace kaptivus::platform::portal
