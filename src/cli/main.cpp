// trovix-cli: tags album folders from a terminal or a script.
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trovix-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TROVIX_VERSION));
    QTextStream(stdout) << "Trovix " << TROVIX_VERSION << "\n";
    return 0;
}
