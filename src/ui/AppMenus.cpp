#include "ui/AppMenus.h"

#include "app/RecentDocuments.h"
#include "ui/LibraryWindow.h"
#include "ui/TrovixController.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
QList<AppMenus::MenuItems>& extraItems() {
    static QList<AppMenus::MenuItems> items;
    return items;
}
} // namespace

void AppMenus::addApplicationMenuItems(MenuItems items) {
    extraItems().append(std::move(items));
}

AppMenus::AppMenus(QMenuBar* bar, QWidget* window) : QObject(window), fBar(bar), fWindow(window) {
    TrovixController* controller = TrovixController::instance();

    fApplicationMenu = bar->addMenu(tr("&Trovix"));
    fApplicationMenu->setObjectName(QStringLiteral("applicationMenu"));
    fApplicationMenu->addAction(tr("About Trovix"), controller,
                                [window, controller] { controller->showAbout(window); });
    fApplicationMenu->addSeparator();
    QAction* prefs = fApplicationMenu->addAction(tr("Preferences..."), controller,
                                                 &TrovixController::doPreferences);
    prefs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    prefs->setMenuRole(QAction::PreferencesRole);
    if (!extraItems().isEmpty()) {
        fApplicationMenu->addSeparator();
        for (const MenuItems& items : extraItems())
            items(fApplicationMenu);
    }
    fApplicationMenu->addSeparator();
    QAction* quit =
        fApplicationMenu->addAction(tr("Quit"), controller, &TrovixController::quitApplication);
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    fFileMenu = bar->addMenu(tr("&File"));
    fFileMenu->setObjectName(QStringLiteral("fileMenu"));
    fFileMenu->addAction(tr("Open..."), QKeySequence::Open, controller,
                         [window, controller] { controller->showOpenPanel(window); });
    fFileMenu->addAction(tr("Open Library..."), this,
                         [window] { LibraryWindow::chooseAndShow(window); });
    fRecentMenu = fFileMenu->addMenu(tr("Open Recent"));
    fRecentMenu->setObjectName(QStringLiteral("recentMenu"));
    connect(fRecentMenu, &QMenu::aboutToShow, this, &AppMenus::fillRecentMenu);
    fillRecentMenu();
    fFileMenu->addSeparator();
    fFileMenu->addAction(tr("Close"), QKeySequence::Close, window, &QWidget::close);
}

QMenu* AppMenus::addHelpMenu() {
    QMenu* help = fBar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(tr("Visit Home Page"), TrovixController::instance(),
                    &TrovixController::visitHomePage);
    return help;
}

void AppMenus::fillRecentMenu() {
    fRecentMenu->clear();
    const QStringList paths = RecentDocuments::list();
    for (const QString& path : paths) {
        QAction* a =
            fRecentMenu->addAction(QFileInfo(path).fileName(), TrovixController::instance(),
                                   [path] { TrovixController::instance()->openFile(path); });
        a->setToolTip(path);
        a->setData(path);
    }
    fRecentMenu->addSeparator();
    QAction* clear =
        fRecentMenu->addAction(tr("Clear Menu"), this, [] { RecentDocuments::clear(); });
    clear->setEnabled(!paths.isEmpty());
}
