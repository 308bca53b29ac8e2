// The colour dialog of the swatches and the small printer page handlers.
#include "main_fixture.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kaptivus::picture::testing {
namespace {

// Answers the next modal colour dialog from inside its own event loop.
void AnswerColourDialog(const QColor& colour, bool accept)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, colour, accept] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        dialog->setCurrentColor(colour);
        accept ? dialog->accept() : dialog->reject();
    });
    timer->start(10);
}

TEST_F(MainWindowTest, TheColourDialogOffersTheSixteenCustomColours)
{
    EXPECT_EQ(QColorDialog::customColor(0), QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(QColorDialog::customColor(1), QColor(0xEE, 0xDD, 0xDD)); // ColorB=DDDDEE is BBGGRR
    EXPECT_EQ(QColorDialog::customColor(5), QColor(0xEE, 0xEE, 0x99));
    EXPECT_EQ(QColorDialog::customColor(7), QColor(0xEE, 0xAA, 0xAA));
    EXPECT_EQ(QColorDialog::customColor(15), QColor(0x70, 0x70, 0x70));
}

TEST_F(MainWindowTest, ExchangeSwatchesTakeTheChosenColourWithoutARebuild)
{
    showPicture(20, 20);
    AnswerColourDialog(QColor(10, 20, 30), true);
    main1->Panel2Click();
    EXPECT_EQ(main1->Panel2->color(), 0x1E140Au);
    AnswerColourDialog(QColor(1, 2, 3), false);
    main1->Panel3Click();
    EXPECT_EQ(main1->Panel3->color(), 0xFFFFFFu);
    EXPECT_EQ(runs->count(), 0);
}

TEST_F(MainWindowTest, TheFrameSwatchRebuildsOnlyWhenConfirmed)
{
    showPicture(20, 20);
    AnswerColourDialog(QColor(1, 2, 3), false);
    main1->Panel4Click();
    EXPECT_EQ(runs->count(), 0);
    EXPECT_EQ(main1->Panel4->color(), 0u);
    AnswerColourDialog(QColor(200, 0, 0), true);
    main1->Panel4Click();
    EXPECT_EQ(main1->Panel4->color(), 0x0000C8u);
    EXPECT_EQ(runs->count(), 1);
}

TEST_F(MainWindowTest, PrinterPageClicksRestoreTheirValues)
{
    main1->UpDown6->setValue(42);
    main1->UpDown1->setValue(250);
    main1->UpDown5->setValue(30);
    QTest::mouseClick(main1->Label8, Qt::LeftButton);
    QTest::mouseClick(main1->Edit3, Qt::LeftButton);
    QTest::mouseClick(main1->Edit7, Qt::LeftButton);
    EXPECT_EQ(main1->UpDown6->value(), 1);
    EXPECT_EQ(main1->UpDown1->value(), 100);
    EXPECT_EQ(main1->UpDown5->value(), 100);
    main1->UpDown1->stepUp();
    EXPECT_EQ(main1->UpDown1->value(), 105);
}

TEST_F(MainWindowTest, CopiesTakeAtMostTwoDigits)
{
    main1->Edit8->selectAll();
    QTest::keyClicks(main1->Edit8, QStringLiteral("123"));
    EXPECT_EQ(main1->Edit8->text(), QStringLiteral("12"));
}

TEST_F(MainWindowTest, ChoosingAPrinterKeepsItsName)
{
    main1->ComboBox2->addItem(QStringLiteral("Atelier"));
    main1->ComboBox2->setCurrentIndex(main1->ComboBox2->count() - 1);
    main1->ComboBox2Change();
    EXPECT_EQ(tray->Printer, QStringLiteral("Atelier"));
    EXPECT_EQ(main1->BitBtn1->toolTip(), QStringLiteral("C'est parti !\r\nAtelier"));
}

} // namespace
} // namespace kaptivus::picture::testing
