// The frame's "&Window" menu, after "&Help": Tile, Cascade and Close All of the window area,
// and one item per open window that brings it to the front.
#pragma once

class QMdiArea;
class QMenu;
class QMenuBar;

namespace v3d::shell::qt {

// Adds the menu at the end of `bar`; its items act on `area`. The window list is rebuilt
// each time the menu opens.
QMenu* addWindowMenu(QMenuBar& bar, QMdiArea& area);

}  // namespace v3d::shell::qt
