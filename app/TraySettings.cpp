// LoadSettings and SaveSettings: the settings record between the registry key
// and the controls and variables it feeds. Reading and writing orders are fixed.
// A value that cannot be read (its line undecodable, missing, of the wrong type)
// keeps its default and costs nothing else; the user is told which, and the
// record is written back whole once the file as it was has been copied aside.
// Stored delays and sizes are bounded to what the menus and the selector offer.
#include "app/Tray.h"

#include "app/TrayIcon.h"
#include "config/RegistryStore.h"
#include "dialogs/MenuItems.h"
#include "dialogs/SystemInfo.h"
#include "picture/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>

using kaptivus::config::RegistryKey;

namespace {

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }
QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// What the delay menus offer, in their order; a stored delay is bounded to their range.
constexpr int kCaptureDelays[] = {1000, 2000, 3000, 4000, 5000, 10000}; // milliseconds
constexpr int kTimerDelays[] = {10, 20, 30, 60, 300, 600, 1800};        // seconds
// The area selector's own sizes start at 16; a window side cannot exceed 32767.
constexpr int kMinCustomSide = 16;
constexpr int kMaxCustomSide = 32767;

// Reads values in order; one that cannot be read keeps its default, is noted,
// and the reading goes on.
class SettingsReader {
public:
    SettingsReader(const RegistryKey& key, bool takePrograms)
        : m_key(key)
        , m_takePrograms(takePrograms)
    {
    }
    // The values that kept their defaults, in reading order.
    const std::vector<std::string>& reset() const { return m_reset; }

    void integer(const std::string& name, const std::function<void(int)>& apply)
    {
        if (const auto v = m_key.readInteger(name)) apply(*v);
        else m_reset.push_back(name);
    }
    void bounded(const std::string& name, int low, int high, const std::function<void(int)>& apply)
    {
        integer(name, [&](int v) { apply(std::clamp(v, low, high)); });
    }
    void boolean(const std::string& name, const std::function<void(bool)>& apply)
    {
        integer(name, [&](int v) { apply(v != 0); });
    }
    void text(const std::string& name, const std::function<void(const QString&)>& apply)
    {
        if (const auto v = m_key.readText(name)) apply(fromUtf8(*v));
        else m_reset.push_back(name);
    }
    // A program the agent would run: taken only from a file nobody else could write.
    void program(const std::string& name, const std::function<void(const QString&)>& apply)
    {
        if (m_takePrograms) text(name, apply);
    }

private:
    const RegistryKey& m_key;
    const bool m_takePrograms;
    std::vector<std::string> m_reset;
};

struct WriteFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes values in order; a refused write stops the record with the value's name.
class SettingsWriter {
public:
    explicit SettingsWriter(RegistryKey& key) : m_key(key) {}
    void integer(const std::string& name, int v) { check(name, m_key.writeInteger(name, v)); }
    void boolean(const std::string& name, bool v) { check(name, m_key.writeBool(name, v)); }
    void text(const std::string& name, const QString& v) { check(name, m_key.writeText(name, utf8(v))); }

private:
    void check(const std::string& name, const kaptivus::config::Status& status)
    {
        if (!status.ok())
            throw WriteFailed(QStringLiteral("Réglage des données pour '%1' échoué").arg(fromUtf8(name)).toStdString());
    }
    RegistryKey& m_key;
};


// Checks the radio item of the menu whose value is `value`; any other value changes no mark.
template <size_t N>
void checkMatching(int value, const int (&values)[N], const std::vector<QAction*>& items)
{
    for (size_t i = 0; i < N && i < items.size(); ++i)
        if (values[i] == value) CheckRadioItem(items[i], true, items);
}


void readHotkeys(TTray1& t, SettingsReader& r)
{
    for (int i = 0; i < 12; ++i) {
        const std::string n = std::to_string(i);
        r.integer("HotKey" + n, [&](int v) { t.HotkeyKeys[i] = v; });
        r.integer("Modifier" + n, [&](int v) { t.HotkeyModifiers[i] = v; });
        r.integer("IndexH" + n, [&](int v) { t.HotkeyKeyIndex[i] = v; });
        r.integer("IndexM" + n, [&](int v) { t.HotkeyModifierIndex[i] = v; });
    }
}

