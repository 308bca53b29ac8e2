// The picture window's printing: the print job over the copies, the printer
// choice and set-up, the copies box and the footer text prompt.
#include "picture/Main.h"

#include "dialogs/ErrorReport.h"
#include "dialogs/InputBox.h"
#include "dialogs/SystemInfo.h"
#include "dialogs/WaitCursor.h"
#include "print/PrintJob.h"
#include "print/PrintQueue.h"
#include "print/PrintTexts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QToolButton>

#include <optional>

using namespace kaptivus::print;

void TMain1::connectPrintHandlers()
{
    connect(BitBtn1, &QPushButton::clicked, this, &TMain1::BitBtn1Click);
    connect(PrintthePicture1, &QAction::triggered, this, &TMain1::PrintthePicture1Click);
    connect(ToolButton8, &QToolButton::clicked, this, &TMain1::ToolButton8Click);
    connect(DefineFooterText1, &QAction::triggered, this, &TMain1::DefineFooterText1Click);
    Edit8->installEventFilter(this);
}

// True when the event was the copies box's own and is used up.
bool TMain1::copiesBoxEvent(QObject* watched, QEvent* event)
{
    if (watched != Edit8)
        return false;
    if (event->type() == QEvent::FocusOut) {
        Edit8Exit();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Edit8KeyPress();
            return true; // Enter here sets the count and does not start the print job
        }
    }
    return false;
}

void TMain1::Edit8Exit()
{
    bool ok = false;
    const QString typed = Edit8->text().trimmed();
    const int count = typed.toInt(&ok, 10);
    if (!ok) {
        Edit8->setText(QString::number(UpDown6->value()));
        kaptivus::dialogs::ReportError(QStringLiteral("'") + typed + QStringLiteral("' is not a valid number of copies"));
        return;
    }
    UpDown6->setValue(std::clamp(count, UpDown6->minimum(), UpDown6->maximum()));
    Edit8->setText(QString::number(UpDown6->value()));
}

void TMain1::Edit8KeyPress() { Edit8Exit(); }

void TMain1::DefineFooterText1Click()
{
    if (!m_agent)
        return;
    const QString text = kaptivus::dialogs::InputBox(this, QStringLiteral("Page footer Text"),
                                                     QStringLiteral("Enter the Text (Max 80 char)"), m_agent->footer());
    m_agent->setFooter(text.left(80));
    CheckBox9->setToolTip(m_agent->footer());
}

void TMain1::PrintthePicture1Click() { BitBtn1Click(); }

TMain1::PrinterChoice TMain1::selectedPrinter() const
{
    const int index = ComboBox2->currentIndex();
    const int last = ComboBox2->count() - 1;
    if (index >= 0 && index < last)
        return {ComboBox2->itemText(index), ComboBox2->itemText(index)}; // a queue's own name
    // The default-printer entry, or nothing chosen: the system's default queue,
    // shown by its entry in the list when it has one.
    const QString queue = DefaultQueue();
    for (int i = 0; i < last; ++i)
        if (ComboBox2->itemText(i) == queue)
            return {queue, ComboBox2->itemText(i)};
    return {queue, queue.isEmpty() ? ComboBox2->itemText(last) : queue};
}

void TMain1::ToolButton8Click()
{
    const PrinterChoice printer = selectedPrinter();
    QThread::msleep(100);
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer.queue);
    if (printer.queue.isEmpty() || info.isNull()) {
        const QString problem = QueueProblem(printer.queue);
        kaptivus::dialogs::ReportError(FailureMessage(
            printer.shown, problem.isEmpty() ? QStringLiteral("the printer does not exist") : problem));
        return;
    }
    // The dialog opens on what the next job on this queue would print on. It
    // edits a PDF-format printer: on a queue's own printer Qt's dialog always
    // opens on the queue's default paper and may not hand the choice back.
    QPrinter setup(QPrinter::HighResolution);
    setup.setOutputFormat(QPrinter::PdfFormat);
    setup.setPageSize(m_setupPaper.value(printer.queue, info.defaultPageSize()));
    setup.setPageOrientation(RadioButton1->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape);
    QPageSetupDialog dialog(&setup, this);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QPageLayout chosen = setup.pageLayout();
    m_setupPaper.insert(printer.queue, chosen.pageSize());
    // The job takes its orientation from "Portrait"/"Paysage"; a choice made
    // here becomes theirs, so what the dialog showed is what prints.
    (chosen.orientation() == QPageLayout::Landscape ? RadioButton2 : RadioButton1)->setChecked(true);
}

