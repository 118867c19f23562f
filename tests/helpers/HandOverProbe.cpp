// The second process of the single-instance tests:
//   trovix-handover-probe SOCKET_PATH [PATH...]
// prints the role it got and exits 0 when the paths were handed over.
#include "app/SingleInstance.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    SingleInstance instance(args.at(1));
    switch (instance.claim(args.mid(2))) {
    case SingleInstance::Role::HandedOver:
        std::puts("handed over");
        return 0;
    case SingleInstance::Role::Primary:
        std::puts("primary");
        return 3;
    case SingleInstance::Role::Alone:
        std::puts("alone");
        return 4;
    }
    return 5;
}
