// Radio items are drawn with radio marks, check-mark items with check marks:
// what the style is asked to draw for each item of the menus.
#include "main_fixture.h"

#include <QAction>
#include <QMenu>
#include <QStyleOptionMenuItem>

namespace kaptivus::picture::testing {
namespace {

// The style option a menu fills in to draw one of its items.
QStyleOptionMenuItem::CheckType MarkOf(QMenu* menu, QAction* item)
{
    struct Menu : QMenu {
        using QMenu::initStyleOption;
    };
    QStyleOptionMenuItem option;
    static_cast<Menu*>(menu)->initStyleOption(&option, item);
    return option.checkType;
}

std::vector<QAction*> Items(QMenu* menu)
{
    const QList<QAction*> actions = menu->actions();
    return {actions.begin(), actions.end()};
}

TEST_F(MainWindowTest, RadioItemsShowRadioMarksNotCheckMarks)
{
    main1->enterInHistory(QStringLiteral("/pictures/a.gif"));
    main1->enterInHistory(QStringLiteral("/pictures/b.gif"));
    const struct {
        const char* name;
        QMenu* menu;
        std::vector<QAction*> items;
        QStyleOptionMenuItem::CheckType mark;
    } cases[] = {
        {"area delay", main1->DefineDelay1, Items(main1->DefineDelay1),
         QStyleOptionMenuItem::Exclusive},
        {"countdown", main1->AutoCaptureDelay1, Items(main1->AutoCaptureDelay1),
         QStyleOptionMenuItem::Exclusive},
        {"history", main1->PopupMenu1, {main1->history[0], main1->history[1]}, QStyleOptionMenuItem::Exclusive},
        {"options with check marks", main1->Options1, {main1->Sound1, main1->DirectPrintNoDialog1},
         QStyleOptionMenuItem::NonExclusive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.items.empty());
        for (QAction* item : c.items)
            EXPECT_EQ(MarkOf(c.menu, item), c.mark) << item->objectName().toStdString();
    }
    // The newest history entry carries the mark, alone.
    EXPECT_FALSE(main1->history[0]->isChecked());
    EXPECT_TRUE(main1->history[1]->isChecked());
}

} // namespace
} // namespace kaptivus::picture::testing
