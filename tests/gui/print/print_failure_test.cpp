// A copy the queue does not take: the user is told which printer and why, the
// window comes back, and nothing is reported as sent.
#include "print_fixture.h"

#include <QComboBox>
#include <QMessageBox>

using namespace kaptivus::print::testing;

TEST_F(PrintTest, FailureNamesThePrinterAndTheReasonAndSendsNothing)
{
    const struct {
        const char* name;
        std::function<void(kaptivus::test::PrivateCups&)> breakIt;
        const char* reason; // a part of the reason the box must give
    } cases[] = {
        {"queue refuses jobs", [](kaptivus::test::PrivateCups& c) { c.rejectJobs(kQueue); }, "not accepting jobs"},
        {"printer vanished", [](kaptivus::test::PrivateCups& c) { c.removeQueue(kQueue); }, "does not exist"},
        {"print system stopped", [](kaptivus::test::PrivateCups& c) { c.stop(); }, "print system"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh scheduler and queue for each way of failing.
        ASSERT_NO_FATAL_FAILURE(startCups());
        main1->ComboBox2->setCurrentIndex(0); // the queue by its name
        ASSERT_EQ(main1->ComboBox2->currentText(), kQueue);
        main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
        main1->UpDown6->setValue(3);
        main1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
        notices.clear();
        c.breakIt(cups());
        QString shown;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown = box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
            }
        });
        main1->BitBtn1Click();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("Erreur|"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(kQueue)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QString::fromLatin1(c.reason), Qt::CaseInsensitive)) << shown.toStdString();
        EXPECT_TRUE(notices.isEmpty());
        EXPECT_TRUE(cups().jobFiles().isEmpty());
        EXPECT_TRUE(main1->isEnabled());
        EXPECT_TRUE(main1->isVisible()); // not closed after a failure
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}
