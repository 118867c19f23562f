#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The menus every window shares, built in one place as desktops lay them
// out: File (Open…, Open Recent, Open Without Look-Up…, the window's own
// commands such as Save, File-Manager Integration, Close, Quit), Edit (the
// window's own commands, then Preferences…) and Help (Home Page, About
// Trovix). A window adds its own menus between Edit and Help.
class AppMenus : public QObject {
    Q_OBJECT
public:
    // Keys that do not depend on the platform theme: some themes give Quit
    // or Close no key at all.
    static inline const QKeySequence kOpenKeys{Qt::CTRL | Qt::Key_O};
    static inline const QKeySequence kOpenWithoutLookUpKeys{Qt::CTRL | Qt::SHIFT | Qt::Key_O};
    static inline const QKeySequence kSaveKeys{Qt::CTRL | Qt::Key_S};
    static inline const QKeySequence kCloseKeys{Qt::CTRL | Qt::Key_W};
    static inline const QKeySequence kQuitKeys{Qt::CTRL | Qt::Key_Q};
    static inline const QKeySequence kPreferencesKeys{Qt::CTRL | Qt::Key_Comma};

    // Builds File and Edit on the window's bar.
    AppMenus(QMenuBar* bar, QWidget* window);

    QMenu* fileMenu() const { return fFileMenu; }
    QAction* openAction() const { return fOpenAction; }
    QMenu* recentMenu() const { return fRecentMenu; }
    QMenu* editMenu() const { return fEditMenu; }
    // Puts a window's command into File after the open commands, or into
    // Edit before Preferences; returns it.
    QAction* addFileAction(QAction* action);
    QAction* addEditAction(const QString& text, const QKeySequence& keys,
                           std::function<void()> run);
    void addEditSeparator();
    // Adds Help; call after the window's own menus so it comes last.
    QMenu* addHelpMenu();

private:
    void fillRecentMenu();

    QMenuBar* fBar;
    QWidget* fWindow;
    QMenu* fFileMenu;
    QAction* fOpenAction;
    QMenu* fRecentMenu;
    QMenu* fEditMenu;
    QAction* fFileInsertPoint;
    QAction* fEditInsertPoint;
};
