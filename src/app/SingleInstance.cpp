#include "app/SingleInstance.h"

#include "system/Log.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

namespace {

constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 5000;
constexpr char kAck = 'k';

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), fSocketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("trovix.socket"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("trovix-%1.socket").arg(getuid()));
}

SingleInstance::Role SingleInstance::claim(const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths)
        absolute << QFileInfo(path).absoluteFilePath();

    // Two processes started together must not both take the socket over.
    QLockFile lock(fSocketPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(kAnswerMs);
    const HandOver handed = handOver(absolute);
    if (handed == HandOver::Done) return Role::HandedOver;
    // A listener that does not answer is alive but busy: its socket stays.
    if (!locked || handed == HandOver::NoAnswer) return Role::Alone;

    // Nobody listens: whatever is at the path is stale.
    QLocalServer::removeServer(fSocketPath);
    fServer = new QLocalServer(this);
    fServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!fServer->listen(fSocketPath)) {
        TROVIX_LOG() << "single instance: cannot listen on" << fSocketPath << ":"
                     << fServer->errorString();
        delete fServer;
        fServer = nullptr;
        return Role::Alone;
    }
    connect(fServer, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return Role::Primary;
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& paths) {
    QLocalSocket socket;
    socket.connectToServer(fSocketPath);
    if (!socket.waitForConnected(kConnectMs)) return HandOver::NoServer;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << paths;
    socket.write(message);
    if (!socket.waitForBytesWritten(kAnswerMs)) return HandOver::NoAnswer;
    // The answer says the instance has the paths, not just the bytes.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kAnswerMs)) return HandOver::NoAnswer;
    char answer = 0;
    return socket.getChar(&answer) && answer == kAck ? HandOver::Done : HandOver::NoAnswer;
}

void SingleInstance::acceptConnection() {
    while (QLocalSocket* socket = fServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QStringList paths;
            in >> paths;
            if (!in.commitTransaction()) return; // wait for the rest
            socket->putChar(kAck);
            socket->flush();
            emit pathsReceived(paths);
        });
    }
}

#include "moc_SingleInstance.cpp"
