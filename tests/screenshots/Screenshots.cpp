// Saves pictures of the desktop windows for people to look at:
// trovix-screenshots OUTPUT_FOLDER
#include "ui/DropWindow.h"
#include "ui/LegendPanel.h"
#include "ui/TrovixController.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool grab(QWidget* widget, const QString& path) {
    QTest::qWait(200);
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovix-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    TrovixController::startUp(false);

    bool ok = true;
    DropWindow* drop = TrovixController::instance()->showDropWindow();
    ok &= grab(drop, out + "/drop-window.png");
    LegendPanel legend;
    legend.show();
    ok &= grab(&legend, out + "/legend.png");
    return ok ? 0 : 1;
}
