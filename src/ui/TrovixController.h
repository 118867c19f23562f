#pragma once

#include "prefs/VersionChecker.h"
#include "ui/AppCommands.h"
#include "ui/DocumentWindow.h"
#include "ui/DropActionDict.h"
#include "ui/DropWindow.h"
#include "ui/PreferencesWindow.h"
#include "ui/SheetAlertHost.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

// The application's controller: start-up, the route from an open request
// (command line, drop window, File > Open) to a document window, the drop
// window, and the application's commands: preferences, home page, version
// check, about and quit.
class TrovixController : public AppCommands {
    Q_OBJECT
public:
    // Makes the window for a request: a folder or a single-file window.
    using WindowFactory = std::function<DocumentWindow*(const DropActionDict& request, bool folder)>;

    static TrovixController* instance();

    // Process start-up before the event loop: the file-name probe, the
    // defaults (with migration), the clean-up of this user's debug files,
    // the web throttles, the source icons (fetched when `fetchIcons`) and
    // the windows' icon.
    static void startUp(bool fetchIcons = true);
    // The application's icon in every shipped size, from the program itself.
    static QIcon applicationIcon();

    // An open request (command line, file manager): shows the drop window,
    // reads Alt for clean-up-only mode, then opens as a drop does. False for
    // a path where nothing exists.
    bool openFile(const QString& path) override;
    // Opens one dropped item: false when nothing exists at the path, or
    // (with an alert on the drop window) for a file of no music kind; the
    // window already showing the item is raised; otherwise a folder window
    // for a folder, a single-file window for a file, shown at once and
    // handed the request one second later.
    bool openDropped(const QString& path, bool cleanUp) override;
    // The open window showing (or about to show) the folder or file.
    DocumentWindow* windowFor(const QString& path) const;

    // Shows the drop window, creating it when there is none.
    DropWindow* showDropWindow();
    DropWindow* dropWindow() const { return fDropWindow; }

    // The open document windows, oldest first.
    QList<DocumentWindow*> documentWindows() const;

    // The delay between showing a window and handing it its path.
    void setOpenDelayMs(int ms) { fOpenDelayMs = ms; }
    // Replaces how windows are made (tests).
    void setWindowFactory(WindowFactory factory) { fFactory = std::move(factory); }

    // Commands ----------------------------------------------------------
    // Shows the one preferences window, loaded afresh from the store.
    void doPreferences() override;
    PreferencesWindow* preferencesWindow() const { return fPreferences; }
    void visitHomePage() override;
    // The daily check for a newer version (at launch); the alert goes to an
    // application-modal box. The checker, while one runs.
    void checkForNewVersion();
    VersionChecker* versionChecker() const { return fVersionChecker; }
    // File > Open…: a folder or music file through the open route; File >
    // Open Without Look-Up… opens it for clean-up only.
    void showOpenPanel(QWidget* parent, bool withoutLookUp = false) override;
    void showLibraryPanel(QWidget* parent) override;
    void showAbout(QWidget* parent) override;
    // Closes every document window in turn, each edited one asking first;
    // stops when one stays open (Cancel, a save that did not end, a busy
    // document), else ends the application.
    void quitApplication() override;
    // What ends the application (tests replace it).
    void setQuitHandler(std::function<void()> quit) { fQuit = std::move(quit); }

private:
    static constexpr const char* kRequestedPath = "trovixRequestedPath";
    TrovixController();
    static DocumentWindow* defaultWindow(const DropActionDict& request, bool folder);
    void continueQuit();
    void checkQuitWait();

    QPointer<DropWindow> fDropWindow;
    QList<QPointer<DocumentWindow>> fWindows;
    WindowFactory fFactory;
    int fOpenDelayMs = 1000;
    QPointer<PreferencesWindow> fPreferences;
    QPointer<VersionChecker> fVersionChecker;
    SheetAlertHost fAppAlerts{nullptr};
    std::function<void()> fQuit;
    bool fQuitting = false;
    QPointer<DocumentWindow> fQuitWaitingOn;
    QTimer fQuitWatch;
};
