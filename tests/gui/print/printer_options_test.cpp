// The printer page's own behaviour: the copies box, the footer text prompt and
// the printer list kept by the "Printer" setting.
#include "print_fixture.h"

#include "print/PrintTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

using namespace kaptivus::print::testing;

TEST_F(PrintTest, CopiesBoxTakesNumbersAndSwallowsEnter)
{
    main1->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main1.get()));
    QSignalSpy clicks(main1->BitBtn1, &QPushButton::clicked);
    const struct {
        const char* typed;
        int count;       // the count afterwards
        bool complaint;  // an error box, the count kept
    } cases[] = {{"7", 7, false}, {"42", 42, false}, {"0", 1, false}, {"", 1, true}};
    main1->UpDown6->setValue(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        QString shown;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown = box->text();
                box->accept();
            }
        });
        main1->Edit8->setFocus();
        main1->Edit8->selectAll();
        main1->Edit8->del();
        QTest::keyClicks(main1->Edit8, QString::fromLatin1(c.typed));
        QTest::keyClick(main1->Edit8, Qt::Key_Return);
        EXPECT_EQ(main1->UpDown6->value(), c.count);
        EXPECT_EQ(main1->Edit8->text(), QString::number(c.count));
        EXPECT_EQ(!shown.isEmpty(), c.complaint) << shown.toStdString();
    }
    // Enter in the box sets the count; it never starts the print job.
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(cups().jobFiles().isEmpty());
}

TEST_F(PrintTest, FooterPromptCutsAtEightyAndCancelKeepsTheText)
{
    const struct {
        QString answer;
        bool cancel;
        QString footer;
    } cases[] = {
        {QString(100, QLatin1Char('a')), false, QString(80, QLatin1Char('a'))},
        {QStringLiteral("ignored"), true, QString(80, QLatin1Char('a'))},
        {QStringLiteral("Atelier"), false, QStringLiteral("Atelier")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        QString caption, prompt;
        kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
            auto* box = qobject_cast<QInputDialog*>(modal);
            if (!box)
                return;
            caption = box->windowTitle();
            prompt = box->labelText();
            box->setTextValue(c.answer);
            c.cancel ? box->reject() : box->accept();
        });
        main1->DefineFooterText1->trigger();
        EXPECT_EQ(caption, QStringLiteral("Page footer Text"));
        EXPECT_EQ(prompt, QStringLiteral("Enter the Text (Max 80 char)"));
        EXPECT_EQ(tray->Footer, c.footer);
        EXPECT_EQ(main1->CheckBox9->toolTip(), c.footer);
    }
}

TEST_F(PrintTest, ChosenPrinterIsSelectedAgainAtTheNextStartAndUsed)
{
    ASSERT_TRUE(cups().addQueue(QStringLiteral("Second")));
    // The list is made when the window is: a new window sees the new queue.
    MainWindowTest::TearDown();
    MainWindowTest::SetUp();
    info = std::make_unique<TInfo1>();
    tray->Info1 = info.get();
    const int second = main1->ComboBox2->findText(QStringLiteral("Second"));
    ASSERT_GE(second, 0);
    EXPECT_EQ(main1->ComboBox2->currentIndex(), main1->ComboBox2->count() - 1); // "Imprimante" at first start
    main1->ComboBox2->setCurrentIndex(second);
    main1->ComboBox2Change();
    main1->close(); // writes the settings
    MainWindowTest::TearDown();
    tray = std::make_unique<TTray1>();
    main1 = std::make_unique<TMain1>(tray.get());
    main1->FormCreate();
    EXPECT_EQ(main1->ComboBox2->currentText(), QStringLiteral("Second"));
    tray->Info1 = info.get();
    main1->setShownPicture(kaptivus::picture::testing::MakeBlockCapture(20, 10));
    QString notice;
    QObject::connect(main1.get(), &TMain1::copyPrinted, [&] { notice = info->Label1->text(); });
    main1->BitBtn1Click();
    EXPECT_EQ(notice, kaptivus::print::SentNotice(QStringLiteral("Second"), 1));
}

TEST_F(PrintTest, ImprimanteOpensTheSetUpDialogOfTheSelectedPrinter)
{
    QString seen;
    kaptivus::test::dialogs::ModalWatcher watcher([&](QWidget* modal) {
        seen = modal->objectName();
        static_cast<QDialog*>(modal)->reject();
    });
    main1->ToolButton8->click();
    EXPECT_EQ(seen, QStringLiteral("PrinterSetupDialog1"));
    EXPECT_EQ(watcher.seen, 1);
}
