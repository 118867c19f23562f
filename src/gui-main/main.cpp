// The desktop program: `trovix [PATH...]` opens each folder or music file,
// as a file manager passes them; with no paths it shows the drop window.
#include "ui/TrovixController.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trovix"));
    QApplication::setOrganizationName(QStringLiteral("Trovix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trovix"));

    TrovixController::startUp();
    TrovixController* controller = TrovixController::instance();
    controller->showDropWindow();
    const QStringList paths = app.arguments().mid(1);
    for (const QString& path : paths)
        if (!controller->openFile(path)) qWarning("trovix: nothing at %s", qUtf8Printable(path));
    return app.exec();
}
