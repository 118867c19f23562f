#include "cli/CliOptions.h"

#include <QHash>

namespace {

bool positive(const QString& text, int* out) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1) return false;
    *out = n;
    return true;
}

bool folderOnlyOptions(const CliOptions& o) {
    return !o.boxSet.isEmpty() || o.variousArtists || o.reverse || o.lockAlbumInfo;
}

} // namespace

QString usageText() {
    return QStringLiteral(
        "Usage:\n"
        "  trovix-cli open FOLDER [options]   open an album folder and print the proposal\n"
        "  trovix-cli file FILE [options]     open one audio file and print its song hits\n"
        "  trovix-cli prefs [KEY VALUE]       print every preference, or store one\n"
        "  trovix-cli prefs --check           check the naming templates as the\n"
        "                                     preferences window's OK does\n"
        "  trovix-cli demo-album DIR          build a small demo album folder in DIR\n"
        "  trovix-cli library ROOT [options]  tag every album folder under ROOT\n"
        "  trovix-cli --version | --help\n"
        "\n"
        "Options of open:\n"
        "  --clean-up-only            no web look-ups: titles and fields from the tags\n"
        "  --terms \"ARTIST / ALBUM\"   look up these terms after opening\n"
        "  --choose N                 apply hit N (as numbered in the output)\n"
        "  --box-set N[,M...]         add these hits to the box set, in order\n"
        "  --various-artists          various-artists mode\n"
        "  --reverse                  titles read as title, then artist (with --various-artists)\n"
        "  --lock-album-info          choosing a hit leaves the album fields alone\n"
        "  --artist TEXT, --album TEXT, --year TEXT, --genre TEXT\n"
        "                             set an album field after the hit is applied\n"
        "  --save                     check and save; questions stop the save unless --yes\n"
        "  --yes                      answer each question with its default button\n"
        "  --json                     print one JSON object instead of the table\n"
        "Options of file (and of open given a file): --clean-up-only, --choose N,\n"
        "  --save, --yes, --json and the fields as above, and\n"
        "  --terms \"ARTIST / TITLE\"   look up these terms after opening\n"
        "  --title TEXT, --track N, --count N\n"
        "                             set the title, track number and track count\n"
        "Options of library (its state is kept in $XDG_STATE_HOME/trovix/library.sqlite;\n"
        "  running it again goes on where it stopped, and looks up changed folders again):\n"
        "  --plan                     (the default) change nothing; print each folder's best\n"
        "                             hit, its match distance and what a save would change\n"
        "  --save                     save the folders whose best web hit is at or below\n"
        "                             --max-distance and whose save asks nothing; queue the rest\n"
        "  --max-distance D           0 (the same) to 1 (nothing alike); default 0.10\n"
        "  --review                   list the queued folders with their hits explained\n"
        "  --apply FOLDER --choose N  save a queued folder with its hit N, answering the\n"
        "                             save's questions with their defaults (as --yes does)\n"
        "  --skip FOLDER              mark a folder done without saving it\n"
        "  --status                   how many folders are saved, queued, failed...\n"
        "  --json                     one JSON object per folder (JSON lines)\n"
        "  Ctrl-C stops once the folders in work are done.\n"
        "Anywhere:\n"
        "  --set KEY=VALUE            a preference for this run only (never stored)\n"
        "  --verbose                  also print the web's debug lines and keep debug\n"
        "                             copies of web requests and pages in\n"
        "                             $TROVIX_DEBUG_DIR (or /tmp)\n"
        "\n"
        "Exit status: 0 success, 1 a check or an error stopped the job, 2 bad usage;\n"
        "128 + the signal (130, 143, 129) when SIGINT, SIGTERM or SIGHUP stopped a save.\n");
}

