#include "ui/TrovixController.h"

#include "app/Preferences.h"
#include "system/FileSystemParams.h"
#include "ui/DocumentWindow.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/SourceIcons.h"
#include "web/DebugFiles.h"
#include "web/WebThrottle.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

TrovixController* TrovixController::instance() {
    static TrovixController* controller = new TrovixController;
    return controller;
}

void TrovixController::startUp(bool fetchIcons) {
    FileSystemParams::newFileSystemParams();
    Prefs::initializeDefaults();
    CleanUpDebugFiles();
    InitWebThrottles();
    SourceIcons::InitIcons(fetchIcons);
}

DropWindow* TrovixController::showDropWindow() {
    if (!fDropWindow) fDropWindow = new DropWindow;
    fDropWindow->show();
    return fDropWindow;
}

bool TrovixController::openFile(const QString& path) {
    // Alt stands for the Option key of other desktops.
    const bool cleanUp = QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
    showDropWindow();
    return openDropped(path, cleanUp);
}

bool TrovixController::openDropped(const QString& path, bool cleanUp) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return false;
    DropActionDict request{info.absoluteFilePath(), cleanUp};
    const bool folder = info.isDir();
    DocumentWindow* window = fFactory ? fFactory(request, folder) : defaultWindow(request, folder);
    if (!window) return false;
    fWindows.append(window);
    window->show();
    // The window is on screen before the scan starts.
    QTimer::singleShot(fOpenDelayMs, window, [window, request] { window->setDocumentPath(request); });
    emit documentOpened(window);
    return true;
}

DocumentWindow* TrovixController::defaultWindow(const DropActionDict&, bool folder) {
    if (folder) return new FolderWindow;
    return new FileTagWindow;
}

QList<DocumentWindow*> TrovixController::documentWindows() const {
    QList<DocumentWindow*> windows;
    for (const QPointer<DocumentWindow>& w : fWindows)
        if (w) windows.append(w);
    return windows;
}