PrintOptions TMain1::currentPrintOptions() const
{
    PrintOptions o;
    o.portrait = RadioButton1->isChecked();
    o.scaling = RadioButton6->isChecked() ? Scaling::PagePercent : Scaling::ImagePercent;
    o.imagePercent = UpDown1->value();
    o.pagePercent = UpDown5->value();
    o.keepProportions = CheckBox6->isChecked();
    o.alignment = static_cast<Alignment>(std::clamp(ComboBox3->currentIndex(), 0, 4));
    o.footerPoints = RadioButton3->isChecked() ? 12 : RadioButton4->isChecked() ? 10 : 8;
    if (CheckBox7->isChecked())
        o.footerLines << DateLine(QDateTime::currentDateTime());
    if (CheckBox8->isChecked())
        o.footerLines << UserSystemLine;
    if (CheckBox9->isChecked())
        o.footerLines << (m_agent ? m_agent->footer() : QString());
    return o;
}

PrintOptions TMain1::printOptionsFor(const QString& queue) const
{
    PrintOptions o = currentPrintOptions();
    o.pageSize = m_setupPaper.value(queue);
    return o;
}

namespace {

// The print job's hold on the window: the flag that refuses a second job, and
// for the first copy the hourglass and the disabled window. All of it is given
// back on every way out, an exception included; otherwise every later print
// would be refused and the window would stay dead.
class PrintingScope {
public:
    PrintingScope(QWidget& window, bool& printing)
        : m_window(window)
        , m_printing(printing)
    {
        m_printing = true;
        m_cursor.emplace();
        m_window.setEnabled(false);
    }
    ~PrintingScope()
    {
        releaseWindow();
        m_printing = false;
    }
    PrintingScope(const PrintingScope&) = delete;
    PrintingScope& operator=(const PrintingScope&) = delete;

    void releaseWindow()
    {
        m_cursor.reset();
        m_window.setEnabled(true);
    }

private:
    QWidget& m_window;
    bool& m_printing;
    std::optional<kaptivus::dialogs::WaitCursor> m_cursor;
};

} // namespace

void TMain1::BitBtn1Click()
{
    const int copies = UpDown6->value();
    if (m_printing || copies < 1)
        return;
    QString failure;
    const bool ran = kaptivus::dialogs::ReportFailures([&] {
        PrintingScope scope(*this, m_printing);
        const PrinterChoice printer = selectedPrinter();
        const QImage picture = Image1->image();
        const QString documentName = DocumentName(SystemInfo1->NetworkUserName());
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QSize screenDpi(qRound(screen->logicalDotsPerInchX()), qRound(screen->logicalDotsPerInchY()));
        for (int k = 1; k <= copies; ++k) {
            const CopyOutcome outcome = PrintCopy(picture, printOptionsFor(printer.queue), printer.queue, documentName,
                                                  screenDpi, [] { QCoreApplication::processEvents(); });
            if (!outcome.ok) {
                failure = FailureMessage(printer.shown, outcome.error);
                return; // no later copies, no close
            }
            if (m_agent)
                m_agent->ShowInfo(SentNotice(printer.shown, k), 2);
            emit copyPrinted(k, outcome.jobId);
            scope.releaseWindow(); // later copies print with the window usable
        }
    });
    if (!failure.isEmpty())
        kaptivus::dialogs::ReportError(failure);
    else if (ran && Closeafterprinting1->isChecked())
        close();
}
