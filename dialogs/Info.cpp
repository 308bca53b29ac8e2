#include "dialogs/Info.h"

#include "dialogs/DesignFont.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/Timer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTextOption>
#include <QWindow>

#include <algorithm>
#include <limits>

namespace kaptivus::dialogs {

QString NormaliseLineBreaks(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

} // namespace kaptivus::dialogs

void TInfoLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    QTextOption option(Qt::AlignHCenter | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(contentsRect()), text(), option);
}

TInfo1::TInfo1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Info1"));
    setWindowTitle(QStringLiteral("Message d'information de Kaptivus 2000"));
    setFixedSize(296, 80);
    setSizeGripEnabled(false);
    setModal(false);
    // A notice must not take the keyboard from another program the user is
    // typing in (some window managers focus every new window whatever its user
    // time says). When the program itself is in front, ShowInfo hands the
    // notice the keyboard, so that Escape closes the notice and not the window
    // behind it; a click on it does the same.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);
    buildControls();
    // The design font on each control: at the toolkit's larger default the
    // four lines of the clipboard notice do not fit the label.
    ApplyDesignFont(this);
    Label2->adjustSize();
    // Four lines (the clipboard notice) fill the label.
    QFont message = Label1->font();
    message.setPointSize(PointSizeToWrap(message, QStringLiteral("1\n2\n3\n4"), Label1->size(), 8, 6));
    Label1->setFont(message);

    Timer1 = new TTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setEnabled(false);
    Timer2 = new TTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setEnabled(false);
    Timer2->setInterval(300);
    connect(Timer1, &TTimer::timeout, this, &TInfo1::Timer1Timer);
    connect(Timer2, &TTimer::timeout, this, &TInfo1::Timer2Timer);
    centreOnScreen();
}

void TInfo1::buildControls()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(4, 4, 32, 32);
    Image1->setPixmap(kaptivus::dialogs::ProgramPicture(QSize(32, 32)));

    Label2 = new QLabel(QStringLiteral("ESC"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    Label2->move(8, 44);
    Label2->adjustSize();

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(44, 4, 245, 69);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(white);

    Label1 = new TInfoLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Plain text: a file name must never be taken for markup.
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(8, 8, 225, 53);
    Label1->setFixedSize(225, 53);
}

void TInfo1::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TInfo1::ShowInfo(const QString& text, int seconds)
{
    Label1->setText(kaptivus::dialogs::NormaliseLineBreaks(text));
    // A negative count is taken as 0 (never hides); a huge one saturates.
    const long long ms = std::clamp(static_cast<long long>(seconds) * 1000, 0LL,
                                    static_cast<long long>(std::numeric_limits<int>::max()));
    Timer1->setInterval(static_cast<int>(ms));
    Timer1->setEnabled(true);
    Timer2->setEnabled(true);
    Label1->update();
    QWidget* front = QApplication::activeWindow();
    if (front && front != this)
        m_returnFocusTo = front;
    setAttribute(Qt::WA_ShowWithoutActivating, front == nullptr);
    setTakesFocus(front != nullptr);
    show();
    if (front)
        activateWindow();
    FormActivate();
}

void TInfo1::FormActivate()
{
    if (!isVisible())
        return;
    raise();
    // Paint now, even when the caller goes on working without returning to the loop.
    QCoreApplication::processEvents();
}

void TInfo1::FormKeyPress(QChar key)
{
    if (key.unicode() == 27)
        hide();
}

void TInfo1::Timer1Timer()
{
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    hide();
}

void TInfo1::Timer2Timer()
{
    FormActivate();
}

bool TInfo1::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return handled;
}

// Keys reach the window before any control; only Escape does anything, and
// the timers keep running.
void TInfo1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        FormKeyPress(QChar(27));
    else if (!event->text().isEmpty())
        FormKeyPress(event->text().at(0));
    event->accept();
}

void TInfo1::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    setTakesFocus(true);
    activateWindow();
}

void TInfo1::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (QApplication::activeWindow() == this && m_returnFocusTo && m_returnFocusTo->isVisible())
        m_returnFocusTo->activateWindow();
    m_returnFocusTo = nullptr;
    setTakesFocus(false);
}

void TInfo1::setTakesFocus(bool takes)
{
    winId(); // the native window, so that the flag reaches the window manager
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowDoesNotAcceptFocus, !takes);
}

// The close box hides, like Escape; the countdown goes on.
void TInfo1::closeEvent(QCloseEvent* event)
{
    event->accept();
    hide();
}