CliParse parseArguments(const QStringList& args) {
    CliParse result;
    CliOptions& o = result.options;
    auto fail = [&](const QString& message) {
        result.error = message;
        return result;
    };

    QStringList positional;
    int libraryActions = 0;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            if (arg == QLatin1String("--")) {
                positional << args.mid(i + 1);
                break;
            }
            positional << arg;
            continue;
        }
        QString inlineValue;
        bool hasInline = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            inlineValue = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasInline = true;
        }
        // The value of an option: after "=" or the next argument.
        auto value = [&](QString* out) {
            if (hasInline) {
                *out = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        auto flag = [&](bool* target) {
            if (hasInline) return false;
            *target = true;
            return true;
        };

        QString v;
        if (arg == QLatin1String("--help")) {
            o.command = CliOptions::Command::Help;
            return result;
        } else if (arg == QLatin1String("--version")) {
            o.command = CliOptions::Command::Version;
            return result;
        } else if (arg == QLatin1String("--clean-up-only")) {
            if (!flag(&o.cleanUpOnly)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--various-artists")) {
            if (!flag(&o.variousArtists)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--reverse")) {
            if (!flag(&o.reverse)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--lock-album-info")) {
            if (!flag(&o.lockAlbumInfo)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--save")) {
            if (!flag(&o.save)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--yes")) {
            if (!flag(&o.yes)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--check")) {
            if (!flag(&o.prefsCheck)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--plan") || arg == QLatin1String("--review") ||
                   arg == QLatin1String("--status")) {
            if (hasInline) return fail(arg + QStringLiteral(" takes no value"));
            if (++libraryActions > 1) return fail(QStringLiteral("library takes one action"));
            o.libraryAction = arg == QLatin1String("--plan") ? CliOptions::LibraryAction::Plan
                              : arg == QLatin1String("--review")
                                  ? CliOptions::LibraryAction::Review
                                  : CliOptions::LibraryAction::Status;
        } else if (arg == QLatin1String("--apply") || arg == QLatin1String("--skip")) {
            if (!value(&o.libraryFolder)) return fail(arg + QStringLiteral(" needs a FOLDER"));
            if (++libraryActions > 1) return fail(QStringLiteral("library takes one action"));
            o.libraryAction = arg == QLatin1String("--apply") ? CliOptions::LibraryAction::Apply
                                                              : CliOptions::LibraryAction::Skip;
        } else if (arg == QLatin1String("--max-distance")) {
            bool ok = false;
            const double d = value(&v) ? v.toDouble(&ok) : 0;
            if (!ok || d < 0 || d > 1)
                return fail(QStringLiteral("--max-distance needs a number from 0 to 1"));
            o.maxDistance = d;
        } else if (arg == QLatin1String("--json")) {
            if (!flag(&o.json)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--verbose")) {
            if (!flag(&o.verbose)) return fail(arg + QStringLiteral(" takes no value"));
        } else if (arg == QLatin1String("--terms")) {
            if (!value(&v)) return fail(QStringLiteral("--terms needs \"ARTIST / ALBUM\""));
            o.terms = v;
        } else if (arg == QLatin1String("--choose")) {
            if (!value(&v) || !positive(v, &o.choose))
                return fail(QStringLiteral("--choose needs a hit number from 1 up"));
        } else if (arg == QLatin1String("--box-set")) {
            if (!value(&v)) return fail(QStringLiteral("--box-set needs hit numbers: N[,M...]"));
            for (const QString& part : v.split(QLatin1Char(','))) {
                int n = 0;
                if (!positive(part.trimmed(), &n))
                    return fail(
                        QStringLiteral("--box-set needs hit numbers from 1 up: \"%1\"").arg(v));
                o.boxSet << n;
            }
        } else if (arg == QLatin1String("--artist") || arg == QLatin1String("--album") ||
                   arg == QLatin1String("--year") || arg == QLatin1String("--genre") ||
                   arg == QLatin1String("--title") || arg == QLatin1String("--track") ||
                   arg == QLatin1String("--count")) {
            if (!value(&v)) return fail(arg + QStringLiteral(" needs a value"));
            std::optional<QString>* field = arg == QLatin1String("--artist")  ? &o.artist
                                            : arg == QLatin1String("--album") ? &o.album
                                            : arg == QLatin1String("--year")  ? &o.year
                                            : arg == QLatin1String("--genre") ? &o.genre
                                            : arg == QLatin1String("--title") ? &o.title
                                            : arg == QLatin1String("--track") ? &o.track
                                                                              : &o.count;
            *field = v;
        } else if (arg == QLatin1String("--set")) {
            if (!value(&v)) return fail(QStringLiteral("--set needs KEY=VALUE"));
            const int at = v.indexOf(QLatin1Char('='));
            if (at <= 0) return fail(QStringLiteral("--set needs KEY=VALUE, not \"%1\"").arg(v));
            o.overrides.append({v.left(at), v.mid(at + 1)});
        } else {
            return fail(QStringLiteral("Unknown option %1").arg(arg));
        }
    }

    if (positional.isEmpty()) return fail(QStringLiteral("No command given"));
    const QString command = positional.takeFirst();
    if (command == QLatin1String("open")) {
        if (positional.size() != 1) return fail(QStringLiteral("open needs one FOLDER"));
        o.command = CliOptions::Command::Open;
        o.folder = positional[0];
        if (o.reverse && !o.variousArtists)
            return fail(QStringLiteral("--reverse works only with --various-artists"));
    } else if (command == QLatin1String("file")) {
        if (positional.size() != 1) return fail(QStringLiteral("file needs one FILE"));
        o.command = CliOptions::Command::File;
        o.folder = positional[0];
    } else if (command == QLatin1String("prefs")) {
        o.command = CliOptions::Command::Prefs;
        if (positional.size() == 2) {
            o.prefsKey = positional[0];
            o.prefsValue = positional[1];
            o.prefsStore = true;
        } else if (!positional.isEmpty()) {
            return fail(QStringLiteral("prefs takes nothing, or KEY VALUE"));
        }
        if (o.prefsCheck && o.prefsStore)
            return fail(QStringLiteral("prefs --check takes no KEY VALUE"));
    } else if (command == QLatin1String("demo-album")) {
        if (positional.size() != 1) return fail(QStringLiteral("demo-album needs one DIR"));
        o.command = CliOptions::Command::DemoAlbum;
        o.folder = positional[0];
    } else if (command == QLatin1String("library")) {
        if (positional.size() != 1) return fail(QStringLiteral("library needs one ROOT"));
        o.command = CliOptions::Command::Library;
        o.folder = positional[0];
        using Action = CliOptions::LibraryAction;
        if (o.save) {
            if (libraryActions > 0) return fail(QStringLiteral("library takes one action"));
            o.libraryAction = Action::Save;
        }
        if ((o.libraryAction == Action::Apply) != (o.choose > 0))
            return fail(QStringLiteral("--apply FOLDER goes with --choose N"));
        if (o.maxDistance && o.libraryAction != Action::Save)
            return fail(QStringLiteral("--max-distance belongs to --save"));
        const bool others = o.cleanUpOnly || o.terms || folderOnlyOptions(o) || o.title ||
                            o.track || o.count || o.artist || o.album || o.year || o.genre ||
                            o.yes || o.prefsCheck;
        if (others) return fail(QStringLiteral("Those options belong to the open command"));
        return result;
    } else {
        return fail(QStringLiteral("Unknown command \"%1\"").arg(command));
    }
    if (libraryActions > 0 || o.maxDistance)
        return fail(QStringLiteral("Those options belong to the library command"));
    if (o.prefsCheck && o.command != CliOptions::Command::Prefs)
        return fail(QStringLiteral("--check belongs to the prefs command"));
    const bool folderOnly = folderOnlyOptions(o);
    const bool fileOnly = o.title || o.track || o.count;
    if (o.command == CliOptions::Command::File && folderOnly)
        return fail(QStringLiteral("Those options belong to album folders"));
    if (o.command != CliOptions::Command::Open && o.command != CliOptions::Command::File) {
        const bool openOnly = o.cleanUpOnly || o.terms || o.choose || folderOnly || fileOnly ||
                              o.artist || o.album || o.year || o.genre || o.save || o.yes ||
                              o.json;
        if (openOnly) return fail(QStringLiteral("Those options belong to the open command"));
    }
    return result;
}
