// System-wide hotkeys: passive key grabs on the root window through a private
// X connection, reported back as the id they were registered with. Headers
// expose no X types.
#pragma once

#include <QObject>
#include <memory>

namespace kaptivus::platform {

// What became of a registration.
enum class HotkeyStatus {
    Unregistered,  // never asked for, or key 0
    Grabbed,
    HeldElsewhere, // another client (or another id) holds the combination
    NotOnKeyboard, // no key of this keyboard carries the key, or the code is unknown
};

class HotkeyService : public QObject {
    Q_OBJECT
public:
    explicit HotkeyService(QObject* parent = nullptr);
    ~HotkeyService() override;

    // False when there is no X display to talk to; every registration then fails.
    bool isConnected() const;

    // Grabs the key of a Windows virtual-key code with modifier flags (Alt 1,
    // Ctrl 2, Shift 4) and reports presses as hotkeyPressed(id). Registering an
    // id again replaces its previous key. Key 0 registers nothing and is not an
    // error (true). False when the key is unknown, has no key on this keyboard,
    // or another client (or another id) already holds the combination; nothing
    // stays grabbed then.
    bool registerHotkey(int id, int virtualKey, int modifiers);
    void unregisterHotkey(int id);
    void unregisterAll();
    // A refused registration is remembered and tried again after a keyboard
    // mapping change, until the id is unregistered.
    HotkeyStatus status(int id) const;

signals:
    void hotkeyPressed(int id);
    // Some status changed after the keyboard mapping changed and the keys were grabbed again.
    void statusChanged();

private:
    void readEvents();

    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace kaptivus::platform
