// Qt's standard dialogs speak French once the program has loaded Qt's
// translation, while the program's own message boxes keep their texts.
#include "dialogs/InputBox.h"
#include "dialogs/QtTranslation.h"
#include "files/ui/FileMessages.h"

#include "dialogs_wait.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using kaptivus::test::dialogs::ModalWatcher;
using kaptivus::test::dialogs::waitFor;

namespace {

// The texts of a dialog's buttons, without their mnemonic marks.
QStringList ButtonTexts(const QWidget& dialog)
{
    QStringList texts;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->isVisibleTo(&dialog))
            texts << button->text().remove(QLatin1Char('&'));
    return texts;
}

} // namespace

TEST(QtTranslation, StandardDialogsSpeakFrenchAndOwnBoxesKeepTheirTexts)
{
    ASSERT_TRUE(kaptivus::dialogs::InstallQtTranslation(*qApp));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const struct {
        const char* name;
        std::function<std::unique_ptr<QDialog>()> make;
        QStringList buttons; // among the dialog's buttons
    } cases[] = {
        {"open picture",
         [] {
             auto d = std::make_unique<QFileDialog>();
             d->setOption(QFileDialog::DontUseNativeDialog);
             return std::unique_ptr<QDialog>(std::move(d));
         },
         {QStringLiteral("Ouvrir"), QStringLiteral("Annuler")}},
        {"colour",
         [] { return std::unique_ptr<QDialog>(new QColorDialog(Qt::red, nullptr)); },
         {QStringLiteral("OK"), QStringLiteral("Annuler")}},
        {"page set-up", [&] { return std::unique_ptr<QDialog>(new QPageSetupDialog(&printer)); },
         {QStringLiteral("OK"), QStringLiteral("Annuler")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        const QStringList texts = ButtonTexts(*dialog);
        for (const QString& wanted : c.buttons)
            EXPECT_TRUE(texts.contains(wanted)) << texts.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(texts.contains(QStringLiteral("Cancel"))) << texts.join(QLatin1Char('|')).toStdString();
        dialog->reject();
    }

    // The program's own boxes name their buttons themselves.
    const std::vector<std::pair<std::function<void()>, QStringList>> own = {
        {[] { kaptivus::files::ui::ShowSimpleMessage(nullptr, QStringLiteral("Can Not read Picture type")); },
         {QStringLiteral("OK")}},
        {[] { kaptivus::dialogs::InputBox(nullptr, QStringLiteral("Page footer Text"),
                                          QStringLiteral("Enter the Text (Max 80 char)"), QString()); },
         {QStringLiteral("Effacer"), QStringLiteral("OK")}},
    };
    for (const auto& [open, buttons] : own) {
        QStringList texts;
        ModalWatcher watcher([&](QWidget* modal) {
            texts = ButtonTexts(*modal);
            static_cast<QDialog*>(modal)->reject();
        });
        open();
        ASSERT_TRUE(waitFor([&] { return !texts.isEmpty() && !QApplication::activeModalWidget(); }));
        texts.sort();
        EXPECT_EQ(texts, buttons);
    }
}
