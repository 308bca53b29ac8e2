// The system's print queues through the CUPS client library: the default
// queue, a queue's resolution, and handing a finished PDF to a queue as one
// job. The job counts as sent only once the scheduler has given it a number.
#pragma once

#include <QString>

namespace kaptivus::print {

struct QueueResult {
    int jobId = 0;
    QString error; // why the queue did not take the job
    bool ok() const { return jobId > 0; }
};

// Why the queue cannot take a job right now (it does not exist, the print
// system is not running), or empty when it is there.
QString QueueProblem(const QString& queue);
// The name of the system's default queue, or empty when there is none (or no scheduler).
QString DefaultQueue();
// The queue's default resolution in dots per inch (horizontal, vertical);
// {0, 0} when the queue does not say.
struct Resolution {
    int x = 0;
    int y = 0;
};
Resolution QueueResolution(const QString& queue);
// Sends the PDF file to the queue as one job with the given title.
QueueResult SubmitPdf(const QString& queue, const QString& pdfPath, const QString& title);

} // namespace kaptivus::print
