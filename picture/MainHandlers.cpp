// The picture window's handlers: option controls, sliders, colour swatches and
// picking, the options panel toggle, and the menu items that only flip state.
// A checkable menu item has already flipped its own check mark when its
// handler runs; the handlers add what goes with the new mark.
#include "picture/Main.h"

#include "dialogs/MenuItems.h"
#include "dialogs/WaitCursor.h"
#include "picture/AdjustPipeline.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace {

const std::pair<const char*, kaptivus::pixels::Color> kCustomColours[16] = {
    {"ColorA", 0xEEEEEE}, {"ColorB", 0xDDDDEE}, {"ColorC", 0xDDEEDD}, {"ColorD", 0xEEDDDD},
    {"ColorE", 0xDDDDDD}, {"ColorF", 0x99EEEE}, {"ColorG", 0xEEEEAA}, {"ColorH", 0xAAAAEE},
    {"ColorI", 0xE0E0E0}, {"ColorJ", 0xD0D0D0}, {"ColorK", 0xC0C0C0}, {"ColorL", 0xB0B0B0},
    {"ColorM", 0xA0A0A0}, {"ColorN", 0x909090}, {"ColorO", 0x808080}, {"ColorP", 0x707070},
};

// Taille's fields: a number within the bounds, or else the fallback.
int ParseSizeField(QLineEdit* edit, int low, int high, int fallback)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok, 10);
    if (ok && value >= low && value <= high)
        return value;
    edit->setText(QString::number(fallback));
    return fallback;
}

} // namespace

void TMain1::connectHandlers()
{
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox10, CheckBox11, CheckBox14, CheckBox15})
        box->installEventFilter(this);
    connectSliders();
    connect(Label1, &TClickLabel::clicked, this, &TMain1::Label1Click);
    connect(Label2, &TClickLabel::clicked, this, &TMain1::Label2Click);
    connect(Label9, &TClickLabel::clicked, this, &TMain1::Label9Click);
    connect(Label10, &TClickLabel::clicked, this, &TMain1::Label10Click);
    connect(Label11, &TClickLabel::clicked, this, &TMain1::Label11Click);
    connect(Label12, &TClickLabel::clicked, this, &TMain1::Label12Click);
    connect(Label4, &TClickLabel::clicked, this, &TMain1::Label4Click);
    connect(Label14, &TClickLabel::clicked, this, &TMain1::Label14Click);
    connect(Label6, &TClickLabel::clicked, this, &TMain1::Label6Click);
    connect(Label8, &TClickLabel::clicked, this, &TMain1::Label8Click);
    connect(Button1, &QPushButton::clicked, this, &TMain1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMain1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TMain1::Button3Click);
    connect(ComboBox1, &QComboBox::activated, this, &TMain1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TMain1::ComboBox2Change);
    connect(Panel2, &TColorPanel::clicked, this, &TMain1::Panel2Click);
    connect(Panel3, &TColorPanel::clicked, this, &TMain1::Panel3Click);
    connect(Panel4, &TColorPanel::clicked, this, &TMain1::Panel4Click);
    connect(Image1, &TImageView::mouseReleased, this, &TMain1::Image1MouseUp);
    connect(Image1, &TImageView::imageChanged, this, [this] { m_sizeFieldsDue = true; });
    connect(Timer1, &QTimer::timeout, this, &TMain1::Timer1Timer);
    // The button's own toggle is undone: the handler inverts the mark itself.
    connect(ToolButton7, &QToolButton::clicked, this, [this] {
        ToolButton7->setChecked(!ToolButton7->isChecked());
        ToolButton7Click();
    });
    connectMenuHandlers();
    connectFileHandlers();
    connectClipboardHandlers();
    connectPrintHandlers();
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, ToQColor(kCustomColours[i].second));
}

