// The picture window: helper controls, construction, anchoring, and the
// form's create, show, paint and close handlers.
#include "picture/Main.h"

#include "app/Tray.h"
#include "dialogs/SystemInfo.h"
#include "files/ui/PictureDialogs.h"
#include "picture/MainIcons.h"
#include "platform/Geometry.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>

using kaptivus::pixels::Color;

// --- Helper controls ----------------------------------------------------------

TImageView::TImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::setImage(const QImage& image)
{
    m_image = image;
    resize(m_image.size());
    update();
}

void TImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_image.isNull())
        painter.drawImage(0, 0, m_image);
}

void TImageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseReleased(event->button(), event->modifiers(), p.x(), p.y());
}

TColorPanel::TColorPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setColor(0);
}

void TColorPanel::setColor(Color color)
{
    m_color = color & 0x00FFFFFFu;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(m_color));
    setPalette(pal);
}

void TColorPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

QColor ToQColor(Color color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Color FromQColor(const QColor& color)
{
    return Color(color.red()) | (Color(color.green()) << 8) | (Color(color.blue()) << 16);
}

// --- Construction -------------------------------------------------------------

namespace {

constexpr int kDesignWidth = 626;
constexpr int kDesignHeight = 418;
constexpr int kStatusBarHeight = 19;

} // namespace

TMain1::TMain1(TTray1* agent, QWidget* parent) : QMainWindow(parent), m_agent(agent)
{
    setObjectName(QStringLiteral("Main1"));
    // System menu and maximise, no minimise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kaptivus 2000   v5.10 complet - capture d'écran"));
    setWindowIcon(QIcon(QStringLiteral(":/kaptivus32.png")));
    setCursor(Qt::PointingHandCursor);
    // The design's metrics: a narrow 8-point sans serif keeps the captions
    // within the controls' design widths.

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

    applyDesignFont();
    monitorCount = [] { return int(QGuiApplication::screens().size()); };
    connectHandlers();
    // The agent's settings binding reaches the controls through Main1.
    if (m_agent)
        m_agent->Main1 = this;
}

TMain1::~TMain1() = default;

void TMain1::applyDesignFont()
{
    QString family;
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"Liberation Sans", "Arimo", "Arial", "Nimbus Sans", "Helvetica"}) {
        if (installed.contains(QLatin1String(candidate))) {
            family = QLatin1String(candidate);
            break;
        }
    }
    // Set on every control: an application style sheet stops fonts from
    // propagating from the window to its children. Sizes and weights that a
    // control set itself are kept.
    QList<QWidget*> widgets = findChildren<QWidget*>();
    widgets.prepend(this);
    for (QWidget* widget : widgets) {
        QFont font = widget->font();
        if (!family.isEmpty())
            font.setFamily(family);
        if (!(font.resolveMask() & QFont::SizeResolved))
            font.setPointSize(8);
        widget->setFont(font);
    }
}

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
    if (isSlider(watched))
        sliderMouseEvent(static_cast<QScrollBar*>(watched), event->type());
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
    return QMainWindow::eventFilter(watched, event);
}

// --- Form events ------------------------------------------------------------------

namespace {

// "dddd, dd mmm, yyyy  hh:mm AM/PM": names from the system's locale, the hour
// on the 12-hour clock, and AM/PM as such whatever the locale calls them.
QString CreationTimeHint(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    const int hour = when.time().hour();
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return locale.toString(when.date(), QStringLiteral("dddd, dd MMM, yyyy"))
         + QStringLiteral("  %1:%2 %3")
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(when.time().minute(), 2, 10, QLatin1Char('0'))
               .arg(hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

} // namespace

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
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
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
    CheckBox9->setToolTip(m_agent ? m_agent->Footer : QString());
    fillPrinterList();
    CheckBox7->setToolTip(CreationTimeHint(QDateTime::currentDateTime()));
    UserSystemLine = SystemInfo1->UserAndSystemLine();
    CheckBox8->setToolTip(UserSystemLine);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    // Auto-save button: marked when the timer is to stay off, then the click
    // handler inverts the mark and starts or stops the timer to match.
    const bool autoSave = m_agent && m_agent->StopTimer1 && m_agent->StopTimer1->isChecked();
    ToolButton7->setChecked(autoSave);
    ToolButton7Click();
    if (m_agent && m_agent->DirectPrintNoDialog1)
        m_agent->DirectPrintNoDialog1->setChecked(DirectPrintNoDialog1->isChecked());
    const int monitors = monitorCount ? monitorCount() : 1;
    Monitors1->setEnabled(monitors > 1);
    Monitors1->menuAction()->setEnabled(monitors > 1);
    const std::vector<QAction*> items = monitorItems();
    for (int i = 1; i <= 4; ++i)
        items[size_t(i)]->setEnabled(monitors > 1 && monitors <= 4 && i <= monitors);
    if (HideIcononSystemTray1->isChecked()) {
        if (m_agent && m_agent->HideIcononSystemTray1)
            m_agent->HideIcononSystemTray1->setChecked(true);
        if (applyHideIconMode)
            applyHideIconMode(true);
    }
    m_created = true;
}

namespace {

// A stored place, or a monitor unplugged since, can leave the title bar where no
// pointer reaches it; the window then comes back onto the nearest monitor.
void keepTitleBarReachable(QWidget& window)
{
    using kaptivus::platform::ScreenRect;
    std::vector<ScreenRect> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        monitors.push_back(ScreenRect{g.x(), g.y(), g.width(), g.height()});
    }
    const QRect frame = window.frameGeometry();
    // Before the window manager first frames the window its title bar is not known yet.
    constexpr int kUsualTitleHeight = 24;
    const int title = window.geometry().top() > frame.top() ? window.geometry().top() - frame.top() : kUsualTitleHeight;
    const auto place = kaptivus::platform::reachablePosition(
        ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()}, title, monitors);
    if (place.x != frame.x() || place.y != frame.y()) window.move(place.x, place.y);
}

} // namespace

