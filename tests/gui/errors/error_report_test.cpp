// The general error report: whatever leaves a handler ends in one "Erreur" box
// after the bell, the hourglass goes away and the program goes on; a picture
// too big for memory says so instead of ending the agent.
#include "../dialogs/dialogs_wait.h"
#include "BellWatcher.h"

#include "app/Tray.h"
#include "dialogs/ErrorReport.h"
#include "dialogs/WaitCursor.h"
#include "picture/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using kaptivus::test::dialogs::waitFor;

namespace {

struct BoxSeen {
    QString name;
    QString caption;
    QString text;
    QString button;
    bool hourglass = true;
};

// Records every message box while it is open, lets `meanwhile` run, then
// presses its OK button. Boxes are told apart by a mark, not by address: two
// boxes in a row may well share one.
class BoxCollector : public QObject {
public:
    explicit BoxCollector(std::function<void(QMessageBox*)> meanwhile = {})
        : m_meanwhile(std::move(meanwhile))
    {
        startTimer(10);
    }
    std::vector<BoxSeen> seen;

protected:
    void timerEvent(QTimerEvent*) override
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("collected").toBool())
            return;
        box->setProperty("collected", true);
        QAbstractButton* ok = box->buttons().value(0);
        seen.push_back({box->objectName(), box->windowTitle(), box->text(), ok ? ok->text() : QString(),
                        QApplication::overrideCursor() != nullptr});
        if (m_meanwhile)
            m_meanwhile(box);
        if (ok)
            ok->click();
    }

private:
    std::function<void(QMessageBox*)> m_meanwhile;
};

void expectErrorBox(const std::vector<BoxSeen>& seen, const QString& text)
{
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, kaptivus::dialogs::ErrorBoxName);
    EXPECT_EQ(seen[0].caption, "Erreur");
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].button, "OK");
    EXPECT_FALSE(seen[0].hourglass) << "the box was shown under the hourglass";
}

struct Thrower {
    const char* name;
    std::function<void()> fail;
    QString message;
};

TEST(ErrorReport, AnExceptionLeavingAHandlerIsShownOnceAndTheProgramGoesOn)
{
    const std::vector<Thrower> throwers = {
        {"a user error", [] { throw kaptivus::dialogs::UserError("Can Not read Picture type"); },
         "Can Not read Picture type"},
        {"a library error", [] { throw std::runtime_error("disk full"); }, "disk full"},
        {"a failed allocation", [] { throw std::bad_alloc(); }, "Not enough memory"},
        {"something that is no exception", [] { throw 42; }, "Unknown error"},
    };
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Go"), &window);
    button->resize(80, 30);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    for (const Thrower& thrower : throwers) {
        SCOPED_TRACE(thrower.name);
        int clicks = 0;
        const auto connection = QObject::connect(button, &QPushButton::clicked, [&] {
            if (++clicks > 1)
                return;
            // A long operation that fails midway: its own hourglass, and one
            // left behind by code that forgot to restore it.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            kaptivus::dialogs::WaitCursor busy;
            thrower.fail();
        });
        kaptivus::test::BellWatcher bells;
        BoxCollector boxes;
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return !boxes.seen.empty() && !QApplication::activeModalWidget(); }));
        expectErrorBox(boxes.seen, thrower.message);
        EXPECT_TRUE(!bells.isWatching() || bells.waitForCount(1)) << "no exclamation beep";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // The same handler runs again, and a timer still fires.
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(clicks, 2);
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        EXPECT_TRUE(waitFor([&] { return fired; }));
        EXPECT_EQ(boxes.seen.size(), 1u);
        QObject::disconnect(connection);
    }
}

int visibleErrorBoxes()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->isVisible() && w->objectName() == kaptivus::dialogs::ErrorBoxName;
    return n;
}

TEST(ErrorReport, ErrorsWhileABoxIsOpenAreShownAfterItOnceEachNotStacked)
{
    // The first failure opens its box; meanwhile another handler fails again
    // and again with one message of its own.
    QTimer first;
    first.setSingleShot(true);
    QObject::connect(&first, &QTimer::timeout, [] { throw kaptivus::dialogs::UserError("first"); });
    int repeats = 0;
    QTimer again;
    again.setInterval(5);
    QObject::connect(&again, &QTimer::timeout, [&] {
        ++repeats;
        throw kaptivus::dialogs::UserError("again");
    });
    int mostAtOnce = 0;
    BoxCollector boxes([&](QMessageBox*) {
        if (again.isActive()) {
            EXPECT_TRUE(waitFor([&] { return repeats >= 3; }));
            again.stop();
        }
        mostAtOnce = std::max(mostAtOnce, visibleErrorBoxes());
    });
    first.start(0);
    again.start();
    ASSERT_TRUE(waitFor([&] { return !again.isActive() && !QApplication::activeModalWidget(); }));
    std::vector<QString> texts;
    for (const BoxSeen& box : boxes.seen)
        texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<QString>{"first", "again"}));
    EXPECT_EQ(mostAtOnce, 1);
}

// An agent whose area selection is "chosen" at once and leaves the capture as it is.
class AgentChoosingNothingNew : public TTray1 {
public:
    bool CaptureArea() override { return true; }
};

// A fresh agent and picture window holding a capture whose working buffers
// cannot exist: 30000 × 24000 pixels at 24 bits is over 2 GB.
class PictureMemoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tray = std::make_unique<AgentChoosingNothingNew>();
        main1 = std::make_unique<TMain1>(tray.get());
        tray->Main1 = main1.get();
        main1->FormCreate();
        main1->Sound1->setChecked(false);
        tray->CaptureBitmap =
            kaptivus::pixels::Picture::create(30000, 24000, kaptivus::pixels::PixelFormat::Bits1);
        ASSERT_FALSE(tray->CaptureBitmap.isEmpty());
    }
    void TearDown() override
    {
        main1->hide();
        tray->Main1 = nullptr;
        main1.reset();
        tray.reset();
    }
    std::unique_ptr<TTray1> tray;
    std::unique_ptr<TMain1> main1;
};

TEST_F(PictureMemoryTest, APictureTooBigForMemoryIsReportedNotFatal)
{
    const std::vector<std::pair<const char*, std::function<void()>>> runs = {
        {"a check box of the options page",
         [&] {
             main1->show();
             ASSERT_TRUE(waitFor([&] { return main1->CheckBox1->isVisible(); }));
             QTest::mouseClick(main1->CheckBox1, Qt::LeftButton);
         }},
        {"a hotkey capture",
         [&] {
             // An area capture whose choice leaves the huge picture in place.
             tray->CaptureBusy = false;
             QMetaObject::invokeMethod(tray.get(), [&] { tray->HotkeyPressed(107); }, Qt::QueuedConnection);
         }},
    };
    for (const auto& [name, run] : runs) {
        SCOPED_TRACE(name);
        BoxCollector boxes;
        run();
        ASSERT_TRUE(waitFor([&] { return !boxes.seen.empty() && !QApplication::activeModalWidget(); }));
        expectErrorBox(boxes.seen, "Not enough memory for a picture of 30000 x 24000");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(main1->BitBtn1->isEnabled());
        EXPECT_FALSE(tray->CaptureBusy) << "the next hotkey would be refused";
    }
}

} // namespace