void TMain1::connectSliders()
{
    QScrollBar* bars[9] = {ScrollBar1, ScrollBar2, ScrollBar3, ScrollBar4, ScrollBar5,
                           ScrollBar6, ScrollBar7, ScrollBar8, ScrollBar9};
    void (TMain1::*changes[9])() = {&TMain1::ScrollBar1Change, &TMain1::ScrollBar2Change, &TMain1::ScrollBar3Change,
                                    &TMain1::ScrollBar4Change, &TMain1::ScrollBar5Change, &TMain1::ScrollBar6Change,
                                    &TMain1::ScrollBar7Change, &TMain1::ScrollBar8Change, &TMain1::ScrollBar9Change};
    for (int i = 0; i < 9; ++i) {
        QScrollBar* bar = bars[i];
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::valueChanged, this, changes[i]);
        connect(bar, &QScrollBar::sliderMoved, this,
                [this, bar](int position) { ScrollBar1Scroll(bar, position, false); });
        // Actions take effect after this signal, hence the queued calls. While
        // the mouse holds the bar (thumb drag, repeating arrow or track) each
        // position is only shown, and the scroll ends with the release; a key
        // or a wheel step is a whole scroll by itself.
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int action) {
            if (action == QAbstractSlider::SliderNoAction)
                return;
            const bool held = m_pressedBar == bar;
            if (held && action == QAbstractSlider::SliderMove)
                return; // sliderMoved shows it
            QTimer::singleShot(0, this, [this, bar, held] { ScrollBar1Scroll(bar, bar->value(), !held); });
        });
    }
}

bool TMain1::isSlider(QObject* object) const
{
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2, ScrollBar3, ScrollBar4, ScrollBar5, ScrollBar6, ScrollBar7,
                            ScrollBar8, ScrollBar9})
        if (object == bar)
            return true;
    return false;
}

void TMain1::sliderMouseEvent(QScrollBar* bar, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        // Only the buttons the scroll bar answers hold it: a press of another
        // button gets no release once a popup has taken the mouse.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool middleSets = bar->style()->styleHint(QStyle::SH_ScrollBar_MiddleClickAbsolutePosition, nullptr, bar);
        if (mouse->button() == Qt::LeftButton || (middleSets && mouse->button() == Qt::MiddleButton))
            m_pressedBar = bar;
    } else if (m_pressedBar == bar && (type == QEvent::MouseButtonRelease || type == QEvent::Hide)) {
        if (type == QEvent::MouseButtonRelease
            && (static_cast<QMouseEvent*>(event)->buttons() & (Qt::LeftButton | Qt::MiddleButton)))
            return;
        m_pressedBar = nullptr;
        QTimer::singleShot(0, this, [this, bar] { ScrollBar1Scroll(bar, bar->value(), true); });
    }
}

// The keys of a scroll bar that has the focus: left and up step back, right
// and down forward, the page keys by the large step, Home and End to the ends.
// Mapped here because Qt's horizontal scroll bar steps back on the right arrow.
bool TMain1::sliderKey(QScrollBar* bar, const QKeyEvent* key)
{
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: action = QAbstractSlider::SliderSingleStepSub; break;
    case Qt::Key_Right:
    case Qt::Key_Down: action = QAbstractSlider::SliderSingleStepAdd; break;
    case Qt::Key_PageUp: action = QAbstractSlider::SliderPageStepSub; break;
    case Qt::Key_PageDown: action = QAbstractSlider::SliderPageStepAdd; break;
    case Qt::Key_Home: action = QAbstractSlider::SliderToMinimum; break;
    case Qt::Key_End: action = QAbstractSlider::SliderToMaximum; break;
    default: return false;
    }
    bar->triggerAction(action);
    return true;
}

