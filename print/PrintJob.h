// One copy of the shown picture as one print job: the page laid out at the
// queue's own resolution, the picture in its true colours as one image, the
// footer lines, written as PDF and handed to the queue. Knows nothing of the
// picture window; the caller reads the options from its controls.
#pragma once

#include "print/PrintLayout.h"

#include <QImage>
#include <QPageSize>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace kaptivus::print {

struct PrintOptions {
    bool portrait = true;
    Scaling scaling = Scaling::ImagePercent;
    int imagePercent = 100;
    int pagePercent = 100;
    bool keepProportions = true;
    Alignment alignment = Alignment::Centred;
    int footerPoints = 8;
    QStringList footerLines; // the checked lines, in print order
    QPageSize pageSize;      // invalid: the queue's default paper
};

struct CopyOutcome {
    bool ok = false;
    QString error; // why the copy was not printed
    int jobId = 0;
    PageLayout layout;
    int resolution = 0;
};

// The footer font: the metric-compatible face the system maps "Arial" to.
QString FooterFontFamily();

// Prints one copy on the queue with the given document name. screenDpi is the
// screen's logical resolution; letEventsRun is called where a long job lets
// the window system breathe.
CopyOutcome PrintCopy(const QImage& picture, const PrintOptions& options, const QString& queue,
                      const QString& documentName, QSize screenDpi, const std::function<void()>& letEventsRun);

} // namespace kaptivus::print