// From "Resize" to "Rotation": the picture options and the window's place.
void readPictureOptions(TMain1& m, SettingsReader& r)
{
    auto bar = [&](const char* name, QScrollBar* b) { r.integer(name, [b](int v) { b->setValue(v); }); };
    auto box = [&](const char* name, QCheckBox* c) { r.boolean(name, [c](bool v) { c->setChecked(v); }); };
    bar("Resize", m.ScrollBar8);
    r.integer("PosX", [&](int v) { m.setStoredPosition({v, m.positionToStore().y()}); });
    r.integer("PosY", [&](int v) { m.setStoredPosition({m.positionToStore().x(), v}); });
    r.integer("Width", [&](int v) { m.resize(v, m.height()); });
    r.integer("Height", [&](int v) { m.resize(m.width(), v); });
    r.integer("Copies", [&](int v) { m.UpDown6->setValue(v); });
    r.integer("Color1", [&](int v) { m.Panel2->setColor(static_cast<uint32_t>(v)); });
    r.integer("Color2", [&](int v) { m.Panel3->setColor(static_cast<uint32_t>(v)); });
    r.integer("Color3", [&](int v) { m.Panel4->setColor(static_cast<uint32_t>(v)); });
    r.boolean("Sound", [&](bool v) { m.Sound1->setChecked(v); });
    box("Grayed", m.CheckBox1);
    box("Inversed", m.CheckBox2);
    box("Swap", m.CheckBox3);
    box("Substitute", m.CheckBox14);
    box("Vertically", m.CheckBox4);
    box("Horizontally", m.CheckBox15);
    box("Emboss", m.CheckBox10);
    box("Sharpen", m.CheckBox11);
    bar("Brightness", m.ScrollBar1);
    bar("Contrast", m.ScrollBar2);
    bar("Saturate", m.ScrollBar3);
    bar("Red", m.ScrollBar6);
    bar("Green", m.ScrollBar7);
    bar("Blue", m.ScrollBar5);
    bar("Frame", m.ScrollBar4);
    bar("Rotation", m.ScrollBar9);
}

// From "Client" to "Tray": capture options, folders, names of the numbered saves.
void readAgentOptions(TTray1& t, TMain1& m, SettingsReader& r)
{
    r.boolean("Client", [&](bool v) { m.ClientAreaonly1->setChecked(v); });
    r.boolean("ClipBoard", [&](bool v) { m.AutocopytoClipboard1->setChecked(v); });
    r.boolean("Direct", [&](bool v) { m.DirectPrintNoDialog1->setChecked(v); });
    r.boolean("Transparent", [&](bool v) { t.Transparent = v; });
    r.bounded("CaptureDelay", kCaptureDelays[0], std::end(kCaptureDelays)[-1], [&](int v) { t.CaptureDelay = v; });
    r.bounded("TimerDelay", kTimerDelays[0], std::end(kTimerDelays)[-1], [&](int v) { t.TimerDelay = v; });
    r.text("LoadFolder", [&](const QString& v) { m.OpenPictureDialog1.InitialDir = v; });
    r.text("SaveFolder", [&](const QString& v) { m.SavePictureDialog1.InitialDir = v; });
    r.text("AutoFolder", [&](const QString& v) { t.AutoFolder = v; });
    r.text("Footer", [&](const QString& v) { t.Footer = v.left(80); });
    r.text("DefaultFile", [&](const QString& v) { t.DefaultFile = v.left(127); });
    r.program("Editor", [&](const QString& v) { t.Editor = v; });
    r.text("DefaultExt", [&](const QString& v) { t.DefaultExt = v; });
    r.bounded("CustomW", kMinCustomSide, kMaxCustomSide, [&](int v) { t.CustomW = v; });
    r.bounded("CustomH", kMinCustomSide, kMaxCustomSide, [&](int v) { t.CustomH = v; });
    r.boolean("Tray", [&](bool v) { m.HideIcononSystemTray1->setChecked(v); });
}

