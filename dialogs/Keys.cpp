#include "dialogs/Keys.h"

#include "dialogs/DesignFont.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

using namespace kaptivus::dialogs;

namespace {

constexpr int LabelNumbers[HotkeyCount] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13 };
constexpr int KeyListNumbers[HotkeyCount] = { 3, 4, 5, 6, 7, 8, 9, 10, 11, 21, 22, 23 };
constexpr int ModifierListNumbers[HotkeyCount] = { 12, 13, 14, 15, 16, 17, 18, 19, 20, 24, 25, 26 };

constexpr int RowTop = 26;
constexpr int RowStep = 21;
constexpr int GroupGap = 5;

QString named(const char* prefix, int number) { return QString::fromLatin1(prefix) + QString::number(number); }

QLabel* heading(QWidget* parent, const char* name, const char* text, int left, int width)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, 6, width, 16);
    QFont font = DesignFont(8);
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    return label;
}

QComboBox* dropDown(QWidget* parent, const QString& name, QRect geometry)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->setGeometry(geometry);
    return list;
}

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->geometry().center() - QPoint(window->width() / 2, window->height() / 2));
}

} // namespace

TKeys1::TKeys1(KeysLink& agent, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_agent(agent)
{
    setObjectName(QStringLiteral("Keys1"));
    setWindowTitle(QStringLiteral("Réglages des raccourcis clavier (Kaptivus 2000)"));
    setFixedSize(376, 342);
    buildRows();
    buildOthers();
    buildDesktopBindings();
    ApplyDesignFont(this);
    for (int i = 0; i < HotkeyCount; ++i) {
        m_refusal[i] = m_agent.RefusalOf(i);
        m_refused[i] = { m_agent.HotkeyKeyIndex()[i], m_agent.HotkeyModifierIndex()[i] };
    }
    FormPaint();
    centreOnScreen(this);
}

void TKeys1::buildRows()
{
    Label1 = heading(this, "Label1", "Fonction du raccourci clavier", 8, 184);
    Label2 = heading(this, "Label2", "Raccourci", 200, 82);
    Label3 = heading(this, "Label3", "Altération", 288, 80);
    for (int i = 0; i < HotkeyCount; ++i)
        buildRow(i, RowTop + (i / 3) * (3 * RowStep + GroupGap) + (i % 3) * RowStep);
}

void TKeys1::buildRow(int i, int top)
{
    auto* label = new QLabel(QString::fromUtf8(HotkeyActions[i].caption), this);
    label->setObjectName(named("StaticText", LabelNumbers[i]));
    label->setGeometry(8, top, 184, 19);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setCursor(Qt::PointingHandCursor);
    RowLabels[i] = label;
    markRow(i, false);

    // The design lists live in the first row's lists and are copied into the others.
    KeyLists[i] = dropDown(this, named("ComboBox", KeyListNumbers[i]), QRect(200, top, 82, 19));
    ModifierLists[i] = dropDown(this, named("ComboBox", ModifierListNumbers[i]), QRect(288, top, 80, 19));
    if (i == 0) {
        for (const auto& key : KeyList) KeyLists[0]->addItem(QString::fromUtf8(key.text));
        for (const auto& mod : ModifierList) ModifierLists[0]->addItem(QString::fromUtf8(mod.text));
    } else {
        for (int p = 0; p < KeyLists[0]->count(); ++p) KeyLists[i]->addItem(KeyLists[0]->itemText(p));
        for (int p = 0; p < ModifierLists[0]->count(); ++p) ModifierLists[i]->addItem(ModifierLists[0]->itemText(p));
    }
    // activated: only a choice the user made, never a selection set by the program.
    connect(KeyLists[i], &QComboBox::activated, this, [this, i](int p) { KeyChosen(i, p); });
    connect(ModifierLists[i], &QComboBox::activated, this, [this, i](int p) { ModifierChosen(i, p); });
}

void TKeys1::buildOthers()
{
    StaticText10 = new QLabel(QStringLiteral("Les touches ne marchent pas toutes !"), this);
    StaticText10->setObjectName(QStringLiteral("StaticText10"));
    StaticText10->setGeometry(8, 312, 184, 17);
    StaticText10->setToolTip(QStringLiteral("Quelques raccourcis clavier ne fonctionnent pas sous NT® ou Windows95/98®"));

    BitBtn2 = new QPushButton(QStringLiteral("&Défaut"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(200, 306, 82, 27);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TKeys1::BitBtn2Click);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(288, 306, 80, 27);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TKeys1::BitBtn1Click);
}

// Below the design's controls, so that the rows stay where the user knows them.
void TKeys1::buildDesktopBindings()
{
    const KeysLink::DesktopBindings bindings = m_agent.DesktopBindingsFor();
    if (bindings.intro.isEmpty()) return;
    setFixedSize(376, 342 + 132);
    DesktopKeysLabel = new QLabel(bindings.intro, this);
    DesktopKeysLabel->setObjectName(QStringLiteral("DesktopKeysLabel"));
    DesktopKeysLabel->setGeometry(8, 342, 360, 30);
    DesktopKeysLabel->setWordWrap(true);
    DesktopKeysText = new QPlainTextEdit(this);
    DesktopKeysText->setObjectName(QStringLiteral("DesktopKeysText"));
    DesktopKeysText->setGeometry(8, 374, 360, 92);
    DesktopKeysText->setReadOnly(true);
    DesktopKeysText->setLineWrapMode(QPlainTextEdit::NoWrap);
    DesktopKeysText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    showDesktopBindings();
}

// The lines follow every change of the tables.
void TKeys1::showDesktopBindings()
{
    if (!DesktopKeysText) return;
    const KeysLink::DesktopBindings bindings = m_agent.DesktopBindingsFor();
    if (!bindings.intro.isEmpty() && DesktopKeysLabel->text() != bindings.intro) DesktopKeysLabel->setText(bindings.intro);
    const QString text = bindings.lines.join(u'\n');
    if (DesktopKeysText->toPlainText() != text) DesktopKeysText->setPlainText(text);
}

void TKeys1::paintEvent(QPaintEvent* event)
{
    FormPaint();
    QDialog::paintEvent(event);
}

// The lists always show the tables, whatever changed them.
void TKeys1::FormPaint()
{
    for (int i = 0; i < HotkeyCount; ++i) {
        const int key = m_agent.HotkeyKeyIndex()[i];
        const int mod = m_agent.HotkeyModifierIndex()[i];
        // A stored position off the list shows as an empty choice.
        KeyLists[i]->setCurrentIndex(key >= 0 && key < KeyLists[i]->count() ? key : -1);
        ModifierLists[i]->setCurrentIndex(mod >= 0 && mod < ModifierLists[i]->count() ? mod : -1);
        markRow(i, isRowMarked(i));
    }
}

bool TKeys1::isRowMarked(int i) const
{
    return m_refusal[i] != HotkeyRefusal::None
        && m_refused[i] == std::pair(m_agent.HotkeyKeyIndex()[i], m_agent.HotkeyModifierIndex()[i]);
}

void TKeys1::markRow(int i, bool marked)
{
    QLabel* label = RowLabels[i];
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, marked ? QColor(Qt::red) : QColor(Qt::black));
    label->setPalette(palette);
    QString hint = QString::fromUtf8(HotkeyActions[i].hint);
    if (marked)
        hint = QString::fromUtf8(m_refusal[i] == HotkeyRefusal::HeldElsewhere ? HeldElsewhereHint : NotOnKeyboardHint);
    if (label->toolTip() != hint) label->setToolTip(hint);
}

