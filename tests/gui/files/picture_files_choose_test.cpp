// Choose1, the default save settings: a mouse release over an extension or
// the transparency box changes the setting at once, the keyboard alone does
// not; "Défaut" restores the defaults; closing stores the base name; the
// folder browser sets the folder of numbered saves.
#include "picture_files_fixture.h"

#include "dialogs/SystemInfo.h"
#include "files/ui/Choose.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kaptivus::files::testing {
namespace {

namespace keysym {
constexpr uint32_t Right = 0xff53;
constexpr uint32_t Left = 0xff51;
constexpr uint32_t space = 0x20;
} // namespace keysym

// The agent's four settings on their own, for a dialog shown without a window.
struct Settings {
    QString autoFolder = QStringLiteral("/shots");
    QString defaultFile = QStringLiteral("Capture");
    QString defaultExt = QStringLiteral(".JPG");
    bool transparent = false;
    ui::TSaveSettings pointers() { return {&autoFolder, &defaultFile, &defaultExt, &transparent}; }
};

class ChooseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<TChoose1>(settings.pointers(), QStringLiteral("/tmp/"));
        dialog->show();
        ASSERT_TRUE(WaitFor([&] { return dialog->isActiveWindow(); }));
    }

    // A real click (XTest) on the control's mark, near its left end (the
    // layout may stretch the control well past its caption).
    static void click(QWidget* widget)
    {
        const QPoint centre = widget->mapToGlobal(QPoint(std::min(8, widget->width() / 2), widget->height() / 2));
        kaptivus::test::movePointer(centre.x(), centre.y());
        kaptivus::test::clickButton(1);
    }

    Settings settings;
    std::unique_ptr<TChoose1> dialog;
};

TEST_F(ChooseTest, OnlyAMouseReleaseOverAControlChangesItsSetting)
{
    struct Step {
        const char* label;
        std::function<void(TChoose1&)> act;
        std::function<bool(TChoose1&)> shown; // what the step visibly did
        const char* defaultExt;
        bool transparent;
    };
    const Step steps[] = {
        {"click BMP", [](TChoose1& d) { click(d.RadioButton3); },
         [](TChoose1& d) { return d.RadioButton3->isChecked(); }, ".BMP", false},
        {"arrow keys to EMF", [](TChoose1&) {
             kaptivus::test::pressKey(keysym::Right);
             kaptivus::test::pressKey(keysym::Right);
         }, [](TChoose1& d) { return d.RadioButton5->isChecked(); }, ".BMP", false},
        {"click PNG", [](TChoose1& d) { click(d.RadioButton7); },
         [](TChoose1& d) { return d.RadioButton7->isChecked(); }, ".PNG", false},
        {"arrow key back to GIF", [](TChoose1&) { kaptivus::test::pressKey(keysym::Left); },
         [](TChoose1& d) { return d.RadioButton6->isChecked(); }, ".PNG", false},
        {"click the box", [](TChoose1& d) { click(d.CheckBox1); },
         [](TChoose1& d) { return d.CheckBox1->isChecked(); }, ".PNG", true},
        {"space bar on the box", [](TChoose1&) { kaptivus::test::pressKey(keysym::space); },
         [](TChoose1& d) { return !d.CheckBox1->isChecked(); }, ".PNG", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.act(*dialog);
        ASSERT_TRUE(WaitFor([&] { return step.shown(*dialog); }));
        // A change queued by the release has had its turn once the loop runs again.
        QCoreApplication::processEvents();
        EXPECT_EQ(settings.defaultExt, QLatin1String(step.defaultExt));
        EXPECT_EQ(settings.transparent, step.transparent);
    }
    dialog->BitBtn1->click();
    EXPECT_EQ(settings.defaultExt, QStringLiteral(".PNG"));
    EXPECT_TRUE(settings.transparent);
}

TEST_F(ChooseTest, ShowsTheSettingsAndDefautThenOkLeavesTheDefaults)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kaptivus 2000 (choisir défauts)"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("/shots"));
    EXPECT_EQ(dialog->Edit1->text(), QStringLiteral("Capture"));
    EXPECT_EQ(dialog->Edit1->maxLength(), 28);
    EXPECT_TRUE(dialog->RadioButton2->isChecked());
    QStringList captions;
    for (QRadioButton* radio : dialog->RadioGroup1->findChildren<QRadioButton*>()) captions << radio->text();
    EXPECT_EQ(captions, QStringList({"JPEG", "JPG", "BMP", "WMF", "EMF", "GIF", "PNG"}));

    settings.transparent = true;
    dialog->FormActivate();
    EXPECT_TRUE(dialog->CheckBox1->isChecked());
    dialog->BitBtn2->click();
    EXPECT_TRUE(dialog->RadioButton6->isChecked());
    EXPECT_FALSE(dialog->CheckBox1->isChecked());
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("/tmp/"));
    dialog->BitBtn1->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.defaultExt, QStringLiteral(".GIF"));
    EXPECT_EQ(settings.defaultFile, QStringLiteral("MyPicture"));
    EXPECT_EQ(settings.autoFolder, QStringLiteral("/tmp/"));
    EXPECT_FALSE(settings.transparent);
}

