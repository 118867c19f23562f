// A loopback stand-in for MusicBrainz and the Cover Art Archive, answering
// from the captured documents in a folder (tests/data/musicbrainz): every
// release search gets search.json, a release look-up gets the release*.json
// whose id it names, and a front cover is a 307 to the folder's
// front-500.png, as the archive answers. Prints its base address on the first
// line and serves until its standard input closes.
#include "support/LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

std::string readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    std::map<std::string, std::string> releases;
    for (const QString& name :
         folder.entryList({QStringLiteral("release*.json")}, QDir::Files, QDir::Name)) {
        const std::string body = readAll(folder.filePath(name));
        const QJsonObject release =
            QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        const QString id = release.value(QStringLiteral("id")).toString();
        if (!id.isEmpty()) releases[id.toStdString()] = body;
    }
    LoopbackServer server;
    server.serve("/ws/2/release/", readAll(folder.filePath(QStringLiteral("search.json"))),
                 "application/json");
    for (const auto& [id, body] : releases)
        server.serve("/ws/2/release/" + id, body, "application/json");
    server.serve("/images/front-500.png", readAll(folder.filePath(QStringLiteral("front-500.png"))),
                 "image/png");
    server.handle("/release/[^/]+/front-500", [](const httplib::Request&, httplib::Response& res) {
        res.status = 307;
        res.set_header("Location", "/images/front-500.png");
    });
    std::cout << server.baseUrl().toStdString() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
