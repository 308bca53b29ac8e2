// Hints are wrapped to the hint width, never cut: the last word stays shown.
#include "app/AppStyle.h"

#include "XTest.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QLabel* ShownHintLabel()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible())
            return qobject_cast<QLabel*>(w);
    return nullptr;
}

struct HintCase {
    const char* hint;
    const char* lastWord;
};

TEST(HintWrap, ALongHintWrapsWithinTheHintWidthAndKeepsItsLastWord)
{
    InstallHintBehaviour(*qApp);
    const HintCase cases[] = {
        // The print footer's user and system line.
        {"Utilisateur : jean-baptiste sur poste-de-travail-principal Linux 6.1.0-18-amd64 x86_64 Debian", "Debian"},
        {"Clic : cache options\r\nCtrl+Clic pour prélever couleur\r\nShift+Clic prélever couleur cadre", "cadre"},
        {"Editeur =/opt/outils/un-editeur-d-images-au-nom-bien-plus-long-que-la-bulle.exe", ".exe"},
    };
    QWidget owner;
    owner.resize(100, 40);
    owner.show();
    for (const HintCase& c : cases) {
        SCOPED_TRACE(c.hint);
        QToolTip::hideText();
        owner.setToolTip(QString::fromUtf8(c.hint));
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), owner.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&owner, &help);
        QLabel* label = nullptr;
        ASSERT_TRUE(kaptivus::test::waitUntil([&] { return (label = ShownHintLabel()) != nullptr; }));
        EXPECT_LE(label->width(), kHintMaxWidth);
        EXPECT_TRUE(label->text().trimmed().endsWith(QString::fromUtf8(c.lastWord))) << label->text().toStdString();
        // Every line fits the label, and the label is tall enough for all of them.
        const QStringList lines = label->text().split(QLatin1Char('\n'));
        const QFontMetrics metrics(label->font());
        for (const QString& line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), label->contentsRect().width()) << line.toStdString();
        EXPECT_GE(label->contentsRect().height(), int(lines.size()) * metrics.height());
        EXPECT_GT(lines.size(), 1);
    }
    QToolTip::hideText();
}

} // namespace
