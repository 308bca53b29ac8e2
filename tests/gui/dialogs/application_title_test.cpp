// One application title: the plain message boxes carry the name the About
// box shows, whichever part of the program opens them.
#include "dialogs/About.h"
#include "files/ui/FileMessages.h"

#include "dialogs_wait.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using kaptivus::test::dialogs::ModalWatcher;
using kaptivus::test::dialogs::waitFor;

TEST(ApplicationTitle, PlainMessageBoxesCarryTheAboutBoxsProductName)
{
    TAboutBox1 about;
    about.OpenUrl = [](const QUrl&, const std::function<void(bool)>& finished) { finished(false); };
    const std::vector<std::pair<const char*, std::function<void()>>> boxes = {
        {"a picture-file message", [] { kaptivus::files::ui::ShowSimpleMessage(nullptr, QStringLiteral("Can Not read Picture type")); }},
        {"an About link that failed", [&] { about.Label7Click(); }},
    };
    for (const auto& [name, open] : boxes) {
        SCOPED_TRACE(name);
        QString caption;
        ModalWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                caption = box->windowTitle();
                box->buttons().value(0)->click();
            }
        });
        open();
        ASSERT_TRUE(waitFor([&] { return !caption.isEmpty() && !QApplication::activeModalWidget(); }));
        EXPECT_EQ(caption, about.ProductName->text());
        EXPECT_EQ(caption, QStringLiteral("Kaptivus2000"));
    }
}
