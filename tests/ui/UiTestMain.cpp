// The main of the widget tests: a QApplication on the offscreen platform,
// with settings in a private folder so tests never touch the user's own.
#include "pictures/QtPictureCodec.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    // Tests never reach musicbrainz.org: unless a test points MusicBrainz at
    // a loopback server, it asks a port where nothing listens.
    QDir().mkpath(configHome.path() + "/Trovix");
    QFile settings(configHome.path() + "/Trovix/Trovix.conf");
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[General]\nMusicBrainzBaseURL=http://127.0.0.1:9\n"
                       "CoverArtArchiveBaseURL=http://127.0.0.1:9\n");
    settings.close();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PictureCodecs::install(&QtPictureCodec::instance());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