TEST_F(ChooseTest, ClosingStoresTheNameWhicheverWayTheDialogCloses)
{
    // {name typed, way of closing}: an empty name is stored empty.
    const std::pair<QString, std::function<void(TChoose1&)>> cases[] = {
        {QString(), [](TChoose1& d) { d.BitBtn1->click(); }}, {"Desk", [](TChoose1& d) { d.close(); }},
        {"Esc", [](TChoose1& d) { d.reject(); }}};
    for (const auto& [typed, close] : cases) {
        SCOPED_TRACE(typed.toStdString());
        dialog->show();
        dialog->Edit1->setText(typed);
        close(*dialog);
        EXPECT_EQ(settings.defaultFile, typed);
    }
    // Longer names than the box takes are still cut to 127 characters when stored.
    dialog->Edit1->setMaxLength(32767);
    dialog->Edit1->setText(QString(200, QLatin1Char('n')));
    dialog->BitBtn1->click();
    EXPECT_EQ(settings.defaultFile, QString(127, QLatin1Char('n')));
}

TEST_F(ChooseTest, TheFolderBrowserSetsTheFolderOfNumberedSaves)
{
    QTemporaryDir chosen;
    // {folder chosen (empty: cancel), folder stored, folder shown}; the root
    // loses its separator when stored, yet shows as the root, also when the
    // dialog opens again.
    const struct {
        QString folder;
        QString stored;
        QString shown;
    } cases[] = {{chosen.path(), chosen.path(), chosen.path()},
                 {QString(), chosen.path(), chosen.path()},
                 {QStringLiteral("/"), QString(), QStringLiteral("/")}};
    for (const auto& [folder, stored, shown] : cases) {
        SCOPED_TRACE(folder.toStdString());
        QString title;
        ModalAnswers answers({[&](QWidget* modal) {
            auto* browser = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(browser, nullptr);
            title = browser->windowTitle();
            browser->setDirectory(folder.isEmpty() ? QDir::rootPath() : folder);
            browser->selectFile(folder);
            QMetaObject::invokeMethod(browser, folder.isEmpty() ? "reject" : "accept", Qt::QueuedConnection);
        }});
        dialog->Button1->click();
        EXPECT_EQ(title, QStringLiteral("Please select a Directory"));
        EXPECT_EQ(settings.autoFolder, stored);
        EXPECT_EQ(dialog->Label1->text(), shown);
        const TChoose1 again(settings.pointers(), QStringLiteral("/tmp/"));
        EXPECT_EQ(again.Label1->text(), shown);
    }
}

TEST_F(PictureFilesWindowTest, TheMenuItemBuildsANewDialogOnEachCallOnTheAgentsSettings)
{
    std::vector<QString> folders;
    const auto closeIt = [&](QWidget* modal) {
        auto* choose = qobject_cast<TChoose1*>(modal);
        ASSERT_NE(choose, nullptr);
        folders.push_back(choose->Label1->text());
        QMetaObject::invokeMethod(choose->BitBtn2, &QPushButton::click, Qt::QueuedConnection);
        QMetaObject::invokeMethod(choose, &QDialog::accept, Qt::QueuedConnection);
    };
    tray->AutoFolder = QStringLiteral("/first");
    ModalAnswers answers({closeIt, closeIt});
    main1->DefaultSaveFolder1->trigger();
    EXPECT_TRUE(main1->findChildren<TChoose1*>().isEmpty());
    main1->DefaultSaveFolder1->trigger();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], QStringLiteral("/first"));
    // "Défaut" in the first run set the agent's folder to the temporary one.
    EXPECT_EQ(folders[1], main1->SystemInfo1->TempDirectory());
    EXPECT_EQ(tray->DefaultFile, QStringLiteral("MyPicture"));
}

} // namespace
} // namespace kaptivus::files::testing
