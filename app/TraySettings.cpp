// LoadSettings and SaveSettings: the settings record between the registry key
// and the controls and variables it feeds. Reading and writing orders are fixed;
// a value missing or of the wrong type ends the read, and everything is written
// back so an incomplete key becomes complete, after the file as it was has been
// copied aside.
#include "app/Tray.h"

#include "app/TrayIcon.h"
#include "config/RegistryStore.h"
#include "dialogs/SystemInfo.h"
#include "picture/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>

#include <filesystem>
#include <functional>
#include <stdexcept>

using kaptivus::config::RegistryKey;

namespace {

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }
QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Reads values in order; the first failure makes every later read fail too.
class SettingsReader {
public:
    explicit SettingsReader(const RegistryKey& key) : m_key(key) {}
    bool ok() const { return m_ok; }

    void integer(const std::string& name, const std::function<void(int)>& apply)
    {
        if (!m_ok) return;
        const auto v = m_key.readInteger(name);
        if (!v) {
            m_ok = false;
            return;
        }
        apply(*v);
    }
    void boolean(const std::string& name, const std::function<void(bool)>& apply)
    {
        integer(name, [&](int v) { apply(v != 0); });
    }
    void text(const std::string& name, const std::function<void(const QString&)>& apply)
    {
        if (!m_ok) return;
        const auto v = m_key.readText(name);
        if (!v) {
            m_ok = false;
            return;
        }
        apply(fromUtf8(*v));
    }

private:
    const RegistryKey& m_key;
    bool m_ok = true;
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


// The radio rule of the menus: checking one item unchecks its siblings.
void checkRadio(QAction* item, bool on, const std::vector<QAction*>& group)
{
    item->setChecked(on);
    if (!on) return;
    for (QAction* other : group)
        if (other != item) other->setChecked(false);
}

void checkMatching(int value, const std::vector<std::pair<int, QAction*>>& items)
{
    std::vector<QAction*> group;
    for (const auto& [v, a] : items) group.push_back(a);
    for (const auto& [v, a] : items)
        if (v == value) checkRadio(a, true, group);
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
    r.integer("PosX", [&](int v) { m.move(v, m.y()); });
    r.integer("PosY", [&](int v) { m.move(m.x(), v); });
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
    r.integer("CaptureDelay", [&](int v) { t.CaptureDelay = v; });
    r.integer("TimerDelay", [&](int v) { t.TimerDelay = v; });
    r.text("LoadFolder", [&](const QString& v) { m.OpenPictureDialog1.InitialDir = v; });
    r.text("SaveFolder", [&](const QString& v) { m.SavePictureDialog1.InitialDir = v; });
    r.text("AutoFolder", [&](const QString& v) { t.AutoFolder = v; });
    r.text("Footer", [&](const QString& v) { t.Footer = v.left(80); });
    r.text("DefaultFile", [&](const QString& v) { t.DefaultFile = v.left(127); });
    r.text("Editor", [&](const QString& v) { t.Editor = v; });
    r.text("DefaultExt", [&](const QString& v) { t.DefaultExt = v; });
    r.integer("CustomW", [&](int v) { t.CustomW = v; });
    r.integer("CustomH", [&](int v) { t.CustomH = v; });
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
        r.boolean("Monitor_" + std::to_string(i), [&](bool v) { checkRadio(monitors[i], v, monitors); });
    // A monitor that is gone (unplugged since) gives way to the whole desktop.
    for (int i = 0; i < 5 && r.ok(); ++i)
        if (monitors[i]->isChecked() && !t.SetDesktopRect(i - 1)) {
            checkRadio(m.Monitor0, true, monitors);
            t.SetDesktopRect(-1);
        }
    r.boolean("AutoSave", [&](bool v) { t.StopTimer1->setChecked(v); });
    r.text("Printer", [&](const QString& v) { t.Printer = v; });
    if (!r.ok()) return;
    checkMatching(t.CaptureDelay, {{1000, m.NSeconds2}, {2000, m.NSeconds3}, {3000, m.NSeconds4},
                                   {4000, m.NSeconds5}, {5000, m.NSeconds6}, {10000, m.NSeconds7}});
    checkMatching(t.TimerDelay, {{10, m.ADelay1}, {20, m.ADelay2}, {30, m.ADelay3}, {60, m.ADelay4},
                                 {300, m.ADelay5}, {600, m.ADelay6}, {1800, m.ADelay7}});
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

// Said once, at start, when the record on disk could not be read whole.
QString unreadSettingsNotice(const kaptivus::config::KeptCopy& kept, const std::filesystem::path& file)
{
    if (kept.ok())
        return QStringLiteral("Some settings could not be read; they are reset. The old file is kept as %1")
            .arg(QString::fromStdString(kept.path.string()));
    return QStringLiteral("Some settings could not be read; they are reset for now. %1 is left as it was.")
        .arg(QString::fromStdString(file.string()));
}

constexpr int kNoticeSeconds = 6;

} // namespace

void TTray1::LoadSettings()
{
    TMain1& m = *Main1;
    const QString temp = m.SystemInfo1->TempDirectory();
    AutoFolder = temp;
    m.OpenPictureDialog1.InitialDir = temp;
    m.SavePictureDialog1.InitialDir = temp;

    kaptivus::config::RegistryStore store;
    // The record on disk was not read whole: the user is told, and it is written
    // back only when the file as it was has been copied aside.
    const auto writeBackOnceKept = [&](const kaptivus::config::KeptCopy& kept) {
        ShowInfo(unreadSettingsNotice(kept, store.path()), kNoticeSeconds);
        m_keepSettingsFile = !kept.ok();
        if (kept.ok()) SaveSettings();
    };
    const kaptivus::config::OpenResult opened = store.open();
    if (!opened.ok()) {
        // The store has already copied an unreadable file aside, or has left it alone.
        writeBackOnceKept({opened.keptAs, opened.setAside ? std::string() : opened.message});
        return;
    }
    auto key = store.openKey(kaptivus::config::kSettingsKey);
    if (!key) {
        SaveSettings();
        return;
    }
    SettingsReader r(*key);
    readHotkeys(*this, r);
    readPictureOptions(m, r);
    readAgentOptions(*this, m, r);
    readPrinterOptions(m, r);
    readMonitorsAndHistory(*this, m, r);
    // What was read stays applied; the rest keeps its defaults, and the whole
    // record is written back, which completes the key.
    if (!r.ok()) writeBackOnceKept(store.keepCopy());
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
    w.integer("PosX", m.x());
    w.integer("PosY", m.y());
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
    kaptivus::config::RegistryStore store;
    const kaptivus::config::OpenResult opened = store.open();
    if (m_keepSettingsFile) {
        // The file read only in part at start has no copy yet (the user was told):
        // it is replaced only once one can be made.
        if (opened.ok() ? !store.keepCopy().ok() : !opened.setAside) return;
        m_keepSettingsFile = false;
    }
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
    if (!error.isEmpty()) QMessageBox::critical(nullptr, QStringLiteral("Erreur"), error);
}