void TMain1::connectMenuHandlers()
{
    connect(Refresh1, &QAction::triggered, this, &TMain1::Refresh1Click);
    connect(Minimize1, &QAction::triggered, this, &TMain1::Minimize1Click);
    connect(suspend1, &QAction::triggered, this, &TMain1::suspend1Click);
    connect(Sound1, &QAction::triggered, this, &TMain1::Sound1Click);
    connect(IncludeCursor1, &QAction::triggered, this, &TMain1::IncludeCursor1Click);
    connect(ClientAreaonly1, &QAction::triggered, this, &TMain1::ClientAreaonly1Click);
    connect(AutocopytoClipboard1, &QAction::triggered, this, &TMain1::AutocopytoClipboard1Click);
    connect(Closeafterprinting1, &QAction::triggered, this, &TMain1::Closeafterprinting1Click);
    connect(DirectPrintNoDialog1, &QAction::triggered, this, &TMain1::DirectPrintNoDialog1Click);
    connect(HideIcononSystemTray1, &QAction::triggered, this, &TMain1::HideIcononSystemTray1Click);
    connect(Monitor0, &QAction::triggered, this, &TMain1::Monitor0Click);
    connect(Monitor1, &QAction::triggered, this, &TMain1::Monitor1Click);
    connect(Monitor2, &QAction::triggered, this, &TMain1::Monitor2Click);
    connect(Monitor3, &QAction::triggered, this, &TMain1::Monitor3Click);
    connect(Monitor4, &QAction::triggered, this, &TMain1::Monitor4Click);
    connect(NSeconds2, &QAction::triggered, this, &TMain1::NSeconds2Click);
    connect(NSeconds3, &QAction::triggered, this, &TMain1::NSeconds3Click);
    connect(NSeconds4, &QAction::triggered, this, &TMain1::NSeconds4Click);
    connect(NSeconds5, &QAction::triggered, this, &TMain1::NSeconds5Click);
    connect(NSeconds6, &QAction::triggered, this, &TMain1::NSeconds6Click);
    connect(NSeconds7, &QAction::triggered, this, &TMain1::NSeconds7Click);
    connect(ADelay1, &QAction::triggered, this, &TMain1::ADelay1Click);
    connect(ADelay2, &QAction::triggered, this, &TMain1::ADelay2Click);
    connect(ADelay3, &QAction::triggered, this, &TMain1::ADelay3Click);
    connect(ADelay4, &QAction::triggered, this, &TMain1::ADelay4Click);
    connect(ADelay5, &QAction::triggered, this, &TMain1::ADelay5Click);
    connect(ADelay6, &QAction::triggered, this, &TMain1::ADelay6Click);
    connect(ADelay7, &QAction::triggered, this, &TMain1::ADelay7Click);
}

// --- Re-running the pipeline --------------------------------------------------

void TMain1::rerunPipeline(bool followRotation)
{
    const int w = m_agent ? m_agent->captureBitmap().width() : 0;
    const int h = m_agent ? m_agent->captureBitmap().height() : 0;
    if (followRotation && kaptivus::picture::IsNearQuarterTurn(ScrollBar9->value()))
        ApplyPictureOptions(false, h, w);
    else
        ApplyPictureOptions(false, w, h);
}

void TMain1::CheckBox1MouseUp()
{
    rerunPipeline(true);
}

void TMain1::ScrollBar1Scroll(QScrollBar*, int position, bool ended)
{
    StaticText1->setText(QString::number(position));
    if (ended)
        rerunPipeline(true);
}

void TMain1::ScrollBar1Change() { ScrollBar1->setToolTip(QString::number(ScrollBar1->value())); }
void TMain1::ScrollBar2Change() { ScrollBar2->setToolTip(QString::number(ScrollBar2->value())); }
void TMain1::ScrollBar3Change() { ScrollBar3->setToolTip(QString::number(ScrollBar3->value())); }
void TMain1::ScrollBar4Change() { ScrollBar4->setToolTip(QString::number(ScrollBar4->value())); }
void TMain1::ScrollBar5Change() { ScrollBar5->setToolTip(QString::number(ScrollBar5->value())); }
void TMain1::ScrollBar6Change() { ScrollBar6->setToolTip(QString::number(ScrollBar6->value())); }
void TMain1::ScrollBar7Change() { ScrollBar7->setToolTip(QString::number(ScrollBar7->value())); }
void TMain1::ScrollBar8Change() { ScrollBar8->setToolTip(QString::number(ScrollBar8->value())); }
void TMain1::ScrollBar9Change() { ScrollBar9->setToolTip(QString::number(ScrollBar9->value())); }

void TMain1::resetSlider(QScrollBar* bar, int value)
{
    bar->setValue(value);
    rerunPipeline(false);
}

void TMain1::Label1Click() { resetSlider(ScrollBar1, 0); }
void TMain1::Label2Click() { resetSlider(ScrollBar2, 0); }
void TMain1::Label9Click() { resetSlider(ScrollBar3, 0); }
void TMain1::Label10Click() { resetSlider(ScrollBar6, 0); }
void TMain1::Label11Click() { resetSlider(ScrollBar7, 0); }
void TMain1::Label12Click() { resetSlider(ScrollBar5, 0); }
void TMain1::Label4Click() { resetSlider(ScrollBar4, 0); }
void TMain1::Label14Click() { resetSlider(ScrollBar9, 0); }
void TMain1::Label6Click() { resetSlider(ScrollBar8, 100); }

