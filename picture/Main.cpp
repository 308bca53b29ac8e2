// The picture window: construction, anchoring, and the form's create, key,
// paint and close handlers.
#include "picture/Main.h"

#include "dialogs/DesignFont.h"
#include "dialogs/SystemInfo.h"
#include "files/ui/PictureDialogs.h"
#include "picture/MainDesign.h"
#include "picture/MainIcons.h"
#include "print/PrintTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

// --- Construction -------------------------------------------------------------

using kaptivus::picture::kDesignHeight;
using kaptivus::picture::kDesignWidth;

TMain1::TMain1(AgentLink* agent, QWidget* parent) : QMainWindow(parent), m_agent(agent)
{
    setObjectName(QStringLiteral("Main1"));
    // System menu and maximise, no minimise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kaptivus 2000   v5.10 complet - capture d'écran"));
    setWindowIcon(QIcon(QStringLiteral(":/kaptivus32.png")));
    setCursor(Qt::PointingHandCursor);

    buildToolBar();
    buildClientArea();
    buildFileMenu();
    buildOptionsMenu();
    buildHistoryMenu();

    SystemInfo1 = new TSystemInfo(this);
    SystemInfo1->setObjectName(QStringLiteral("SystemInfo1"));
    memoryInfo = [this] {
        return std::pair<quint64, quint64>(SystemInfo1->TotalPhysMemory(), SystemInfo1->AvailPhysMemory());
    };
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(4000);

    // The design's metrics: a narrow 8-point sans serif keeps the captions
    // within the controls' design widths.
    ApplyDesignFont(this);
    fitStatusBarFont();
    monitorCount = [] { return int(QGuiApplication::screens().size()); };
    connectHandlers();
    // The agent's settings binding reaches the controls through Main1.
    if (m_agent)
        m_agent->attachPictureWindow(this);
}

TMain1::~TMain1() = default;

void TMain1::buildSaveFilterTable()
{
    for (size_t i = 0; i < SaveFilterTable.size(); ++i)
        SaveFilterTable[i] =
            kaptivus::files::ui::ToQtFilters(*kaptivus::files::SaveFilterVariant(kaptivus::files::kDefaultExtensions[i]));
}

// --- Anchors --------------------------------------------------------------------

void TMain1::anchor(QWidget* widget, bool stretch, bool bottom)
{
    m_anchored.push_back({widget, true, bottom, stretch, 0, 0});
    setAnchoredGeometry(widget, widget->geometry());
}

void TMain1::setAnchoredGeometry(QWidget* widget, const QRect& rect)
{
    widget->setGeometry(rect);
    const QSize area = widget->parentWidget()->size();
    for (Anchored& a : m_anchored) {
        if (a.widget != widget)
            continue;
        a.rightMargin = area.width() - rect.right() - 1;
        a.bottomMargin = area.height() - rect.bottom() - 1;
    }
}

void TMain1::layoutAnchored()
{
    for (const Anchored& a : m_anchored) {
        const QSize area = a.widget->parentWidget()->size();
        QRect r = a.widget->geometry();
        if (a.right) {
            const int right = area.width() - a.rightMargin - 1;
            if (a.stretch)
                r.setRight(std::max(r.left(), right));
            else
                r.moveRight(right);
        }
        if (a.bottom)
            r.setBottom(std::max(r.top(), area.height() - a.bottomMargin - 1));
        a.widget->setGeometry(r);
    }
}

bool TMain1::eventFilter(QObject* watched, QEvent* event)
{
    if (isSlider(watched)) {
        auto* bar = static_cast<QScrollBar*>(watched);
        if (event->type() == QEvent::KeyPress && sliderKey(bar, static_cast<QKeyEvent*>(event)))
            return true;
        sliderMouseEvent(bar, event);
    }
    if (watched == ClientArea && event->type() == QEvent::Resize)
        layoutAnchored();
    const bool optionBox = watched == CheckBox1 || watched == CheckBox2 || watched == CheckBox3 ||
                           watched == CheckBox4 || watched == CheckBox10 || watched == CheckBox11 ||
                           watched == CheckBox14 || watched == CheckBox15;
    // Queued: the box flips its state in its own release handler, after this filter.
    if (optionBox && event->type() == QEvent::MouseButtonRelease)
        QMetaObject::invokeMethod(this, &TMain1::CheckBox1MouseUp, Qt::QueuedConnection);
    if (watched == Edit3 && event->type() == QEvent::MouseButtonRelease)
        Edit3Click();
    if (watched == Edit7 && event->type() == QEvent::MouseButtonRelease)
        Edit7Click();
    if (copiesBoxEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// --- Form events ------------------------------------------------------------------

void TMain1::EnableMonitorItems(int monitors)
{
    Monitors1->setEnabled(monitors > 1);
    Monitors1->menuAction()->setEnabled(monitors > 1);
    const std::vector<QAction*> items = monitorItems();
    for (int i = 1; i <= 4; ++i)
        items[size_t(i)]->setEnabled(monitors > 1 && monitors <= 4 && i <= monitors);
}

void TMain1::FormCreate()
{
    buildSaveFilterTable();
    Image1->move(0, 0);
    Image1->setToolTip(QStringLiteral("Clic : cache options\r\nCtrl+Clic pour prélever couleur\r\n"
                                      "Shift+Clic prélever couleur cadre"));
    Minimize1->setShortcut(QKeySequence(Qt::Key_Escape));
    if (m_agent)
        m_agent->ResetHotkeyDefaults();

    // Design size first: the client area plus the menu and status bars.
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());
    centreOnScreen();
    m_centredAt = pos();
    setMinimumSize(size());

    ComboBox3->setCurrentIndex(0);
    ComboBox1->setCurrentIndex(0);
    const QString temp = SystemInfo1->TempDirectory();
    OpenPictureDialog1.InitialDir = temp;
    SavePictureDialog1.InitialDir = temp;

    if (m_agent) {
        m_agent->LoadSettings();
        m_agent->RegisterHotkeys();
    }
    if (pos() != m_centredAt)
        m_centredAt.reset(); // a stored place
    CheckBox9->setToolTip(m_agent ? m_agent->footer() : QString());
    fillPrinterList();
    CheckBox7->setToolTip(kaptivus::print::DayFirstDateLine(QDateTime::currentDateTime()));
    UserSystemLine = SystemInfo1->UserAndSystemLine();
    CheckBox8->setToolTip(UserSystemLine);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    // Auto-save button: marked when the timer is to stay off, then the click
    // handler inverts the mark and starts or stops the timer to match.
    const bool autoSave = m_agent && m_agent->autoSaveChecked();
    ToolButton7->setChecked(autoSave);
    ToolButton7Click();
    if (m_agent)
        m_agent->setDirectPrintChecked(DirectPrintNoDialog1->isChecked());
    EnableMonitorItems(monitorCount ? monitorCount() : 1);
    if (HideIcononSystemTray1->isChecked()) {
        if (m_agent)
            m_agent->setHideIconChecked(true);
        if (applyHideIconMode)
            applyHideIconMode(true);
    }
    m_created = true;
}

// used for itself starts the print job.
void TMain1::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (enter && !(event->modifiers() & chords)) {
        if (BitBtn1->isEnabled())
            BitBtn1->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TMain1::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    placeOnceFramed();
    FormPaint();
}

void TMain1::FormClose()
{
    if (!m_agent)
        return;
    m_agent->SaveSettings();
    m_agent->releaseCaptureGate();
}

void TMain1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept(); // the window only hides; the agent keeps running
}
