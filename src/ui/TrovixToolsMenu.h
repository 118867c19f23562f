#pragma once

class QMenu;

// The "Install TrovixTools" / "Upgrade TrovixTools" and "Remove TrovixTools"
// commands, titled and enabled from the installed state each time the menu
// opens. After either, the user may restart the file managers.
void addTrovixToolsActions(QMenu* menu);

