#include "ui/TrovixController.h"

#include "app/Preferences.h"
#include "app/RecentDocuments.h"
#include "app/VersionChecker.h"
#include "docs/DocumentBase.h"
#include "media/MusicFile.h"
#include "system/FileSystemParams.h"
#include "ui/AboutBox.h"
#include "ui/DocumentWindow.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/OpenPanel.h"
#include "ui/PreferencesWindow.h"
#include "ui/SourceIcons.h"
#include "web/DebugFiles.h"
#include "web/WebHelpers.h"
#include "web/WebThrottle.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

TrovixController::TrovixController() : fQuit([] { QCoreApplication::quit(); }) {
    fQuitWatch.setInterval(200);
    connect(&fQuitWatch, &QTimer::timeout, this, &TrovixController::checkQuitWait);
}

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
    const bool folder = info.isDir();
    if (!folder && !MusicFile::isMusicFileName(path)) {
        const QString message =
            QStringLiteral("“%1” is %2.").arg(info.fileName(), MusicFile::kNotMusicFile);
        SheetAlertHost(fDropWindow).showAlert({QStringLiteral("Not Opened"), message, {}});
        return false;
    }
    DropActionDict request{info.absoluteFilePath(), cleanUp};
    DocumentWindow* window = fFactory ? fFactory(request, folder) : defaultWindow(request, folder);
    if (!window) return false;
    fWindows.append(window);
    RecentDocuments::add(request.path);
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

// Commands ------------------------------------------------------------------

void TrovixController::doPreferences() {
    // One window for the application's life, reloaded at every opening.
    if (!fPreferences) fPreferences = new PreferencesWindow;
    fPreferences->showWindow();
}

void TrovixController::visitHomePage() {
    OpenURLInBrowserQuiet(Prefs::stringValue(QString::fromLatin1(Prefs::kHomePageURL)));
}

void TrovixController::checkForNewVersion() {
    if (fVersionChecker) return;
    fVersionChecker = VersionChecker::CheckForNewVersion(&fAppAlerts, this);
    if (fVersionChecker)
        connect(fVersionChecker, &VersionChecker::finished, fVersionChecker, &QObject::deleteLater);
}

void TrovixController::showOpenPanel(QWidget* parent) {
    auto* panel = new OpenPanel(parent);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QDialog::accepted, this, [this, panel] {
        const QString path = panel->chosenPath();
        if (!path.isEmpty()) openFile(path);
    });
    panel->open();
}

void TrovixController::showAbout(QWidget* parent) {
    auto* box = new AboutBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TrovixController::quitApplication() {
    if (fQuitting) return;
    fQuitting = true;
    continueQuit();
}

namespace {
bool asking(QWidget* window) {
    for (const QMessageBox* box : window->findChildren<QMessageBox*>())
        if (box->isVisible()) return true;
    return false;
}
} // namespace

void TrovixController::continueQuit() {
    for (DocumentWindow* w : documentWindows()) {
        if (!w->isVisible() || w->close()) continue;
        if (!asking(w)) {
            // A busy document refuses without asking.
            fQuitting = false;
            return;
        }
        fQuitWaitingOn = w;
        fQuitWatch.start();
        return;
    }
    fQuitting = false;
    if (fPreferences) fPreferences->hide();
    if (fDropWindow) fDropWindow->close();
    if (fQuit) fQuit();
}

void TrovixController::checkQuitWait() {
    DocumentWindow* w = fQuitWaitingOn;
    if (w && w->isVisible()) {
        auto* tagging = qobject_cast<TaggingWindow*>(w);
        const bool saving = tagging && !tagging->baseDocument()->isIdle();
        if (asking(w) || saving) return;
        // Still open: the user cancelled, or the save stopped at a check.
        fQuitWatch.stop();
        fQuitting = false;
        return;
    }
    fQuitWatch.stop();
    continueQuit();
}
