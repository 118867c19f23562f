#pragma once

// Runs the built trovix-cli in a private environment: its own settings folder
// and music folder (so backups land in the test's temporary folder), no
// terminal.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

struct CliResult {
    int exitCode = -1;
    bool killed = false;
    QByteArray out;
    QByteArray err;
    // The printed document, which must be byte for byte what Qt's own JSON
    // writer writes for it (the program writes it without building one).
    QJsonObject json() const {
        const QJsonDocument document = QJsonDocument::fromJson(out);
        EXPECT_EQ(document.toJson(QJsonDocument::Indented), out);
        return document.object();
    }
};

class CliEnv {
public:
    CliEnv() {
        QDir().mkpath(config());
        QDir().mkpath(music());
        QFile dirs(config() + "/user-dirs.dirs");
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(music()) + "\"\n");
        // Tests never reach musicbrainz.org; those that want it point it at a
        // loopback server and turn it on.
        QDir().mkpath(config() + "/Trovix");
        QFile settings(config() + "/Trovix/Trovix.conf");
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[General]\nSearchMB=false\nMusicBrainzBaseURL=http://127.0.0.1:9\n");
    }
    QString root() const { return fRoot.path(); }
    QString config() const { return fRoot.path() + "/config"; }
    QString music() const { return fRoot.path() + "/Music"; }
    QString backups() const { return music() + "/Trovix Backups"; }
    QString state() const { return fRoot.path() + "/state"; }

    // Set in the program's environment on every run.
    void setEnv(const QString& name, const QString& value) { fExtraEnv.insert(name, value); }

    CliResult run(const QStringList& args, int timeoutMs = 120000) const {
        return start(args, false, timeoutMs);
    }
    // As the unprivileged user "nobody" (the caller is root).
    CliResult runAsNobody(const QStringList& args, int timeoutMs = 120000) const {
        return start(args, true, timeoutMs);
    }
    // With a signal sent to the program just before the k-th save step of
    // that name ("rename-final", ...); signal 9 kills it there.
    CliResult runSignalledAt(const QStringList& args, const QString& step, int k, int sig) const {
        return start(args, false, 120000, QStringLiteral("%1:%2:%3").arg(step).arg(k).arg(sig));
    }

private:
    CliResult start(const QStringList& args, bool asNobody, int timeoutMs,
                    const QString& signalAt = QString()) const {
        QProcess p;
        if (asNobody)
            p.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(97);
            });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config());
        env.insert("HOME", fRoot.path());
        env.insert("XDG_STATE_HOME", state());
        env.insert("NO_COLOR", "1");
        if (!signalAt.isNull()) env.insert("TROVIX_TEST_SIGNAL_AT_STEP", signalAt);
        env.insert(fExtraEnv);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TROVIX_CLI_PATH), args);
        CliResult r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "trovix-cli did not finish: " << args.join(' ').toStdString();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.killed = p.exitStatus() == QProcess::CrashExit;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    QTemporaryDir fRoot;
    QProcessEnvironment fExtraEnv;
};

#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"

#include <QJsonArray>

#include <taglib/fileref.h>
#include <taglib/tag.h>

// A tagged file of a test album; a null text leaves that tag out.
struct TrackSpec {
    QString file;
    QString title;
    int track = 0;
    int of = 0;
    QString artist = QStringLiteral("The Band");
    QString album = QStringLiteral("The Album");
    QString year = QStringLiteral("2001");
    QString genre = QStringLiteral("Rock");
};

inline bool writeTrack(const QString& dir, const TrackSpec& t) {
    const QString path = dir + "/" + t.file;
    if (t.file.endsWith(".m4a")) {
        M4aFixtureOptions o;
        o.title = o.artist = o.album = o.year = QString();
        o.genreIndex = 0;
        o.trackNum = 0;
        if (!writeM4a(path, o)) return false;
    } else if (!writeSilentMp3(path)) {
        return false;
    }
    auto f = MusicFileFactory::newMusicFileWithPath(path);
    if (!f) return false;
    if (!t.artist.isNull()) f->setTags({.artist = t.artist}, TagField::Artist);
    if (!t.album.isNull()) f->setTags({.album = t.album}, TagField::Album);
    if (!t.year.isNull()) f->setTags({.year = t.year}, TagField::Year);
    if (!t.genre.isNull()) f->setTags({.genre = t.genre}, TagField::Genre);
    if (!t.title.isNull()) f->setTags({.title = t.title}, TagField::Title);
    if (t.track > 0)
        f->setTags(TagValues::withTrack(t.track, t.of), TagField::Track | TagField::TrackCount);
    return SaveBatch::saveOne(*f).ok();
}

// Two tracks in `dir`, each carrying the name the other one should get
// ("01-Alpha.mp3" holds track 2, "Beta"): saving them swaps their names.
inline bool writeSwappedNames(const QString& dir) {
    return QDir().mkpath(dir) && writeTrack(dir, {"01-Alpha.mp3", "Beta", 2, 2}) &&
           writeTrack(dir, {"02-Beta.mp3", "Alpha", 1, 2});
}

// The tags of a file as TagLib reads them.
struct ReadTags {
    QString artist, album, title, genre;
    unsigned year = 0, track = 0;
    bool ok = false;
};

inline ReadTags readTags(const QString& path) {
    ReadTags r;
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    if (ref.isNull() || !ref.tag()) return r;
    const TagLib::Tag* t = ref.tag();
    auto q = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
    r.artist = q(t->artist());
    r.album = q(t->album());
    r.title = q(t->title());
    r.genre = q(t->genre());
    r.year = t->year();
    r.track = t->track();
    r.ok = true;
    return r;
}

inline QStringList alertTitles(const QJsonObject& json) {
    QStringList titles;
    for (const QJsonValue& a : json["alerts"].toArray())
        titles << a["title"].toString();
    return titles;
}

inline QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The folder's own tags and names only.
inline const QStringList kOffline = {"--set", "SearchAMG=NO",         "--set", "SearchGOOG=NO",
                                     "--set", "SearchGNUDB=NO",       "--set", "SearchFreeDB=NO",
                                     "--set", "SearchForCoverArt=NO", "--json"};

// trovix-cli's arguments that open `folder` so, then `more`.
inline QStringList openArgs(const QString& folder, const QStringList& more = {}) {
    return QStringList{"open", folder} + kOffline + more;
}
