// The menu bar built from the menu table: one QAction per entry (the
// submenus' own actions included), in table order, with the entries'
// names, captions and start states.
#pragma once

#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace qova::shell {

struct MenuBar {
    std::vector<QAction*> actions;  // by MenuId
    std::vector<QMenu*> menus;      // by MenuId; null for plain items and separators
};

// Fills `bar`; the menus are children of `owner`.
MenuBar buildMenuBar(QMenuBar* bar, QWidget* owner);

}  // namespace qova::shell