void TMain1::fitToDesktop()
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = frameGeometry();
    if (desktop.width() < frame.left() || desktop.width() < frame.width() || desktop.height() < frame.top() ||
        desktop.height() < frame.height()) {
        const QSize decoration = frame.size() - size();
        setMinimumSize(minimumSize().boundedTo(desktop.size() - decoration));
        resize(desktop.size() - decoration);
        move(0, 0);
    }
}

void TMain1::FormShow()
{
    fitToDesktop();
    keepTitleBarReachable(*this);
    selectPrinterEntry();
    raise();
    activateWindow();
    FormPaint();
}

void TMain1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMain1::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    FormPaint();
}

void TMain1::FormClose()
{
    if (!m_agent)
        return;
    m_agent->SaveSettings();
    m_agent->CaptureBusy = false;
    m_agent->OpenedFromTray = false;
}

void TMain1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept(); // the window only hides; the agent keeps running
}

namespace {

QString ColourLabel(int bits)
{
    switch (bits) {
    case 1: return QStringLiteral("2 Coul.");
    case 4: return QStringLiteral("16 Coul.");
    case 8: return QStringLiteral("256 Coul.");
    case 15: return QStringLiteral("32K Coul.");
    case 16: return QStringLiteral("64K Coul.");
    case 24: return QStringLiteral("16M Coul.");
    default: return QStringLiteral("64M Coul.");
    }
}

} // namespace

void TMain1::FormPaint()
{
    const int bits = shownBits();
    const int w = Image1->image().width();
    const int h = Image1->image().height();
    // In 64 bits: a picture kept at a huge capture's own size would overflow
    // a 32-bit product and show a negative size.
    const int64_t product = int64_t(w) * h * bits;
    const double kilobytes = std::nearbyint(double(product) / 8.0 / 1024.0);
    const auto memory = memoryInfo ? memoryInfo() : std::pair<quint64, quint64>{0, 0};
    // Only changed texts are set: this runs from paint events, and setting a
    // text schedules another paint.
    const QString status = QStringLiteral(" Taille Image %1 X %2  =  %3 ko avec %4   /   Mémoire totale=%5 ko"
                                          "  Mémoire libre=%6 ko")
                               .arg(w)
                               .arg(h)
                               .arg(qint64(kilobytes))
                               .arg(ColourLabel(bits))
                               .arg(memory.first)
                               .arg(memory.second);
    if (StatusBar1->currentMessage() != status)
        StatusBar1->showMessage(status);
    if (Edit1->text() != QString::number(w))
        Edit1->setText(QString::number(w));
    if (Edit2->text() != QString::number(h))
        Edit2->setText(QString::number(h));
    BitBtn1->setToolTip(QStringLiteral("C'est parti !\r\n") + (m_agent ? m_agent->Printer : QString()));
    const QString editor = m_agent ? m_agent->Editor : QString();
    // The stored path may come from another system: cut at either separator.
    const QString editorName = editor.mid(std::max(editor.lastIndexOf(QLatin1Char('/')),
                                                   editor.lastIndexOf(QLatin1Char('\\'))) + 1);
    ToolButton5->setToolTip(editor.isEmpty() ? QStringLiteral("Editeur d'image")
                                             : QStringLiteral("Editeur =") + editorName);
}
