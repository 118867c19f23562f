#pragma once

class QMenu;
class QWidget;

// The "Install TrovixTools" / "Upgrade TrovixTools" and "Remove TrovixTools"
// commands, titled and enabled from the installed state each time the menu
// opens. After either, the user may restart the file managers.
void addTrovixToolsActions(QMenu* menu);

// The same commands on the widget's context menu, for windows without a
// menu bar.
void addTrovixToolsContextMenu(QWidget* widget);
