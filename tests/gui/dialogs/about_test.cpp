// The About box: caption, size, texts and colours, the OK result, and the two
// links when the desktop has no handler for them or the handler fails.
#include "dialogs/About.h"

#include "dialogs_wait.h"

#include <QDir>
#include <QFrame>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

using kaptivus::test::dialogs::ModalWatcher;
using kaptivus::test::dialogs::waitFor;

namespace {

struct MessageSeen {
    QString caption;
    QString text;
};

// Clicks the left button on the label and records every message box that
// shows up until `settled` (given the number of boxes so far) holds: the
// opener has given its answer. Closes each box.
std::vector<MessageSeen> clickAndCollectMessages(QWidget* label, const std::function<bool(size_t)>& settled)
{
    std::vector<MessageSeen> seen;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.push_back({box->windowTitle(), box->text()});
            box->button(QMessageBox::Ok)->click();
        }
    });
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    EXPECT_TRUE(waitFor([&] { return settled(seen.size()) && !QApplication::activeModalWidget(); }, 10000));
    return seen;
}

// The opener runs as a child process of the application until it has answered.
bool noOpenerRunning() { return qApp->findChildren<QProcess*>().isEmpty(); }

TEST(AboutBox, HasItsCaptionSizeAndTexts)
{
    TAboutBox1 box;
    EXPECT_EQ(box.objectName(), "AboutBox1");
    EXPECT_EQ(box.windowTitle(), "A propos de Kaptivus v5.10");
    EXPECT_EQ(box.size(), QSize(348, 332));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(box.ProgramIcon->size(), QSize(109, 129));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_EQ(box.ProductName->text(), "Kaptivus2000");
    EXPECT_EQ(box.ProductName->font().pixelSize(), 32);
    EXPECT_TRUE(box.ProductName->font().bold());
    EXPECT_TRUE(box.ProductName->font().underline());
    EXPECT_EQ(box.ProductName->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(box.Version->text(), "Version v5.10 complète");
    EXPECT_EQ(box.Version->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(box.Label1->text(), "E-Mail ");
    EXPECT_EQ(box.Label2->text(), "Page d'accueil");
    EXPECT_EQ(box.Label7->text(), "kaptivus2000@example.org");
    EXPECT_EQ(box.Label12->text(), "https://kaptivus.example.org/");
    EXPECT_EQ(box.Label7->toolTip(), "Pour m'envoyer un e-mail");
    EXPECT_EQ(box.Label12->toolTip(), "Visitez ma page d'accueil");
    for (QLabel* link : {static_cast<QLabel*>(box.Label7), static_cast<QLabel*>(box.Label12)}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(link->font().bold() && link->font().underline());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().isEmpty())
            continue;
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
            << label->objectName().toStdString() << " is cut";
    }
    EXPECT_EQ(box.OKButton->text(), "OK");
    EXPECT_TRUE(box.OKButton->isDefault());
    for (QWidget* child : box.findChildren<QWidget*>())
        EXPECT_TRUE(box.rect().contains(child->geometry().translated(child->parentWidget()->mapTo(&box, QPoint()))))
            << child->objectName().toStdString() << " lies outside the box";
}

TEST(AboutBox, OkClosesWithResultOne)
{
    TAboutBox1 box;
    ModalWatcher watcher([&](QWidget* modal) {
        if (modal == &box)
            box.OKButton->click();
    });
    EXPECT_EQ(box.exec(), 1);
    EXPECT_EQ(watcher.seen, 1);
}

TEST(AboutBox, EnterPressesOk)
{
    TAboutBox1 box;
    ModalWatcher watcher([&](QWidget* modal) {
        if (modal == &box)
            QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(box.exec(), 1);
}

TEST(AboutBox, LinksOpenTheirAddresses)
{
    TAboutBox1 box;
    std::vector<QUrl> opened;
    box.OpenUrl = [&](const QUrl& url, const std::function<void(bool)>& finished) {
        opened.push_back(url);
        finished(true);
    };
    box.show();
    EXPECT_TRUE(clickAndCollectMessages(box.Label7, [&](size_t) { return opened.size() == 1; }).empty());
    EXPECT_TRUE(clickAndCollectMessages(box.Label12, [&](size_t) { return opened.size() == 2; }).empty());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl("mailto:kaptivus2000@example.org"));
    EXPECT_EQ(opened[1], QUrl("https://kaptivus.example.org/"));
    EXPECT_TRUE(box.isVisible());
}

TEST(AboutBox, FailedOpenersShowTheirMessageAndTheBoxStaysOpen)
{
    TAboutBox1 box;
    int answered = 0;
    box.OpenUrl = [&](const QUrl&, const std::function<void(bool)>& finished) {
        ++answered;
        finished(false);
    };
    box.show();
    const auto mail = clickAndCollectMessages(box.Label7, [&](size_t) { return answered == 1; });
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].text, "Could not Send E-Mail");
    EXPECT_EQ(mail[0].caption, box.ProductName->text()); // the one application title
    EXPECT_TRUE(box.isVisible());
    const auto web = clickAndCollectMessages(box.Label12, [&](size_t) { return answered == 2; });
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(web[0].text, "Could not find the URL");
    EXPECT_TRUE(box.isVisible());
}

