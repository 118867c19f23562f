#include "ui/TrovixController.h"

#include "app/Preferences.h"
#include "app/RecentDocuments.h"
#include "docs/DocumentBase.h"
#include "media/MusicFile.h"
#include "prefs/VersionChecker.h"
#include "system/FileSystemParams.h"
#include "ui/AboutBox.h"
#include "ui/DocumentWindow.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/LibraryWindow.h"
#include "ui/OpenPanel.h"
#include "ui/PreferencesWindow.h"
#include "ui/SourceIcons.h"
#include "web/DebugFiles.h"
#include "web/WebHelpers.h"
#include "web/WebThrottle.h"
#include "web/sources/MusicSources.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

// Outside any namespace, as Qt asks: the icons are compiled into the
// library, so an uninstalled build shows them too.
static void initIconResources() {
    Q_INIT_RESOURCE(trovix_ui);
}

QIcon TrovixController::applicationIcon() {
    initIconResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/trovix-%1.png").arg(size), QSize(size, size));
    return icon;
}

TrovixController::TrovixController() : fQuit([] { QCoreApplication::quit(); }) {
    fQuitWatch.setInterval(200);
    connect(&fQuitWatch, &QTimer::timeout, this, &TrovixController::checkQuitWait);
    connect(PrefsNotifier::instance(), &PrefsNotifier::prefsChanged, this, [] {
        SetDebugFilesEnabled(Prefs::boolValue(QString::fromLatin1(Prefs::kWriteDebugFiles)));
    });
}

TrovixController* TrovixController::instance() {
    static TrovixController* controller = new TrovixController;
    return controller;
}

AppCommands* AppCommands::instance() {
    return TrovixController::instance();
}

void TrovixController::showLibraryPanel(QWidget* parent) {
    LibraryWindow::chooseAndShow(parent);
}

void TrovixController::startUp(bool fetchIcons) {
    FileSystemParams::newFileSystemParams();
    Prefs::initializeDefaults();
    MusicSources::registerPreferences();
    CleanUpDebugFiles();
    SetDebugFilesEnabled(Prefs::boolValue(QString::fromLatin1(Prefs::kWriteDebugFiles)));
    InitWebThrottles();
    SourceIcons::InitIcons(fetchIcons);
    QApplication::setWindowIcon(applicationIcon());
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

DocumentWindow* TrovixController::windowFor(const QString& path) const {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    for (DocumentWindow* w : documentWindows()) {
        // Before the window has its path, the one it was asked to open.
        QString shown = w->documentPath();
        if (shown.isNull()) shown = w->property(kRequestedPath).toString();
        if (!wanted.isEmpty() && QFileInfo(shown).canonicalFilePath() == wanted) return w;
    }
    return nullptr;
}

bool TrovixController::openDropped(const QString& path, bool cleanUp) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return false;
    // Two windows on one folder would each save over the other's reading.
    if (DocumentWindow* open = windowFor(path)) {
        open->show();
        open->raise();
        open->activateWindow();
        return true;
    }
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
    window->setProperty(kRequestedPath, request.path);
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

void TrovixController::showOpenPanel(QWidget* parent, bool withoutLookUp) {
    auto* panel = new OpenPanel(parent);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    if (withoutLookUp) panel->setWindowTitle(tr("Open Without Look-Up"));
    connect(panel, &QDialog::accepted, this, [this, panel, withoutLookUp] {
        const QString path = panel->chosenPath();
        if (path.isEmpty()) return;
        if (withoutLookUp) {
            showDropWindow();
            openDropped(path, true);
        } else {
            openFile(path);
        }
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
        auto* tagging = qobject_cast<TaggingWindow*>(w);
        if (!asking(w) && !(tagging && tagging->closePending())) {
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
        // A window waits for its look-up to be cancelled or its save to stop.
        auto* tagging = qobject_cast<TaggingWindow*>(w);
        const bool busy =
            tagging && (tagging->closePending() || !tagging->baseDocument()->isIdle());
        if (asking(w) || busy) return;
        // Still open: the user cancelled, or the save stopped at a check.
        fQuitWatch.stop();
        fQuitting = false;
        return;
    }
    fQuitWatch.stop();
    continueQuit();
}
