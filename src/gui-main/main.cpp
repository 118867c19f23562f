// The desktop program: `trovix [PATH...]` opens each folder or music file,
// as a file manager passes them; with no paths it shows the drop window.
// `trovix --version` prints the version.
#include "app/AppVersion.h"
#include "ui/TrovixController.h"
#include "web/WebHelpers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Before the window system is asked for, so it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", qPrintable(AppVersion::AppName()),
                        qPrintable(AppVersion::versionText()));
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(AppVersion::versionText());
    QApplication::setApplicationName(QStringLiteral("Trovix"));
    QApplication::setOrganizationName(QStringLiteral("Trovix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trovix"));

    TrovixController::startUp();
    SetURLOpener([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    TrovixController* controller = TrovixController::instance();
    controller->showDropWindow();
    controller->checkForNewVersion();
    const QStringList paths = app.arguments().mid(1);
    for (const QString& path : paths)
        if (!controller->openFile(path)) qWarning("trovix: nothing at %s", qUtf8Printable(path));
    return app.exec();
}
