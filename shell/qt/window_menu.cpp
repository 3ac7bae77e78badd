#include "shell/qt/window_menu.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "core/text_ids.h"
#include "shell/command_ids.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {

QAction* item(QMenu* menu, int id) {
  QAction* a = menu->addAction(qtext(kMenuTextBase + id));
  a->setObjectName(QString::number(id));
  return a;
}

}  // namespace

QMenu* addWindowMenu(QMenuBar& bar, QMdiArea& area) {
  QMenu* menu = bar.addMenu(qtext(kMenuWindow));
  QMdiArea* a = &area;
  QObject::connect(item(menu, kCmdWindowTile), &QAction::triggered, a, &QMdiArea::tileSubWindows);
  QObject::connect(item(menu, kCmdWindowCascade), &QAction::triggered, a,
                   &QMdiArea::cascadeSubWindows);
  QObject::connect(item(menu, kCmdWindowCloseAll), &QAction::triggered, a,
                   &QMdiArea::closeAllSubWindows);
  const int fixedItems = static_cast<int>(menu->actions().size());
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, a, fixedItems] {
    // The list of the last opening goes; the area's windows in the order they were opened.
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = fixedItems; i < items.size(); ++i) {
      menu->removeAction(items[i]);
      items[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = a->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty()) return;
    menu->addSeparator();
    int number = 0;
    for (QMdiSubWindow* w : windows) {
      ++number;
      // "&1 vol 0 [fr 0-63,31]": the first nine windows get a digit to choose them by.
      const QString label =
          number <= 9 ? QString("&%1 %2").arg(number).arg(w->windowTitle()) : w->windowTitle();
      QAction* entry = menu->addAction(label);
      const int id = kCmdWindowFirstEntry + number - 1;
      if (id <= kCmdWindowLastEntry) entry->setObjectName(QString::number(id));
      entry->setCheckable(true);
      entry->setChecked(w == a->activeSubWindow());
      QPointer<QMdiSubWindow> target(w);
      QObject::connect(entry, &QAction::triggered, a, [a, target] {
        if (!target) return;
        if (target->isMinimized()) target->showNormal();
        a->setActiveSubWindow(target);
      });
    }
  });
  return menu;
}

}  // namespace v3d::shell::qt
