// Makes the application object the way trovix-cli does and exits: the
// least any program on the system's Qt libraries takes to start, which
// startup_bench prints beside trovix-cli's own figures.
//
//   qt_floor_bench
#include <QCoreApplication>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    return 0;
}
