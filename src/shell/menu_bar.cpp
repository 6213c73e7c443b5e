#include "shell/menu_bar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "shell/menu_table.h"

namespace qova::shell {

MenuBar buildMenuBar(QMenuBar* bar, QWidget* owner) {
    const auto table = menuTable();
    MenuBar out;
    out.actions.assign(table.size(), nullptr);
    out.menus.assign(table.size(), nullptr);
    for (const MenuEntry& e : table) {
        const size_t i = size_t(int(e.id));
        const QString name = QLatin1String(e.name);
        QMenu* parentMenu = e.parent == MenuId::None ? nullptr : out.menus[size_t(int(e.parent))];
        QAction* a;
        if (e.flags & kSubmenu) {
            auto* m = new QMenu(QString::fromUtf8(e.caption), owner);
            m->setObjectName(name);
            out.menus[i] = m;
            if (parentMenu) parentMenu->addMenu(m);
            else bar->addMenu(m);
            a = m->menuAction();
        } else if (e.flags & kSeparator) {
            a = parentMenu->addSeparator();
        } else {
            a = parentMenu->addAction(QString::fromUtf8(e.caption));
        }
        a->setObjectName(name);
        if (e.flags & kHidden) a->setVisible(false);
        if (e.flags & kDisabled) a->setEnabled(false);
        out.actions[i] = a;
    }
    // The view modes carry the check mark of the mode in force.
    for (MenuId id : {MenuId::mnuViewNormal, MenuId::mnuViewZoom, MenuId::mnuViewFit, MenuId::mnuViewStretch})
        out.actions[size_t(int(id))]->setCheckable(true);
    return out;
}

}  // namespace qova::shell
