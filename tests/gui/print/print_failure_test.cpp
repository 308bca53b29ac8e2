// A copy the queue does not take: the user is told which printer and why, the
// window comes back, and nothing is reported as sent.
#include "print_fixture.h"

#include <QComboBox>
#include <QMessageBox>

#include <stdexcept>
#include <utility>

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

namespace {

// The agent, whose notice of a sent copy fails once when asked to: an error
// thrown from inside the print job, after the queue took the first copy.
class AgentWithFailingNotice : public TTray1 {
public:
    void ShowInfo(const QString& text, int seconds) override
    {
        if (std::exchange(failNext, false))
            throw std::runtime_error("the notice could not be shown");
        TTray1::ShowInfo(text, seconds);
    }
    bool failNext = false;
};

} // namespace

TEST_F(PrintTest, AnErrorInsideTheJobLeavesNoWindowDisabledNorLaterPrintRefused)
{
    // The same window on an agent whose notice can fail.
    tray->Main1 = nullptr;
    tray->Info1 = nullptr;
    main1.reset();
    auto agent = std::make_unique<AgentWithFailingNotice>();
    AgentWithFailingNotice* failing = agent.get();
    tray = std::move(agent);
    main1 = std::make_unique<TMain1>(tray.get());
    tray->Main1 = main1.get();
    tray->Info1 = info.get();
    main1->FormCreate();
    main1->Sound1->setChecked(false);
    tray->setPrintJob([this] { main1->BitBtn1Click(); });
    main1->ComboBox2->setCurrentIndex(0);
    main1->UpDown6->setValue(2);
    const std::vector<std::pair<const char*, std::function<void()>>> starts = {
        {"the print button", [this] {
             main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
             main1->show();
             main1->BitBtn1Click();
         }},
        {"a direct-print hotkey", [this] {
             main1->hide();
             tray->DirectPrintNoDialog1->setChecked(true); // the agent's twin decides the route
             tray->HotkeyPressed(101);
         }},
    };
    int jobs = 0;
    for (const auto& [name, start] : starts) {
        SCOPED_TRACE(name);
        failing->failNext = true;
        QString shown;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown = box->text();
                box->accept();
            }
        });
        start();
        EXPECT_EQ(shown, QStringLiteral("the notice could not be shown"));
        ASSERT_TRUE(cups().waitForJobs(++jobs)); // the first copy went out, the second not
        EXPECT_TRUE(main1->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(tray->CaptureBusy) << "every later hotkey would be refused";
        // The next print is not refused.
        tray->DirectPrintNoDialog1->setChecked(false);
        main1->UpDown6->setValue(1);
        main1->BitBtn1Click();
        ASSERT_TRUE(cups().waitForJobs(++jobs));
        main1->UpDown6->setValue(2);
    }
}