// From "Colors" to "ClosePrint": colour depth, pointer and the printer page.
void readPrinterOptions(TMain1& m, SettingsReader& r)
{
    auto box = [&](const char* name, QCheckBox* c) { r.boolean(name, [c](bool v) { c->setChecked(v); }); };
    auto radio = [&](const char* name, QRadioButton* b) {
        r.boolean(name, [b](bool v) {
            // Radio buttons of one group: a stored false must not leave the group with none.
            if (v) b->setChecked(true);
            else if (b->isChecked()) {
                b->setAutoExclusive(false);
                b->setChecked(false);
                b->setAutoExclusive(true);
            }
        });
    };
    r.integer("Colors", [&](int v) {
        if (v >= 0 && v < m.ComboBox1->count()) m.ComboBox1->setCurrentIndex(v);
    });
    r.boolean("Cursor", [&](bool v) { m.IncludeCursor1->setChecked(v); });
    r.integer("Aligment", [&](int v) {
        if (v >= 0 && v < m.ComboBox3->count()) m.ComboBox3->setCurrentIndex(v);
    });
    box("Proportion", m.CheckBox6);
    radio("PercentPic", m.RadioButton8);
    radio("PercentPage", m.RadioButton6);
    r.integer("PercentP", [&](int v) { m.UpDown5->setValue(v); });
    r.integer("PercentI", [&](int v) { m.UpDown1->setValue(v); });
    radio("Portrait", m.RadioButton1);
    radio("Landscape", m.RadioButton2);
    radio("Cpi12", m.RadioButton3);
    radio("Cpi10", m.RadioButton4);
    radio("Cpi8", m.RadioButton5);
    box("FDateTime", m.CheckBox7);
    box("FUserInfo", m.CheckBox8);
    box("FText", m.CheckBox9);
    r.boolean("ClosePrint", [&](bool v) { m.Closeafterprinting1->setChecked(v); });
}

// The monitors (each checked item applied in turn), the timer, the printer,
// the delay menus and the history.
void readMonitorsAndHistory(TTray1& t, TMain1& m, SettingsReader& r)
{
    const std::vector<QAction*> monitors{m.Monitor0, m.Monitor1, m.Monitor2, m.Monitor3, m.Monitor4};
    for (int i = 0; i < 5; ++i)
        r.boolean("Monitor_" + std::to_string(i), [&](bool v) { CheckRadioItem(monitors[i], v, monitors); });
    // A monitor that is gone (unplugged since) gives way to the whole desktop.
    for (int i = 0; i < 5; ++i)
        if (monitors[i]->isChecked() && !t.SetDesktopRect(i - 1)) {
            CheckRadioItem(m.Monitor0, true, monitors);
            t.SetDesktopRect(-1);
        }
    r.boolean("AutoSave", [&](bool v) { t.StopTimer1->setChecked(v); });
    r.text("Printer", [&](const QString& v) { t.Printer = v; });
    checkMatching(t.CaptureDelay, kCaptureDelays,
                  {m.NSeconds2, m.NSeconds3, m.NSeconds4, m.NSeconds5, m.NSeconds6, m.NSeconds7});
    checkMatching(t.TimerDelay, kTimerDelays,
                  {m.ADelay1, m.ADelay2, m.ADelay3, m.ADelay4, m.ADelay5, m.ADelay6, m.ADelay7});
    int count = 0;
    for (int k = 1; k <= 13; ++k) {
        r.text("Hist" + std::to_string(k), [&](const QString& v) {
            QAction* item = m.history[static_cast<size_t>(k - 1)];
            item->setText(v);
            if (!v.isEmpty()) {
                item->setVisible(true);
                ++count;
            }
        });
    }
    t.HistoryCount = count;
    if (count > 0) {
        m.N9->setVisible(true);
        m.ClearHistory1->setVisible(true);
    }
}

QString quotedNames(const std::vector<std::string>& names)
{
    // Enough to recognise them; a file damaged throughout is not listed in full.
    constexpr size_t kListed = 12;
    QStringList quoted;
    for (size_t i = 0; i < names.size() && i < kListed; ++i)
        quoted << QLatin1Char('"') + fromUtf8(names[i]) + QLatin1Char('"');
    QString list = quoted.join(QStringLiteral(", "));
    if (names.size() > kListed) list += QStringLiteral(" and %1 more").arg(names.size() - kListed);
    return list;
}

// The lines that could not be read other than those of the values named already.
size_t otherUnreadLines(const kaptivus::config::OpenResult& opened, const std::vector<std::string>& reset)
{
    const auto named = std::count_if(opened.unread.begin(), opened.unread.end(), [&](const auto& line) {
        return line.value && std::any_of(reset.begin(), reset.end(), [&](const std::string& name) {
            return QString::compare(fromUtf8(name), fromUtf8(*line.value), Qt::CaseInsensitive) == 0;
        });
    });
    return opened.unreadCount - static_cast<size_t>(named);
}

