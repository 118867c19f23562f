// A stand-in desktop application for the process-control tests:
//   trovix-fake-app RECORD_FILE [BUS_NAME MODE]
// Appends "started" to RECORD_FILE; with a bus name it owns that name on the
// session bus and answers the "quit" action through the interface MODE names
// ("application", "gtk" or "none"), appending "quit" before it exits.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>
#include <QVariant>

namespace {

QString gRecordFile;

void record(const QByteArray& line) {
    QFile file(gRecordFile);
    if (file.open(QIODevice::Append)) file.write(line + '\n');
}

void activate(const QString& action) {
    record("action " + action.toUtf8());
    if (action == u"quit") QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace

class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
public slots:
    void ActivateAction(const QString& action, const QVariantList&, const QVariantMap&) {
        activate(action);
    }
};

class GtkActionsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gtk.Actions")
public:
    explicit GtkActionsAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
public slots:
    void Activate(const QString& action, const QVariantList&, const QVariantMap&) {
        activate(action);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    gRecordFile = args.at(1);
    record("started");
    if (args.size() < 4) return 0;

    const QString busName = args.at(2), mode = args.at(3);
    QObject root;
    if (mode == u"application") new ApplicationAdaptor(&root);
    if (mode == u"gtk") new GtkActionsAdaptor(&root);
    QString path = QLatin1Char('/') + busName;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(path, &root, QDBusConnection::ExportAdaptors) ||
        !bus.registerService(busName))
        return 1;
    record("registered");
    QTimer::singleShot(30000, &app, &QCoreApplication::quit); // never outlive the test
    return app.exec();
}

#include "FakeDesktopApp.moc"
