#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "support/SourceTestKit.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <functional>

namespace {

class SourceDumpsTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        fServer.handle("/cg/amg.dll", [](const httplib::Request& req, httplib::Response& res) {
            if (req.get_param_value("OPT1") == "3")
                res.set_content(
                    "<td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=33:j\">J</a></td>"
                    "<td class=\"cell\">1</td>",
                    "text/html");
            else if (req.get_param_value("sql") == "33:j")
                res.set_content("<div id=\"tabcontent_0\"><div id=\"songearchresults\"></div>"
                                "<!--End Center Content-->",
                                "text/html");
            else
                res.set_content("page", "text/html");
        });
        fServer.serve("/musicsearch", "page");
        fServer.serve("/musicl", "page");
        fServer.serve("/freedb_search.php", "page");
        fServer.handle("/search/.*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("page", "text/html");
        });
    }

    // The dump names with their number written as "%d"; the numbers must
    // follow one another.
    QStringList dumpPatterns() const {
        QStringList patterns;
        int previous = -1;
        for (const QString& name : dumpNames()) {
            const auto match = QRegularExpression(QStringLiteral("_(\\d+)\\.")).match(name);
            const int number = match.captured(1).toInt();
            EXPECT_TRUE(previous < 0 || number == previous + 1) << name.toStdString();
            previous = number;
            patterns << QString(name).replace(match.capturedStart(1), match.capturedLength(1),
                                              QStringLiteral("%d"));
        }
        return patterns;
    }

    void clearDumps() {
        QDir folder(fDumps.path());
        for (const QString& name : folder.entryList(QDir::Files))
            folder.remove(name);
    }
};

TEST_F(SourceDumpsTest, EveryRequestAndPageIsDumpedUnderItsSourcesName) {
    const QString terms = QStringLiteral("Bjork / Joga");
    struct Row {
        const char* name;
        std::function<void()> run;
        QStringList patterns;
    } rows[] = {
        {"AMG album search",
         [&] {
             AlbumInfoArray hits;
             AllMusicGuide().search(hits, terms, std::nullopt, Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_AMG_%d.txt", "Trovix_AMG_AlbumSearchResults_%d.htm"}},
        {"AMG song search",
         [&] {
             TrackInfoArray hits;
             AllMusicGuide().searchSongs(hits, terms, std::nullopt, Prefs::sourceOptions(),
                                         nullptr);
         },
         {"Trovix_AMG_%d.txt", "Trovix_AMG_FuzzySongSearchResults_%d.htm", "Trovix_AMG_%d.txt",
          "Trovix_AMG_ExactSongSearchResults_%d.htm"}},
        {"AMG album page",
         [] {
             AllMusicGuide().details(QStringLiteral("#AMG:10:x"), Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_AMG_AlbumDescription_%d.htm"}},
        {"Google album search",
         [&] {
             AlbumInfoArray hits;
             GoogleMusic().search(hits, terms, std::nullopt, Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_Google_%d.txt", "Trovix_GOOG_AlbumSearchResults_%d.htm"}},
        {"Google song search",
         [&] {
             TrackInfoArray hits;
             GoogleMusic().searchSongs(hits, terms, std::nullopt, Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_Google_%d.txt", "Trovix_Google_SongSearch_%d.htm"}},
        {"Google album page",
         [] {
             GoogleMusic().details(QStringLiteral("#GOOG:lid=1"), Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_Google_%d.htm"}},
        {"FreeDB search",
         [&] {
             AlbumInfoArray hits;
             FreeDB().search(hits, terms, std::nullopt, Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_FreeDB_%d.txt", "Trovix_FreeDB_%d.htm"}},
        {"gnudb search",
         [&] {
             AlbumInfoArray hits;
             Gnudb().search(hits, terms, std::nullopt, Prefs::sourceOptions(), nullptr);
         },
         {"Trovix_GnuDB_%d.txt", "Trovix_GnuDB_%d.htm"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clearDumps();
        row.run();
        EXPECT_EQ(dumpPatterns(), row.patterns);
        // A request dump holds the address that was asked for.
        const QStringList names = dumpNames();
        if (!names.isEmpty() && names[0].endsWith(QStringLiteral(".txt"))) {
            QFile request(QDir(fDumps.path()).filePath(names[0]));
            ASSERT_TRUE(request.open(QIODevice::ReadOnly));
            EXPECT_TRUE(request.readAll().startsWith(fServer.baseUrl().toLatin1() + "/"));
        }
    }
}

} // namespace
