#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The menus every window shares, built in one place: the application menu
// ("Trovix": About Trovix, Preferences..., the commands other parts add,
// Quit), File (Open..., Open Recent, Close) and Help (Visit Home Page). A
// window adds its own commands to File and its own menus before Help.
class AppMenus : public QObject {
    Q_OBJECT
public:
    // Commands another part puts into every application menu, such as the
    // file-manager integration's install and remove.
    using MenuItems = std::function<void(QMenu* applicationMenu)>;
    static void addApplicationMenuItems(MenuItems items);

    // Builds the application and File menus on the window's bar.
    AppMenus(QMenuBar* bar, QWidget* window);

    QMenu* applicationMenu() const { return fApplicationMenu; }
    QMenu* fileMenu() const { return fFileMenu; }
    QMenu* recentMenu() const { return fRecentMenu; }
    // Adds Help; call after the window's own menus so it comes last.
    QMenu* addHelpMenu();

private:
    void fillRecentMenu();

    QMenuBar* fBar;
    QWidget* fWindow;
    QMenu* fApplicationMenu;
    QMenu* fFileMenu;
    QMenu* fRecentMenu;
};