// Said once, at start, when the record on disk could not be read whole.
QString unreadSettingsNotice(const std::vector<std::string>& reset, size_t otherLines,
                             const kaptivus::config::KeptCopy& kept, const std::filesystem::path& file)
{
    QString text;
    if (!reset.empty())
        text = QStringLiteral("These settings could not be read and are reset to their defaults: %1.")
                   .arg(quotedNames(reset));
    if (otherLines > 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(" "))
            + QStringLiteral("%1 other line(s) of the settings file could not be read.").arg(otherLines);
    if (text.isEmpty()) text = QStringLiteral("Some settings could not be read; they are reset.");
    if (kept.ok())
        return text + QStringLiteral(" The old file is kept as %1").arg(QString::fromStdString(kept.path.string()));
    return text + QStringLiteral(" %1 is left as it was.").arg(QString::fromStdString(file.string()));
}

QString untrustedNotice(const std::string& why)
{
    return QStringLiteral("The settings file could have been changed by another user (%1): the editor it names is "
                          "not used.")
        .arg(fromUtf8(why));
}

constexpr int kNoticeSeconds = 6;

void readRecord(TTray1& t, TMain1& m, SettingsReader& r)
{
    readHotkeys(t, r);
    readPictureOptions(m, r);
    readAgentOptions(t, m, r);
    readPrinterOptions(m, r);
    readMonitorsAndHistory(t, m, r);
}

} // namespace

void TTray1::LoadSettings()
{
    TMain1& m = *Main1;
    const QString temp = m.SystemInfo1->TempDirectory();
    AutoFolder = temp;
    m.OpenPictureDialog1.InitialDir = temp;
    m.SavePictureDialog1.InitialDir = temp;

    kaptivus::config::RegistryStore store;
    const kaptivus::config::OpenResult opened = store.open();
    QStringList notices;
    if (!opened.untrusted.empty()) notices << untrustedNotice(opened.untrusted);
    // Unreadable as a whole: the store has already copied it aside, or has left it alone.
    bool partial = !opened.ok();
    kaptivus::config::KeptCopy kept{opened.keptAs, opened.setAside ? std::string() : opened.message};
    std::vector<std::string> reset;
    auto key = opened.ok() ? store.openKey(kaptivus::config::kSettingsKey) : std::nullopt;
    if (key) {
        SettingsReader r(*key, opened.untrusted.empty());
        readRecord(*this, m, r);
        reset = r.reset();
    }
    if (opened.ok() && (!reset.empty() || opened.unreadCount > 0)) {
        partial = true;
        kept = store.keepCopy();
    }
    // What was read stays applied, the rest keeps its defaults, and the whole
    // record is written back (completing the key) once the file as it was is kept.
    if (partial) {
        notices << unreadSettingsNotice(reset, otherUnreadLines(opened, reset), kept, store.path());
        m_keepSettingsFile = !kept.ok();
    }
    if (!notices.isEmpty()) ShowInfo(notices.join(QStringLiteral("\r\r")), kNoticeSeconds);
    if (partial ? kept.ok() : !key) writeSettings(store);
}

