#pragma once

class QMenu;
class QWidget;

// The "Install TrovixTools" / "Upgrade TrovixTools" and "Remove TrovixTools"
// commands, titled and enabled from the installed state each time the menu
// opens; each tells the user what it did in a box on `window`.
void addTrovixToolsActions(QMenu* menu, QWidget* window);
