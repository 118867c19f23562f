#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asked for.
struct CliOptions {
    enum class Command { Help, Version, Open, File, Prefs, DemoAlbum, Library };
    Command command = Command::Help;

    QString folder; // open: the album folder or file; file: the file; demo-album: where to build
                    // it; library: the library's root

    // prefs
    QString prefsKey;
    QString prefsValue;
    bool prefsStore = false;
    bool prefsCheck = false; // prefs --check

    // open
    bool cleanUpOnly = false;
    std::optional<QString> terms;
    int choose = 0; // 1-based; 0: keep the best hit
    QList<int> boxSet;
    bool variousArtists = false;
    bool reverse = false;
    bool lockAlbumInfo = false;
    std::optional<QString> artist, album, year, genre;
    // file (and open with a file)
    std::optional<QString> title, track, count;
    bool save = false;
    bool yes = false;
    bool json = false;

    // library
    enum class LibraryAction { Plan, Save, Review, Apply, Skip, Status };
    LibraryAction libraryAction = LibraryAction::Plan;
    std::optional<double> maxDistance;
    QString libraryFolder; // --apply FOLDER, --skip FOLDER

    // --set KEY=VALUE, in order
    QList<QPair<QString, QString>> overrides;
    // --verbose: the web's debug lines and debug copies of its requests and pages
    bool verbose = false;
};

struct CliParse {
    CliOptions options;
    QString error; // empty when the arguments were understood
    bool ok() const { return error.isEmpty(); }
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after "=".
CliParse parseArguments(const QStringList& args);

QString usageText();