namespace {

void writeRecord(TTray1& t, TMain1& m, SettingsWriter& w)
{
    for (int i = 0; i < 12; ++i) {
        const std::string n = std::to_string(i);
        w.integer("HotKey" + n, t.HotkeyKeys[i]);
        w.integer("Modifier" + n, t.HotkeyModifiers[i]);
        w.integer("IndexH" + n, t.HotkeyKeyIndex[i]);
        w.integer("IndexM" + n, t.HotkeyModifierIndex[i]);
    }
    w.integer("Copies", m.UpDown6->value());
    w.integer("Resize", m.ScrollBar8->value());
    w.integer("Rotation", m.ScrollBar9->value());
    const QPoint place = m.positionToStore();
    w.integer("PosX", place.x());
    w.integer("PosY", place.y());
    w.integer("Width", m.width());
    w.integer("Height", m.height());
    w.integer("CaptureDelay", t.CaptureDelay);
    w.integer("TimerDelay", t.TimerDelay);
    for (int k = 1; k <= 13; ++k) w.text("Hist" + std::to_string(k), m.history[static_cast<size_t>(k - 1)]->text());
    w.integer("CustomW", t.CustomW);
    w.integer("CustomH", t.CustomH);
    w.integer("Color1", static_cast<int>(m.Panel2->color()));
    w.integer("Color2", static_cast<int>(m.Panel3->color()));
    w.integer("Color3", static_cast<int>(m.Panel4->color()));
    w.integer("Colors", m.ComboBox1->currentIndex());
    w.integer("PercentP", m.UpDown5->value());
    w.integer("PercentI", m.UpDown1->value());
    w.boolean("PercentPic", m.RadioButton8->isChecked());
    w.boolean("PercentPage", m.RadioButton6->isChecked());
    w.boolean("Transparent", t.Transparent);
    w.boolean("Sound", m.Sound1->isChecked());
    w.boolean("Client", m.ClientAreaonly1->isChecked());
    w.boolean("ClipBoard", m.AutocopytoClipboard1->isChecked());
    w.boolean("Tray", m.HideIcononSystemTray1->isChecked());
    w.boolean("Cursor", m.IncludeCursor1->isChecked());
    w.integer("Aligment", m.ComboBox3->currentIndex());
    w.boolean("Proportion", m.CheckBox6->isChecked());
    w.boolean("Portrait", m.RadioButton1->isChecked());
    w.boolean("Landscape", m.RadioButton2->isChecked());
    w.boolean("Cpi12", m.RadioButton3->isChecked());
    w.boolean("Cpi10", m.RadioButton4->isChecked());
    w.boolean("Cpi8", m.RadioButton5->isChecked());
    w.boolean("FDateTime", m.CheckBox7->isChecked());
    w.boolean("FUserInfo", m.CheckBox8->isChecked());
    w.boolean("FText", m.CheckBox9->isChecked());
    w.boolean("ClosePrint", m.Closeafterprinting1->isChecked());
    w.boolean("AutoSave", t.StopTimer1->isChecked());
    w.boolean("Direct", m.DirectPrintNoDialog1->isChecked());
    const QAction* monitors[] = {m.Monitor0, m.Monitor1, m.Monitor2, m.Monitor3, m.Monitor4};
    for (int i = 0; i < 5; ++i) w.boolean("Monitor_" + std::to_string(i), monitors[i]->isChecked());
    w.text("LoadFolder", m.OpenPictureDialog1.InitialDir);
    w.text("SaveFolder", m.SavePictureDialog1.InitialDir);
    w.text("AutoFolder", t.AutoFolder);
    w.text("Printer", t.Printer);
    w.text("Footer", t.Footer);
    w.text("DefaultFile", t.DefaultFile);
    w.text("Editor", t.Editor);
    w.text("DefaultExt", t.DefaultExt);
    w.boolean("Grayed", m.CheckBox1->isChecked());
    w.boolean("Vertically", m.CheckBox4->isChecked());
    w.boolean("Horizontally", m.CheckBox15->isChecked());
    w.boolean("Sharpen", m.CheckBox11->isChecked());
    w.boolean("Swap", m.CheckBox3->isChecked());
    w.boolean("Substitute", m.CheckBox14->isChecked());
    w.boolean("Inversed", m.CheckBox2->isChecked());
    w.boolean("Emboss", m.CheckBox10->isChecked());
    w.integer("Brightness", m.ScrollBar1->value());
    w.integer("Contrast", m.ScrollBar2->value());
    w.integer("Saturate", m.ScrollBar3->value());
    w.integer("Red", m.ScrollBar6->value());
    w.integer("Green", m.ScrollBar7->value());
    w.integer("Blue", m.ScrollBar5->value());
    w.integer("Frame", m.ScrollBar4->value());
}

} // namespace

void TTray1::SaveSettings()
{
    if (!Main1) return;
    ++m_settingsSaves;
    kaptivus::config::RegistryStore store;
    const kaptivus::config::OpenResult opened = store.open();
    if (m_keepSettingsFile) {
        // The file read only in part at start has no copy yet (the user was told):
        // it is replaced only once one can be made.
        if (opened.ok() ? !store.keepCopy().ok() : !opened.setAside) return;
        m_keepSettingsFile = false;
    }
    writeSettings(store);
}

void TTray1::writeSettings(kaptivus::config::RegistryStore& store)
{
    auto key = store.createKey(kaptivus::config::kSettingsKey);
    QString error;
    if (!key) {
        error = QStringLiteral("The settings key could not be created.");
    } else {
        try {
            SettingsWriter w(*key);
            writeRecord(*this, *Main1, w);
        } catch (const WriteFailed& e) {
            error = QString::fromStdString(e.what());
        }
        // Whatever was written before a refusal is still kept.
        if (const auto closed = key->close(); !closed.ok() && error.isEmpty())
            error = QStringLiteral("The settings could not be written: %1").arg(fromUtf8(closed.error));
    }
    if (error.isEmpty()) return;
    // Quitting on a signal, nobody may be there to answer a message box: the
    // session is ending, and it must not wait for a click.
    if (m_quittingBySignal) {
        std::cerr << "kaptivus2000: " << utf8(error) << std::endl;
        m_settingsUnwritten = true;
        return;
    }
    QMessageBox::critical(nullptr, QStringLiteral("Erreur"), error);
}
