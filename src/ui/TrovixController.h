#pragma once

#include "ui/DocumentWindow.h"
#include "ui/DropActionDict.h"
#include "ui/DropWindow.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

// The application's controller: start-up, the route from an open request
// (command line, drop window) to a document window, and the drop window.
class TrovixController : public QObject {
    Q_OBJECT
public:
    // Makes the window for a request: a folder or a single-file window.
    using WindowFactory = std::function<DocumentWindow*(const DropActionDict& request, bool folder)>;

    static TrovixController* instance();

    // Process start-up before the event loop: the file-name probe, the
    // defaults (with migration), the clean-up of this user's debug files,
    // the web throttles and the source icons (fetched when `fetchIcons`).
    static void startUp(bool fetchIcons = true);

    // An open request (command line, file manager): shows the drop window,
    // reads Alt for clean-up-only mode, then opens as a drop does. False for
    // a path where nothing exists.
    bool openFile(const QString& path);
    // Opens one dropped item: false when nothing exists at the path;
    // otherwise a folder window for a folder, a single-file window for a
    // file, shown at once and handed the request one second later.
    bool openDropped(const QString& path, bool cleanUp);

    // Shows the drop window, creating it when there is none.
    DropWindow* showDropWindow();
    DropWindow* dropWindow() const { return fDropWindow; }

    // The open document windows, oldest first.
    QList<DocumentWindow*> documentWindows() const;

    // The delay between showing a window and handing it its path.
    void setOpenDelayMs(int ms) { fOpenDelayMs = ms; }
    // Replaces how windows are made (tests).
    void setWindowFactory(WindowFactory factory) { fFactory = std::move(factory); }

signals:
    void documentOpened(DocumentWindow* window);

private:
    TrovixController() = default;
    static DocumentWindow* defaultWindow(const DropActionDict& request, bool folder);

    QPointer<DropWindow> fDropWindow;
    QList<QPointer<DocumentWindow>> fWindows;
    WindowFactory fFactory;
    int fOpenDelayMs = 1000;
};
