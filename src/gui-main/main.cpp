// The desktop program: `trovix [PATH...]` opens each folder or music file,
// as a file manager passes them; with no paths it shows the drop window.
// While one runs, a later `trovix PATH...` hands its paths to it and exits;
// `trovix --version` prints the version; `--verbose` adds the web's debug
// lines to the log.
#include "app/AppVersion.h"
#include "app/SingleInstance.h"
#include "pictures/QtPictureCodec.h"
#include "system/Log.h"
#include "ui/DocumentWindow.h"
#include "ui/TrovixController.h"
#include "web/WebHelpers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

// Opens each path as the open route does and brings the newest window up.
void openPaths(TrovixController* controller, const QStringList& paths) {
    QWidget* front = controller->showDropWindow();
    for (const QString& path : paths)
        if (!controller->openFile(path) && !QFileInfo::exists(path))
            qWarning("trovix: nothing at %s", qUtf8Printable(path));
    const QList<DocumentWindow*> windows = controller->documentWindows();
    if (!paths.isEmpty() && !windows.isEmpty()) front = windows.last();
    front->raise();
    front->activateWindow();
}

} // namespace

int main(int argc, char** argv) {
    // Before the window system is asked for, so it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", qPrintable(AppVersion::AppName()),
                        qPrintable(AppVersion::versionText()));
            return 0;
        }
    QApplication app(argc, argv);
    // Linked: the widgets draw with Qt Gui anyway, so no module to open.
    PictureCodecs::install(&QtPictureCodec::instance());
    QApplication::setApplicationVersion(AppVersion::versionText());
    QApplication::setApplicationName(QStringLiteral("Trovix"));
    QApplication::setOrganizationName(QStringLiteral("Trovix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trovix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("trovix"));

    // Relative paths name files in this process's folder, whoever opens them.
    QStringList paths;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg == QLatin1String("--verbose"))
            trovix_log::setVerbose(true);
        else
            paths << QFileInfo(arg).absoluteFilePath();
    }
    SingleInstance instance;
    if (instance.claim(paths) == SingleInstance::Role::HandedOver) return 0;

    TrovixController::startUp();
    SetURLOpener([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    TrovixController* controller = TrovixController::instance();
    QObject::connect(&instance, &SingleInstance::pathsReceived, controller,
                     [controller](const QStringList& handed) { openPaths(controller, handed); });
    controller->showDropWindow();
    controller->checkForNewVersion();
    for (const QString& path : paths)
        if (!controller->openFile(path) && !QFileInfo::exists(path))
            qWarning("trovix: nothing at %s", qUtf8Printable(path));
    return app.exec();
}
