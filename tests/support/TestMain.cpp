// The main of every test program: settings go to a private folder so tests
// never read or change the user's own, and a core application exists for
// timers, signals and image plug-ins.
#include "pictures/QtPictureCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    // Linked, not opened: the command line's tests run the module's way.
    PictureCodecs::install(&QtPictureCodec::instance());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
