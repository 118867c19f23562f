#include "support/LoopbackAlbumWeb.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "web/GrabWebPage.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QUrl>

LoopbackAlbumWeb::LoopbackAlbumWeb() {
    fServer.handle("/search", [this](const httplib::Request&, httplib::Response& res) {
        if (fSlow) fServer.stall(std::chrono::seconds(10));
        std::string body;
        for (const Album& a : std::as_const(fAlbums))
            body += QStringList{a.key, a.artist, a.album, a.year, a.genre, a.titles.join(';')}
                        .join('|')
                        .toStdString() +
                    "\n";
        res.set_content(body, "text/plain; charset=iso-8859-1");
    });
}

void LoopbackAlbumWeb::addAlbum(const Album& album) {
    fAlbums.append(album);
}

void LoopbackAlbumWeb::enableOnlyAMG() {
    Prefs::setValue(QString::fromLatin1(AllMusicGuide::kSearchKey), true);
    Prefs::setValue(QString::fromLatin1(GoogleMusic::kSearchKey), false);
    Prefs::setValue(QString::fromLatin1(Gnudb::kSearchKey), false);
    Prefs::setValue(QString::fromLatin1(FreeDB::kSearchKey), false);
    Prefs::setValue(QString::fromLatin1(Prefs::kSearchForCoverArt), false);
}

LookupSources LoopbackAlbumWeb::sources() {
    LookupSources s;
    const QString base = fServer.baseUrl();
    s.albumSearches[QStringLiteral("All Music Guide")] =
        [base](AlbumInfoArray& list, const QString& terms,
               const std::optional<ScoreWeights>& weights, const SourceOptions&,
               ProgressIndicator* progress) {
            QString url = base + QStringLiteral("/search?q=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(terms));
            const std::optional<QString> page = GrabWebPage(url, progress, 30, nullptr);
            if (!page) return;
            for (const QString& line : page->split('\n', Qt::SkipEmptyParts)) {
                const QStringList f = line.split('|');
                if (f.size() < 6) continue;
                auto details = std::make_shared<AlbumDetails>();
                details->setResultKey(f[0]);
                details->setArtist(f[1]);
                details->setAlbum(f[2]);
                details->setYear(f[3]);
                details->setGenre(f[4]);
                for (const QString& title : f[5].split(';', Qt::SkipEmptyParts))
                    details->addTitle(title, QString());
                auto hit = std::make_shared<AlbumInfo>();
                hit->setResultKey(f[0]);
                hit->setArtist(f[1]);
                hit->setAlbum(f[2]);
                hit->setIADBCompareString(f[1] + QStringLiteral(" / ") + f[2]);
                hit->setAlbumDetails(details);
                list.addSorted(hit, weights, 0);
            }
        };
    s.details = [](const AlbumInfo& hit, const SourceOptions&, ProgressIndicator*) {
        return hit.albumDetails();
    };
    return s;
}