// The test session has no xdg-open and no browser: with an empty PATH the
// desktop services find no handler at all.
TEST(AboutBox, WithoutAnyDesktopHandlerTheEMailLinkReportsFailure)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    TAboutBox1 box;
    box.show();
    const auto mail = clickAndCollectMessages(box.Label7, [](size_t boxes) { return boxes == 1; });
    const auto web = clickAndCollectMessages(box.Label12, [](size_t boxes) { return boxes == 1; });
    qputenv("PATH", savedPath);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].text, "Could not Send E-Mail");
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(web[0].text, "Could not find the URL");
    EXPECT_TRUE(box.isVisible());
}

// A fake opener on PATH, run without a shell: it keeps the address it was
// given and ends as told. Only a clean exit counts as the link opened.
TEST(AboutBox, AnOpenerThatFailsIsReportedNotTakenForSuccess)
{
    struct Case {
        const char* name;
        const char* ending;
        bool fails;
    };
    const std::vector<Case> cases = {
        {"exits 0", "exit 0", false},
        {"exits 4 after a while", "sleep 0.3; exit 4", true},
        {"is killed", "kill -9 $$", true},
    };
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString opener = bin.filePath(QStringLiteral("xdg-open"));
    const QString received = bin.filePath(QStringLiteral("received"));
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", savedPath); });
    const auto argumentsGiven = [&] {
        QFile got(received);
        return got.open(QIODevice::ReadOnly) ? got.readAll() : QByteArray("(never ran)");
    };
    const auto settled = [&](size_t) { return QFile::exists(received) && noOpenerRunning(); };
    TAboutBox1 box;
    box.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile script(opener);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QByteArray("#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '") + QFile::encodeName(received)
                     + "'\n" + c.ending + "\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::remove(received);
        const auto mail = clickAndCollectMessages(box.Label7, settled);
        EXPECT_EQ(argumentsGiven(), "1|mailto:kaptivus2000@example.org");
        QFile::remove(received);
        const auto web = clickAndCollectMessages(box.Label12, settled);
        EXPECT_EQ(argumentsGiven(), "1|https://kaptivus.example.org/");
        ASSERT_EQ(mail.size(), c.fails ? 1u : 0u);
        ASSERT_EQ(web.size(), c.fails ? 1u : 0u);
        if (c.fails) {
            EXPECT_EQ(mail[0].text, "Could not Send E-Mail");
            EXPECT_EQ(web[0].text, "Could not find the URL");
        }
        EXPECT_TRUE(box.isVisible());
    }
}

TEST(AboutBox, ShowAboutBoxRunsModallyAndReleasesTheBox)
{
    QWidget owner;
    QPointer<TAboutBox1> shown;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<TAboutBox1*>(modal)) {
            shown = box;
            EXPECT_TRUE(box->isVisible());
            box->OKButton->click();
        }
    });
    ShowAboutBox(&owner);
    EXPECT_EQ(watcher.seen, 1);
    EXPECT_TRUE(shown.isNull()) << "the box outlived its modal run";
    EXPECT_TRUE(owner.findChildren<TAboutBox1*>().isEmpty());
}

TEST(AboutBox, FromAHiddenOwnerItAppearsByItselfCentredOnTheScreen)
{
    QWidget hiddenOwner;
    bool visible = false;
    QPoint centre;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<TAboutBox1*>(modal);
        if (!box)
            return;
        if (waitFor([&] { return box->isVisible() && box->windowHandle() && box->windowHandle()->isExposed(); })) {
            visible = true;
            centre = box->geometry().center();
        }
        box->OKButton->click();
    });
    ShowAboutBox(&hiddenOwner);
    EXPECT_TRUE(visible);
    EXPECT_FALSE(hiddenOwner.isVisible());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LT((centre - screenCentre).manhattanLength(), 40);
}

} // namespace
