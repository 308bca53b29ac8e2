// Menu item rules shared by the agent's tray menu and the picture window's
// menus. Widgets only: no agent, no settings.
#pragma once

#include <vector>

class QAction;

// Radio items: checking one item of a group unchecks the others; unchecking
// an item leaves the others as they are.
void CheckRadioItem(QAction* item, bool on, const std::vector<QAction*>& group);
