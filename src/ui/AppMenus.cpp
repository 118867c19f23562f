#include "ui/AppMenus.h"

#include "app/RecentDocuments.h"
#include "ui/AppCommands.h"
#include "ui/Mnemonics.h"
#include "ui/TrovixToolsMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

AppMenus::AppMenus(QMenuBar* bar, QWidget* window) : QObject(window), fBar(bar), fWindow(window) {
    AppCommands* controller = AppCommands::instance();

    fFileMenu = bar->addMenu(tr("&File"));
    fFileMenu->setObjectName(QStringLiteral("fileMenu"));
    fOpenAction = fFileMenu->addAction(QIcon::fromTheme(QStringLiteral("document-open")),
                                       tr("&Open…"), kOpenKeys, controller,
                                       [window, controller] { controller->showOpenPanel(window); });
    fFileMenu->addAction(tr("Open &Library…"), this,
                         [window, controller] { controller->showLibraryPanel(window); });
    fRecentMenu = fFileMenu->addMenu(tr("Open &Recent"));
    fRecentMenu->setObjectName(QStringLiteral("recentMenu"));
    connect(fRecentMenu, &QMenu::aboutToShow, this, &AppMenus::fillRecentMenu);
    fillRecentMenu();
    fFileMenu->addAction(tr("Open &Without Look-Up…"), kOpenWithoutLookUpKeys, controller,
                         [window, controller] { controller->showOpenPanel(window, true); });
    fFileInsertPoint = fFileMenu->addSeparator();
    QMenu* integration = fFileMenu->addMenu(tr("File-&Manager Integration"));
    integration->setObjectName(QStringLiteral("integrationMenu"));
    addTrovixToolsActions(integration, window);
    fFileMenu->addSeparator();
    fFileMenu->addAction(tr("&Close"), kCloseKeys, window, &QWidget::close);
    QAction* quit =
        fFileMenu->addAction(tr("&Quit"), kQuitKeys, controller, &AppCommands::quitApplication);
    quit->setMenuRole(QAction::QuitRole);

    fEditMenu = bar->addMenu(tr("&Edit"));
    fEditMenu->setObjectName(QStringLiteral("editMenu"));
    fEditInsertPoint = fEditMenu->addSeparator();
    QAction* prefs = fEditMenu->addAction(tr("Pr&eferences…"), kPreferencesKeys, controller,
                                          &AppCommands::doPreferences);
    prefs->setMenuRole(QAction::PreferencesRole);
}

QAction* AppMenus::addFileAction(QAction* action) {
    fFileMenu->insertAction(fFileInsertPoint, action);
    return action;
}

QAction* AppMenus::addEditAction(const QString& text, const QKeySequence& keys,
                                 std::function<void()> run) {
    auto* action = new QAction(text, fWindow);
    action->setShortcut(keys);
    connect(action, &QAction::triggered, fWindow, std::move(run));
    fEditMenu->insertAction(fEditInsertPoint, action);
    return action;
}

void AppMenus::addEditSeparator() {
    fEditMenu->insertSeparator(fEditInsertPoint);
}

QMenu* AppMenus::addHelpMenu() {
    AppCommands* controller = AppCommands::instance();
    QMenu* help = fBar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(tr("&Home Page"), controller, &AppCommands::visitHomePage);
    QWidget* window = fWindow;
    QAction* about = help->addAction(tr("&About Trovix"), controller,
                                     [window, controller] { controller->showAbout(window); });
    about->setMenuRole(QAction::AboutRole);
    return help;
}

void AppMenus::fillRecentMenu() {
    fRecentMenu->clear();
    const QStringList paths = RecentDocuments::list();
    for (const QString& path : paths) {
        QAction* a = fRecentMenu->addAction(Mnemonics::escaped(QFileInfo(path).fileName()),
                                            AppCommands::instance(),
                                            [path] { AppCommands::instance()->openFile(path); });
        a->setToolTip(path);
        a->setData(path);
    }
    fRecentMenu->addSeparator();
    QAction* clear =
        fRecentMenu->addAction(tr("&Clear Menu"), this, [] { RecentDocuments::clear(); });
    clear->setEnabled(!paths.isEmpty());
    Mnemonics::assign(fRecentMenu);
}
