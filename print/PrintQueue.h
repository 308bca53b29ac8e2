// The system's print queues through the CUPS client library: the default
// queue, a queue's resolution, and handing a finished PDF to a queue as one
// job. The job counts as sent only once the scheduler has given it a number.
#pragma once

#include <QString>
#include <QStringList>

namespace kaptivus::print {

struct QueueResult {
    int jobId = 0;
    QString error; // why the queue did not take the job
    bool ok() const { return jobId > 0; }
};

// Why the queue cannot take a job right now (it does not exist, the print
// system is not running), or empty when it is there. For no queue at all (the
// default printer asked for and none set), why there is none.
QString QueueProblem(const QString& queue);
// Why there is no default queue, naming the installed ones when there are any.
QString NoDefaultQueueProblem(bool schedulerAnswers, const QStringList& installed);
// The names of the queues the print system offers, in its order.
QStringList InstalledQueues();
// The name of the system's default queue, or empty when there is none (or no scheduler).
QString DefaultQueue();
// The queue's default resolution in dots per inch (horizontal, vertical);
// {0, 0} when the queue does not say.
struct Resolution {
    int x = 0;
    int y = 0;
};
Resolution QueueResolution(const QString& queue);
// Sends the PDF file to the queue as one job with the given title, on the
// paper named by `media` (a paper key such as "A4"; empty: the queue's own).
QueueResult SubmitPdf(const QString& queue, const QString& pdfPath, const QString& title,
                      const QString& media = {});

} // namespace kaptivus::print
