// The hotkey settings dialog Keys1: one row a capture action, its key and its
// modifiers, edited straight in the agent's tables through KeysLink. It never
// sees the agent itself.
#pragma once

#include "dialogs/HotkeyLists.h"

#include <QDialog>
#include <QStringList>

#include <array>
#include <utility>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// What a registration made of an action's combination.
enum class HotkeyRefusal { None, HeldElsewhere, NotOnKeyboard };

// The dialog's view of the agent.
class KeysLink {
public:
    virtual ~KeysLink() = default;
    virtual kaptivus::dialogs::HotkeyTable& HotkeyKeys() = 0;
    virtual kaptivus::dialogs::HotkeyTable& HotkeyModifiers() = 0;
    virtual kaptivus::dialogs::HotkeyTable& HotkeyKeyIndex() = 0;
    virtual kaptivus::dialogs::HotkeyTable& HotkeyModifierIndex() = 0;
    virtual void ResetHotkeyDefaults() = 0;
    virtual void SaveSettings() = 0;
    virtual void RegisterHotkeys() = 0;
    // How the last registration went for the action (index = id - 101).
    virtual HotkeyRefusal RefusalOf(int index) const = 0;
    // Where the desktop owns the key bindings (Wayland): one line saying how
    // to add them, and the lines to add for the tables as they stand. An
    // empty intro where the program takes its keys itself.
    struct DesktopBindings {
        QString intro;
        QStringList lines;
    };
    virtual DesktopBindings DesktopBindingsFor() const { return {}; }
};

class TKeys1 : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* WarningName = "KeysWarning";
    static constexpr const char* HeldElsewhereHint = "Raccourci déjà utilisé par une autre application";
    static constexpr const char* NotOnKeyboardHint = "Touche absente de ce clavier";

    explicit TKeys1(KeysLink& agent, QWidget* parent = nullptr);

    // Row controls by action index (StaticText1..9, 11..13; ComboBox3..11, 21..23; ComboBox12..20, 24..26).
    std::array<QLabel*, kaptivus::dialogs::HotkeyCount> RowLabels {};
    std::array<QComboBox*, kaptivus::dialogs::HotkeyCount> KeyLists {};
    std::array<QComboBox*, kaptivus::dialogs::HotkeyCount> ModifierLists {};
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* StaticText10 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    // Only where the desktop owns the key bindings: how to add them, and the
    // lines to copy (read-only, selectable).
    QLabel* DesktopKeysLabel = nullptr;
    QPlainTextEdit* DesktopKeysText = nullptr;

    // Whether the row shows that its combination could not be taken.
    bool isRowMarked(int index) const;

public slots:
    void FormPaint();
    void BitBtn1Click();
    void BitBtn2Click();
    void KeyChosen(int index, int position);
    void ModifierChosen(int index, int position);
    // The desktop's bindings changed (the desktop answered, or the user
    // changed them in its settings): shown again.
    void DesktopBindingsChanged() { showDesktopBindings(); }
    // Every way of closing ends here: Esc, the close box and "OK".
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildRows();
    void buildRow(int index, int top);
    void buildOthers();
    void buildDesktopBindings();
    void showDesktopBindings();
    bool FormCloseQuery();
    void showWarning(const QString& text);
    void markRow(int index, bool marked);

    KeysLink& m_agent;
    // The combinations the last registration refused, as they were then; a row
    // stays marked while it still holds that combination.
    std::array<HotkeyRefusal, kaptivus::dialogs::HotkeyCount> m_refusal {};
    std::array<std::pair<int32_t, int32_t>, kaptivus::dialogs::HotkeyCount> m_refused {};
};

// Creates the dialog, shows it modally and releases it.
void ShowKeysDialog(KeysLink& agent, QWidget* parent);
