#include "dialogs/MenuItems.h"

#include <QAction>

void CheckRadioItem(QAction* item, bool on, const std::vector<QAction*>& group)
{
    item->setChecked(on);
    if (!on)
        return;
    for (QAction* other : group)
        if (other != item)
            other->setChecked(false);
}
