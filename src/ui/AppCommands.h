#pragma once

#include "ui/DocumentWindow.h"

#include <QObject>

class QWidget;
class QString;

// What the windows ask of the application: opening folders, files and
// libraries, the application's own commands, quitting. The controller that
// owns the windows carries them out; the windows know only this, so that
// they never include the controller that includes them.
class AppCommands : public QObject {
    Q_OBJECT
public:
    // The application's controller (defined beside it: this file knows no
    // implementation).
    static AppCommands* instance();

    // An open request from outside (the recent-files menu among them).
    virtual bool openFile(const QString& path) = 0;
    // Opens one dropped folder or file; `cleanUp` opens it without a look-up.
    virtual bool openDropped(const QString& path, bool cleanUp) = 0;
    // File > Open… and File > Open Without Look-Up….
    virtual void showOpenPanel(QWidget* parent, bool withoutLookUp = false) = 0;
    // File > Open Library…: asks for a library folder and opens its window.
    virtual void showLibraryPanel(QWidget* parent) = 0;
    virtual void doPreferences() = 0;
    virtual void visitHomePage() = 0;
    virtual void showAbout(QWidget* parent) = 0;
    virtual void quitApplication() = 0;

signals:
    void documentOpened(DocumentWindow* window);

protected:
    AppCommands() = default;
};
