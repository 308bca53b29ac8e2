// Choose1: the default save settings. An extension or the transparency box
// counts when the mouse button is released over it; keyboard changes alone do
// not change the settings.
#include "files/ui/Choose.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

constexpr int kMaxDefaultFile = 127;

// The root is stored without its separator (so that folder + "/" + name has
// no doubled one), but shown, and browsed from, as the root.
QString FolderShown(const QString& autoFolder)
{
    return autoFolder.isEmpty() ? QStringLiteral("/") : autoFolder;
}

} // namespace

const std::array<const char*, 7> TChoose1::Extensions = {".JPEG", ".JPG", ".BMP", ".WMF", ".EMF", ".GIF", ".PNG"};

TChoose1::TChoose1(kaptivus::files::ui::TSaveSettings settings, QString tempFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_tempFolder(std::move(tempFolder))
{
    setObjectName(QStringLiteral("Choose1"));
    setWindowTitle(QStringLiteral("Kaptivus 2000 (choisir défauts)"));
    buildControls();
    FormCreate();
}

void TChoose1::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    GroupBox1 = Named(new QGroupBox(QStringLiteral("Répertoire actuel"), this), "GroupBox1");
    Label1 = Named(new QLabel(GroupBox1), "Label1");
    Label1->setWordWrap(true);
    Label1->setFixedWidth(300);
    (new QVBoxLayout(GroupBox1))->addWidget(Label1);
    layout->addWidget(GroupBox1);

    Button1 = Named(new QPushButton(QStringLiteral("Changer le répertoire actuel"), this), "Button1");
    Button1->setToolTip(QStringLiteral("Choisir un lecteur et un répertoire"));
    layout->addWidget(Button1);

    GroupBox3 = Named(new QGroupBox(QStringLiteral(" Nom de fichier par défaut "), this), "GroupBox3");
    Edit1 = Named(new QLineEdit(GroupBox3), "Edit1");
    Edit1->setMaxLength(28);
    (new QVBoxLayout(GroupBox3))->addWidget(Edit1);
    layout->addWidget(GroupBox3);

    RadioGroup1 = Named(new QGroupBox(QStringLiteral("Extension"), this), "RadioGroup1");
    auto* radios = new QHBoxLayout(RadioGroup1);
    const char* const captions[] = {"JPEG", "JPG", "BMP", "WMF", "EMF", "GIF", "PNG"};
    const char* const names[] = {"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4",
                                 "RadioButton5", "RadioButton6", "RadioButton7"};
    QRadioButton** members[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4,
                                &RadioButton5, &RadioButton6, &RadioButton7};
    for (size_t i = 0; i < Extensions.size(); ++i) {
        *members[i] = Named(new QRadioButton(QString::fromLatin1(captions[i]), RadioGroup1), names[i]);
        (*members[i])->installEventFilter(this);
        radios->addWidget(*members[i]);
    }
    RadioButton1->setChecked(true);
    layout->addWidget(RadioGroup1);

    CheckBox1 = Named(new QCheckBox(QStringLiteral("Transparent"), this), "CheckBox1");
    CheckBox1->setToolTip(QStringLiteral("Utiliser une image transparente à la sauvegarde (seulement GIF )"));
    CheckBox1->installEventFilter(this);
    layout->addWidget(CheckBox1);

    auto* buttons = new QHBoxLayout;
    BitBtn1 = Named(new QPushButton(QStringLiteral("OK"), this), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = Named(new QPushButton(QStringLiteral("Défaut"), this), "BitBtn2");
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TChoose1::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TChoose1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TChoose1::BitBtn2Click);
}

std::array<QRadioButton*, 7> TChoose1::radioButtons() const
{
    return {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6, RadioButton7};
}

void TChoose1::FormCreate()
{
    if (m_settings.isBound())
        Label1->setText(FolderShown(*m_settings.AutoFolder));
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TChoose1::FormActivate()
{
    if (!m_settings.isBound())
        return;
    CheckBox1->setChecked(*m_settings.Transparent);
    // A name being typed is kept when the dialog comes back from the folder browser.
    if (!Edit1->isModified())
        Edit1->setText(*m_settings.DefaultFile);
    const auto buttons = radioButtons();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (*m_settings.DefaultExt == QLatin1String(Extensions[i])) {
            buttons[i]->setChecked(true);
            break;
        }
}

bool TChoose1::event(QEvent* event)
{
    // Showing counts as the first activation: a window manager may not activate at once.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        FormActivate();
    return QDialog::event(event);
}

bool TChoose1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        const bool over = widget->rect().contains(mouse->position().toPoint());
        if (over && mouse->button() == Qt::LeftButton) {
            if (watched == CheckBox1) {
                // Queued: the box takes its new state in its own release handler, after this filter.
                QMetaObject::invokeMethod(this, &TChoose1::CheckBox1MouseUp, Qt::QueuedConnection);
            } else if (auto* radio = qobject_cast<QRadioButton*>(watched)) {
                RadioButtonMouseUp(radio);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TChoose1::RadioButtonMouseUp(QRadioButton* button)
{
    const auto buttons = radioButtons();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == button && m_settings.isBound())
            *m_settings.DefaultExt = QLatin1String(Extensions[i]);
}

void TChoose1::CheckBox1MouseUp()
{
    if (m_settings.isBound())
        *m_settings.Transparent = CheckBox1->isChecked();
}

void TChoose1::Button1Click()
{
    if (!m_settings.isBound())
        return;
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Please select a Directory"),
                                                             FolderShown(*m_settings.AutoFolder));
    if (folder.isEmpty())
        return;
    *m_settings.AutoFolder = folder == QLatin1String("/") ? QString() : folder;
    Label1->setText(FolderShown(*m_settings.AutoFolder));
}

void TChoose1::BitBtn1Click() { accept(); }

void TChoose1::BitBtn2Click()
{
    RadioButton6->setChecked(true);
    CheckBox1->setChecked(false);
    Edit1->setText(QStringLiteral("MyPicture"));
    Edit1->setModified(true); // stored when the dialog closes, like a typed name
    if (!m_settings.isBound())
        return;
    *m_settings.DefaultExt = QStringLiteral(".GIF");
    *m_settings.Transparent = false;
    *m_settings.AutoFolder = m_tempFolder;
    Label1->setText(*m_settings.AutoFolder);
}

void TChoose1::FormClose()
{
    if (m_settings.isBound())
        *m_settings.DefaultFile = Edit1->text().left(kMaxDefaultFile);
}

void TChoose1::done(int result)
{
    // OK, the close box and Escape all close the same way: there is no cancel.
    FormClose();
    QDialog::done(result);
}
