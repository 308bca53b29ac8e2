#include "print/PrintJob.h"

#include "print/PrintQueue.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

namespace kaptivus::print {

namespace {

QFont FooterFont(int points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    return font;
}

// The queue's page at its own resolution: its default paper (or the one
// chosen), its printable margins, the requested orientation. The queue lays a
// landscape page onto the sheet turned a quarter left, so the sheet's bottom
// margin becomes the page's left one and so on round; taking the portrait
// margins unturned would put a bottom-right picture into the unprintable edge.
QPageLayout QueuePage(const QPrinterInfo& info, const PrintOptions& o, int resolution)
{
    QPrinter native(info, QPrinter::HighResolution);
    native.setResolution(resolution);
    native.setPageSize(o.pageSize.isValid() ? o.pageSize : info.defaultPageSize());
    native.setPageOrientation(QPageLayout::Portrait);
    const QPageLayout portrait = native.pageLayout();
    if (o.portrait)
        return portrait;
    const QMarginsF m = portrait.margins();
    return QPageLayout(portrait.pageSize(), QPageLayout::Landscape,
                       QMarginsF(m.bottom(), m.left(), m.top(), m.right()), portrait.units());
}

PageRequest MakeRequest(const QImage& picture, const PrintOptions& o, int resolution, QSize screenDpi,
                        QSize printable, int textHeight)
{
    PageRequest q;
    q.pictureWidth = picture.width();
    q.pictureHeight = picture.height();
    q.printerDpiX = q.printerDpiY = resolution;
    q.screenDpiX = screenDpi.width();
    q.screenDpiY = screenDpi.height();
    q.pageWidth = printable.width();
    q.pageHeight = printable.height();
    q.textHeight = textHeight;
    q.footerLines = int(o.footerLines.size());
    q.scaling = o.scaling;
    q.imagePercent = o.imagePercent;
    q.pagePercent = o.pagePercent;
    q.keepProportions = o.keepProportions;
    q.alignment = o.alignment;
    return q;
}

// Paints the page; false when the document could not be written.
bool PaintPage(QPrinter& printer, const QImage& picture, const PrintOptions& o, QSize screenDpi,
               const std::function<void()>& letEventsRun, CopyOutcome& out)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFont font = FooterFont(o.footerPoints);
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    const QSize printable = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    out.layout = ComputePageLayout(MakeRequest(picture, o, printer.resolution(), screenDpi, printable,
                                               metrics.height()));
    const PageLayout& l = out.layout;
    letEventsRun();
    // The picture goes out at its own size and colours, losslessly; the page
    // description scales it into the destination rectangle.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.drawImage(QRect(l.x, l.y, l.width, l.height), picture);
    letEventsRun();
    // Text positions are the top of each line; Qt draws at the baseline.
    for (int i = 0; i < o.footerLines.size(); ++i)
        painter.drawText(QPoint(l.footerX, l.footerY + i * l.footerStep + metrics.ascent()), o.footerLines[i]);
    return painter.end();
}

} // namespace

QString FooterFontFamily()
{
    return QFontInfo(FooterFont(8)).family();
}

CopyOutcome PrintCopy(const QImage& picture, const PrintOptions& options, const QString& queue,
                      const QString& documentName, QSize screenDpi, const std::function<void()>& letEventsRun)
{
    CopyOutcome out;
    const QPrinterInfo info = QPrinterInfo::printerInfo(queue);
    if (queue.isEmpty() || info.isNull()) {
        out.error = QueueProblem(queue);
        if (out.error.isEmpty())
            out.error = QStringLiteral("the printer is not known to this program");
        return out;
    }
    const Resolution dpi = QueueResolution(queue);
    out.resolution = dpi.x > 0 ? dpi.x : 600;

    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/kaptivus-print-XXXXXX.pdf"));
    if (!file.open()) {
        out.error = QStringLiteral("the print file could not be made in ") + QDir::tempPath();
        return out;
    }
    file.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file.fileName());
    printer.setResolution(out.resolution);
    printer.setPageLayout(QueuePage(info, options, out.resolution));
    printer.setDocName(documentName);
    printer.setCreator(QStringLiteral("Kaptivus 2000"));
    if (!PaintPage(printer, picture, options, screenDpi, letEventsRun, out)) {
        out.error = QStringLiteral("the page could not be written to ") + file.fileName();
        return out;
    }
    letEventsRun();
    const QueueResult sent = SubmitPdf(queue, file.fileName(), documentName,
                                       options.pageSize.isValid() ? options.pageSize.key() : QString());
    out.ok = sent.ok();
    out.jobId = sent.jobId;
    out.error = sent.error;
    return out;
}

} // namespace kaptivus::print
