#include "system/ProcessControl.h"

#include "system/Log.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

namespace {

// Generous, but a hung application must not hang us.
constexpr int kQuitTimeoutMs = 3000;

QString objectPathFor(const QString& desktopId) {
    QString path = QLatin1Char('/') + desktopId;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

// The Exec value of the [Desktop Entry] group; a null string when absent.
QString execValue(const QString& desktopFile) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    bool inEntry = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == u"[Desktop Entry]";
            continue;
        }
        if (!inEntry || !line.startsWith(u"Exec")) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != u"Exec") continue;
        return line.mid(eq + 1).trimmed();
    }
    return {};
}

} // namespace

ProcessStatus quitApp(const QString& desktopId, const QDBusConnection& bus) {
    if (!bus.isConnected()) return {ProcessStatus::Code::Failed, bus.lastError().message()};
    // A one-word id ("nemo") is no bus name, so the program has no such interface.
    if (!desktopId.contains(QLatin1Char('.')))
        return {ProcessStatus::Code::NotSupported, QStringLiteral("no bus name")};
    if (!bus.interface()->isServiceRegistered(desktopId).value())
        return {ProcessStatus::Code::NotRunning, desktopId + QStringLiteral(" is not running")};

    const QString path = objectPathFor(desktopId);
    QString lastError;
    for (const auto& [interface, method] :
         {std::pair{"org.freedesktop.Application", "ActivateAction"},
          std::pair{"org.gtk.Actions", "Activate"}}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            desktopId, path, QLatin1String(interface), QLatin1String(method));
        call << QStringLiteral("quit") << QVariant::fromValue(QVariantList())
             << QVariant::fromValue(QVariantMap());
        const QDBusMessage reply = bus.call(call, QDBus::Block, kQuitTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) return {ProcessStatus::Code::Done, {}};
        lastError = reply.errorMessage();
        // An application that quits before answering has still quit.
        if (reply.errorName() == u"org.freedesktop.DBus.Error.NoReply" &&
            !bus.interface()->isServiceRegistered(desktopId).value())
            return {ProcessStatus::Code::Done, {}};
    }
    return {ProcessStatus::Code::NotSupported, lastError};
}

ProcessStatus launchApp(const QString& desktopId) {
    const QString desktopFile = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                       QStringLiteral("applications/") + desktopId +
                                                           QStringLiteral(".desktop"));
    if (desktopFile.isEmpty())
        return {ProcessStatus::Code::NotFound, desktopId + QStringLiteral(".desktop not found")};
    const QStringList args = execArguments(execValue(desktopFile));
    if (args.isEmpty())
        return {ProcessStatus::Code::NotSupported, QStringLiteral("no usable Exec line")};
    if (!QProcess::startDetached(args.first(), args.mid(1)))
        return {ProcessStatus::Code::Failed, QStringLiteral("could not start ") + args.first()};
    return {ProcessStatus::Code::Done, {}};
}

QStringList restartApps(const QStringList& desktopIds, int delayMs, const QDBusConnection& bus) {
    QStringList quit;
    for (const QString& id : desktopIds)
        if (quitApp(id, bus).ok()) quit << id;
    if (!quit.isEmpty())
        QTimer::singleShot(delayMs, QCoreApplication::instance(), [quit] {
            for (const QString& id : quit) {
                const ProcessStatus status = launchApp(id);
                if (!status.ok()) TROVIX_LOG() << "restart of" << id << "failed:" << status.message;
            }
        });
    return quit;
}

QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inArg = false, quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()) {
                current += exec.at(++i);
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = inArg = true;
        } else if (c == u' ' || c == u'\t') {
            if (inArg) args << current;
            current.clear();
            inArg = false;
        } else if (c == u'%' && i + 1 < exec.size()) {
            // Field codes stand for files, URLs and the icon: we pass none.
            const QChar code = exec.at(++i);
            if (code == u'%') current += code;
            inArg = inArg || code == u'%';
        } else {
            current += c;
            inArg = true;
        }
    }
    if (quoted) return {};
    if (inArg) args << current;
    return args;
}