void TKeys1::KeyChosen(int i, int p)
{
    if (i < 0 || i >= HotkeyCount || p < 0 || p >= static_cast<int>(KeyList.size())) return;
    m_agent.HotkeyKeyIndex()[i] = p;
    m_agent.HotkeyKeys()[i] = KeyList[p].virtualKey;
    showDesktopBindings();
    update();
}

void TKeys1::ModifierChosen(int i, int p)
{
    if (i < 0 || i >= HotkeyCount || p < 0 || p >= static_cast<int>(ModifierList.size())) return;
    if (m_agent.HotkeyKeys()[i] == PrintScreenKey && p > 1) {
        showWarning(QStringLiteral("Modifiers not allowed !!"));
        const int previous = m_agent.HotkeyModifierIndex()[i];
        ModifierLists[i]->setCurrentIndex(previous >= 0 && previous < ModifierLists[i]->count() ? previous : -1);
        return;
    }
    m_agent.HotkeyModifierIndex()[i] = p;
    m_agent.HotkeyModifiers()[i] = ModifierList[p].flags;
    showDesktopBindings();
    update();
}

void TKeys1::BitBtn1Click() { close(); }

void TKeys1::BitBtn2Click()
{
    m_agent.ResetHotkeyDefaults();
    showDesktopBindings();
    update();
}

void TKeys1::reject()
{
    if (FormCloseQuery()) QDialog::reject();
}

bool TKeys1::FormCloseQuery()
{
    if (HasDuplicateHotkey(m_agent.HotkeyKeyIndex(), m_agent.HotkeyModifierIndex())) {
        showWarning(QStringLiteral("Duplicate Hotkey definition found !!\nchange Hotkey or modifier"));
        return false;
    }
    m_agent.SaveSettings();
    m_agent.RegisterHotkeys();
    return true;
}

void TKeys1::showWarning(const QString& text)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Attention"), text, QMessageBox::NoButton, this);
    box.setObjectName(QString::fromLatin1(WarningName));
    box.setTextFormat(Qt::PlainText);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.adjustSize();
    centreOnScreen(&box);
    box.exec();
}

void ShowKeysDialog(KeysLink& agent, QWidget* parent)
{
    TKeys1 dialog(agent, parent);
    dialog.exec();
}