void TMain1::Button2Click()
{
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2, ScrollBar3, ScrollBar4, ScrollBar5, ScrollBar6, ScrollBar7})
        bar->setValue(0);
    ScrollBar8->setValue(100);
    ScrollBar9->setValue(0);
    StaticText1->setText(QStringLiteral("0"));
    rerunPipeline(false);
}

void TMain1::Button3Click()
{
    // The default cursor comes back and the picture is repainted also when
    // the sharpening throws (out of memory on a huge picture).
    struct RepaintScope {
        QWidget* image;
        ~RepaintScope() { image->update(); }
    } repaintOnExit{Image1};
    kaptivus::dialogs::WaitCursor cursor;
    kaptivus::pixels::Picture picture = shownPicture();
    if (!picture.isEmpty() && sharpenOnce && sharpenOnce(picture))
        setShownPicture(picture);
}

void TMain1::Button1Click()
{
    const int width = ParseSizeField(Edit1, 16, 1280, Image1->image().width());
    const int height = ParseSizeField(Edit2, 16, 1024, Image1->image().height());
    ApplyPictureOptions(true, width, height);
    update();
    FormPaint();
}

void TMain1::ComboBox1Change()
{
    rerunPipeline(false);
}

// --- Colour swatches and picking -------------------------------------------------

QColorDialog* TMain1::colorDialog()
{
    if (!ColorDialog1) {
        ColorDialog1 = new QColorDialog(this);
        ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
        ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
    }
    return ColorDialog1;
}

void TMain1::editSwatchColour(TColorPanel* panel, bool rerun)
{
    QColorDialog* dialog = colorDialog();
    dialog->setCurrentColor(ToQColor(panel->color()));
    if (dialog->exec() != QDialog::Accepted)
        return;
    panel->setColor(FromQColor(dialog->selectedColor()));
    if (rerun)
        rerunPipeline(false);
}

void TMain1::Panel2Click() { editSwatchColour(Panel2, false); }
void TMain1::Panel3Click() { editSwatchColour(Panel3, false); }
void TMain1::Panel4Click() { editSwatchColour(Panel4, true); }

void TMain1::pickColourInPicture(TColorPanel* panel, int x, int y)
{
    panel->setColor(FromQColor(Image1->image().pixelColor(x, y)));
}

void TMain1::toggleOptionsPanel()
{
    const QString common = QStringLiteral("\r\nCtrl+Clic pour prélever couleur\r\nShift+Click prélever coul. cadre");
    QRect box = ScrollBox1->geometry();
    box.moveTop(PageControl1->y());
    const int delta = PageControl1->width() + 8;
    if (!PageControl1->isHidden()) {
        PageControl1->hide();
        Image1->setToolTip(QStringLiteral("Clic pour les options") + common);
        box.setWidth(box.width() + delta);
    } else {
        PageControl1->show();
        box.setWidth(box.width() - delta);
        Image1->setToolTip(QStringLiteral("Clic : cache options") + common);
    }
    setAnchoredGeometry(ScrollBox1, box);
}

void TMain1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers modifiers, int x, int y)
{
    const Qt::KeyboardModifiers state = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool pick = state == Qt::ControlModifier || state == Qt::ShiftModifier;
    if (pick) {
        // A release dragged outside the picture has no colour to take.
        if (!Image1->image().valid(x, y))
            return;
        if (state == Qt::ShiftModifier) {
            pickColourInPicture(Panel4, x, y);
            return;
        }
        ColourPickToggle = !ColourPickToggle;
        pickColourInPicture(ColourPickToggle ? Panel2 : Panel3, x, y);
        return;
    }
    toggleOptionsPanel();
}

// --- Menu items ---------------------------------------------------------------------

void TMain1::Refresh1Click()
{
    if (repaintDesktop)
        repaintDesktop();
    repaint();
}

void TMain1::Minimize1Click()
{
    close();
}

void TMain1::suspend1Click()
{
    if (m_agent)
        m_agent->setSuspended(suspend1->isChecked());
}

