// A menu command or button that fails reports its error inside its own
// handler: the exception never unwinds through Qt's menu, shortcut or button
// code (built without exception support, whose clean-up it would skip), so the
// menus keep working afterwards. This program's application object is plain
// Qt: an exception that escaped a handler would end the test.
#include "main_fixture.h"

#include "dialogs/ErrorReport.h"
#include "dialogs/SystemInfo.h"
#include "files/ui/Editor.h"
#include "tests/gui/dialogs/dialogs_wait.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QToolButton>

namespace kaptivus::picture::testing {
namespace {

// A real click (XTest) at a point of the widget.
void ClickAt(QWidget* widget, QPoint local)
{
    const QPoint global = widget->mapToGlobal(local);
    kaptivus::test::movePointer(global.x(), global.y());
    kaptivus::test::clickButton(1);
}

// Opens the File menu from the menu bar and clicks one of its items.
bool ClickFileMenuItem(TMain1& main1, QAction* item)
{
    ClickAt(main1.MainMenu1, main1.MainMenu1->actionGeometry(main1.File1->menuAction()).center());
    if (!WaitFor([&] { return main1.File1->isVisible(); }))
        return false;
    ClickAt(main1.File1, main1.File1->actionGeometry(item).center());
    return true;
}

// A clipboard that offers a PNG picture that is no PNG.
void OfferBrokenPicture()
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n cut short"));
    QGuiApplication::clipboard()->setMimeData(data);
}

class CommandErrorTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        showPicture(20, 10);
        main1->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main1.get()));
    }
    void TearDown() override
    {
        QDir().rmdir(handOffFile());
        MainWindowTest::TearDown();
    }
    // Where the hand-off goes: the runtime folder when there is one.
    QString handOffFile() const
    {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        return files::ui::HandOffFileName(QDir::isAbsolutePath(runtime) ? runtime + QLatin1Char('/')
                                                                       : main1->SystemInfo1->TempDirectory());
    }
};

TEST_F(CommandErrorTest, FailingEditOrPasteDoesNotThrowThroughQtsMenus)
{
    const struct {
        const char* name;
        std::function<void()> breakIt;
        std::function<bool()> run;
        QString textStart;
    } cases[] = {
        {"Editer from the menu", [&] { QDir().mkpath(handOffFile()); },
         [&] { return ClickFileMenuItem(*main1, main1->EditthePicture1); }, QString()},
        {"Editer by Ctrl+E", [&] { QDir().mkpath(handOffFile()); },
         [] { return kaptivus::test::pressKey(0x65, kaptivus::test::Ctrl); }, QString()},
        {"Coller from the menu", OfferBrokenPicture,
         [&] { return ClickFileMenuItem(*main1, main1->PastePicturefromClipboard1); },
         QStringLiteral("The picture on the clipboard (image/png) could not be read")},
        {"Coller on the tool bar", OfferBrokenPicture,
         [&] { ClickAt(main1->ToolButton3, main1->ToolButton3->rect().center()); return true; },
         QStringLiteral("The picture on the clipboard (image/png) could not be read")},
    };
    QSignalSpy triggered(main1->MainMenu1, &QMenuBar::triggered);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt();
        std::vector<QString> boxes;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes.push_back(box->objectName() + QLatin1Char('|') + box->text());
                box->accept();
            }
        });
        ASSERT_TRUE(c.run());
        ASSERT_TRUE(WaitFor([&] { return !boxes.empty() && !QApplication::activeModalWidget(); }));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].startsWith(QString::fromLatin1(kaptivus::dialogs::ErrorBoxName) + QLatin1Char('|') +
                                        c.textStart))
            << boxes[0].toStdString();
        EXPECT_TRUE(main1->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // The menus still work: a later item of the same menu is triggered and
        // reported up to the menu bar as usual.
        triggered.clear();
        ASSERT_TRUE(ClickFileMenuItem(*main1, main1->CopyPicturetoClipboard1));
        EXPECT_TRUE(WaitFor([&] { return triggered.count() == 1; }));
        QDir().rmdir(handOffFile());
    }
}

} // namespace
} // namespace kaptivus::picture::testing
