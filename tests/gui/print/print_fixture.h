// A picture window printing through a private CUPS scheduler with one PDF
// queue at 600 dpi on Letter paper, and the tools that read what came out.
#pragma once

#include "PrivateCups.h"
#include "dialogs/Info.h"
#include "tests/gui/dialogs/dialogs_wait.h"
#include "tests/gui/picture/main_fixture.h"

#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

namespace kaptivus::print::testing {

using kaptivus::picture::testing::MainWindowTest;

inline const QString kQueue = QStringLiteral("KaptivusPDF");

// Runs a poppler tool; its standard output, or empty when it failed.
inline QByteArray Poppler(const QString& tool, const QStringList& arguments)
{
    QProcess p;
    p.start(tool, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

// The first page rendered at the queue's 600 dpi.
inline QImage RenderPage(const QString& pdf)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    Poppler(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("600"), QStringLiteral("-singlefile"),
                                         pdf, base});
    QImageReader::setAllocationLimit(0); // a Letter page at 600 dpi is 134 MB in RGB32
    return QImage(base + QStringLiteral(".ppm"));
}

// The bounding box of everything that is not white, on a page of 8-bit RGB.
inline QRect InkBox(const QImage& image)
{
    const QImage page = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if ((line[3 * x] & line[3 * x + 1] & line[3 * x + 2]) == 0xFF)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

class PrintTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startCups());
        MainWindowTest::SetUp();
        // Each notice is read from the information window as its copy is reported.
        info = std::make_unique<TInfo1>();
        tray->Info1 = info.get();
        QObject::connect(main1.get(), &TMain1::copyPrinted, info.get(), [this] {
            notices << info->Label1->text();
            noticeShown << info->isVisible();
        });
    }

    void TearDown() override
    {
        if (!main1)
            return;
        tray->Info1 = nullptr;
        MainWindowTest::TearDown();
        info.reset();
    }

    // A fresh scheduler with the queue, the default one.
    void startCups()
    {
        cupsHolder.reset();
        cupsHolder = std::make_unique<test::PrivateCups>();
        ASSERT_TRUE(cups().start()) << cups().errorLog().toStdString();
        ASSERT_TRUE(cups().addQueue(kQueue, true));
    }
    test::PrivateCups& cups() { return *cupsHolder; }

    // Prints and waits until the queue has delivered the jobs.
    bool printAndWait(int jobs)
    {
        main1->BitBtn1Click();
        return cups().waitForJobs(jobs);
    }

    std::unique_ptr<test::PrivateCups> cupsHolder;
    std::unique_ptr<TInfo1> info;
    QStringList notices;
    QList<bool> noticeShown;
};

} // namespace kaptivus::print::testing