// The next capture reads these check marks; the click has already flipped them.
void TMain1::Sound1Click() {}
void TMain1::IncludeCursor1Click() {}
void TMain1::ClientAreaonly1Click() {}
void TMain1::AutocopytoClipboard1Click() {}
void TMain1::Closeafterprinting1Click() {}

void TMain1::DirectPrintNoDialog1Click()
{
    if (m_agent)
        m_agent->setDirectPrintChecked(DirectPrintNoDialog1->isChecked());
}

void TMain1::HideIcononSystemTray1Click()
{
    if (m_agent)
        m_agent->setHideIconChecked(HideIcononSystemTray1->isChecked());
    if (applyHideIconMode)
        applyHideIconMode(HideIcononSystemTray1->isChecked());
}

void TMain1::chooseMonitor(QAction* item, int index)
{
    CheckRadioItem(item, item->isChecked(), monitorItems());
    if (m_agent)
        m_agent->SetDesktopRect(index);
}

void TMain1::Monitor0Click() { chooseMonitor(Monitor0, -1); }
void TMain1::Monitor1Click() { chooseMonitor(Monitor1, 0); }
void TMain1::Monitor2Click() { chooseMonitor(Monitor2, 1); }
void TMain1::Monitor3Click() { chooseMonitor(Monitor3, 2); }
void TMain1::Monitor4Click() { chooseMonitor(Monitor4, 3); }

void TMain1::chooseCaptureDelay(QAction* item, int milliseconds)
{
    CheckRadioItem(item, item->isChecked(), captureDelayItems());
    if (m_agent)
        m_agent->setCaptureDelay(milliseconds);
}

void TMain1::NSeconds2Click() { chooseCaptureDelay(NSeconds2, 1000); }
void TMain1::NSeconds3Click() { chooseCaptureDelay(NSeconds3, 2000); }
void TMain1::NSeconds4Click() { chooseCaptureDelay(NSeconds4, 3000); }
void TMain1::NSeconds5Click() { chooseCaptureDelay(NSeconds5, 4000); }
void TMain1::NSeconds6Click() { chooseCaptureDelay(NSeconds6, 5000); }
void TMain1::NSeconds7Click() { chooseCaptureDelay(NSeconds7, 10000); }

void TMain1::chooseTimerDelay(QAction* item, int seconds)
{
    CheckRadioItem(item, item->isChecked(), timerDelayItems());
    if (m_agent)
        m_agent->setTimerDelay(seconds);
}

void TMain1::ADelay1Click() { chooseTimerDelay(ADelay1, 10); }
void TMain1::ADelay2Click() { chooseTimerDelay(ADelay2, 20); }
void TMain1::ADelay3Click() { chooseTimerDelay(ADelay3, 30); }
void TMain1::ADelay4Click() { chooseTimerDelay(ADelay4, 60); }
void TMain1::ADelay5Click() { chooseTimerDelay(ADelay5, 300); }
void TMain1::ADelay6Click() { chooseTimerDelay(ADelay6, 600); }
void TMain1::ADelay7Click() { chooseTimerDelay(ADelay7, 1800); }

void TMain1::ToolButton7Click()
{
    ToolButton7->setChecked(!ToolButton7->isChecked());
    const bool off = ToolButton7->isChecked();
    if (off) {
        ToolButton7->setText(QStringLiteral("OFF"));
        Timer1->stop();
    } else {
        ToolButton7->setText(QStringLiteral("ON"));
        // An interval of 0 from an edited registry must not fire continuously.
        const qint64 ms = qint64(m_agent ? m_agent->timerDelay() : 30) * 1000;
        if (ms > 0) {
            Timer1->setInterval(int(std::min<qint64>(ms, std::numeric_limits<int>::max())));
            Timer1->start();
        } else {
            Timer1->stop();
        }
    }
    if (m_agent)
        m_agent->setAutoSaveChecked(!off);
}

void TMain1::Timer1Timer()
{
    if (autoSaveTick)
        autoSaveTick();
}

void TMain1::ComboBox2Change()
{
    if (m_agent && ComboBox2->currentIndex() >= 0)
        m_agent->setPrinter(ComboBox2->currentText());
    update();
    FormPaint();
}

void TMain1::Label8Click() { UpDown6->setValue(1); }
void TMain1::Edit3Click() { UpDown1->setValue(100); }
void TMain1::Edit7Click() { UpDown5->setValue(100); }
