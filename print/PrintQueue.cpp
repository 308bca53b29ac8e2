#include "print/PrintQueue.h"

#include <QFile>

#include <cups/cups.h>

#include <memory>

namespace kaptivus::print {

namespace {

struct DestDeleter {
    void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
struct InfoDeleter {
    void operator()(cups_dinfo_t* i) const { cupsFreeDestInfo(i); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;

QString LastError()
{
    const char* text = cupsLastErrorString();
    return text && *text ? QString::fromUtf8(text) : QStringLiteral("the print system gave no reason");
}

bool SchedulerAnswers()
{
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr);
    if (!http)
        return false;
    httpClose(http);
    return true;
}

// A missing queue and an absent scheduler both come back as "not found" from
// the destination look-up; the two read differently to the user.
QString LookupError()
{
    const QString reason = LastError();
    if (!SchedulerAnswers())
        return QStringLiteral("the print system is not running (") + reason + QLatin1Char(')');
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
        return QStringLiteral("the printer does not exist (any more)");
    return reason;
}

DestPtr NamedDest(const QString& queue)
{
    return DestPtr(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), nullptr));
}

} // namespace

QString NoDefaultQueueProblem(bool schedulerAnswers, const QStringList& installed)
{
    if (!schedulerAnswers)
        return QStringLiteral("the print system is not running");
    if (installed.isEmpty())
        return QStringLiteral("no printer is installed");
    return QStringLiteral("no default printer is set; the installed printers are: ") +
           installed.join(QStringLiteral(", "));
}

QStringList InstalledQueues()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i)
        if (dests[i].name && !dests[i].instance && !names.contains(QString::fromUtf8(dests[i].name)))
            names << QString::fromUtf8(dests[i].name);
    cupsFreeDests(count, dests);
    return names;
}

QString QueueProblem(const QString& queue)
{
    if (queue.isEmpty()) {
        const bool answers = SchedulerAnswers();
        return NoDefaultQueueProblem(answers, answers ? InstalledQueues() : QStringList());
    }
    return NamedDest(queue) ? QString() : LookupError();
}

QString DefaultQueue()
{
    const DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    return dest && dest->name ? QString::fromUtf8(dest->name) : QString();
}

Resolution QueueResolution(const QString& queue)
{
    const DestPtr dest = NamedDest(queue);
    if (!dest)
        return {};
    const std::unique_ptr<cups_dinfo_t, InfoDeleter> info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
    if (!info)
        return {};
    ipp_attribute_t* attr = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest.get(), info.get(), "printer-resolution");
    if (!attr || ippGetValueTag(attr) != IPP_TAG_RESOLUTION)
        return {};
    int y = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int x = ippGetResolution(attr, 0, &y, &units);
    if (units == IPP_RES_PER_CM)
        return {int(x * 2.54 + 0.5), int(y * 2.54 + 0.5)};
    return {x, y};
}

QueueResult SubmitPdf(const QString& queue, const QString& pdfPath, const QString& title, const QString& media)
{
    QueueResult result;
    const DestPtr dest = queue.isEmpty() ? nullptr : NamedDest(queue);
    if (!dest) {
        result.error = QueueProblem(queue);
        return result;
    }
    cups_option_t* options = nullptr;
    int count = cupsAddOption("document-format", "application/pdf", 0, &options);
    // Without it the queue fits every page onto its default paper.
    if (!media.isEmpty())
        count = cupsAddOption("media", media.toUtf8().constData(), count, &options);
    result.jobId = cupsPrintFile2(CUPS_HTTP_DEFAULT, dest->name, QFile::encodeName(pdfPath).constData(),
                                  title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (!result.ok())
        result.error = LastError();
    return result;
}

} // namespace kaptivus::print
