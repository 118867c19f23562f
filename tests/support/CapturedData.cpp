#include "support/CapturedData.h"

#include <QFile>

#include <gtest/gtest.h>

std::string capturedBytes(const char* path) {
    QFile file(QStringLiteral(TROVIX_TEST_DATA_DIR "/") + QString::fromLatin1(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll().toStdString();
}

QString capturedPage(const char* path) {
    return QString::fromLatin1(capturedBytes(path));
}

QByteArray capturedMusicBrainz(const QString& name) {
    QFile file(QStringLiteral(TROVIX_TEST_DATA_DIR "/musicbrainz/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
