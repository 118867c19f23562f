#include "model/MatchDistance.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "model/NameLayout.h"
#include "text/FuzzyMatch.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Whole seconds between a file's duration and a listed length, uncapped:
// the explanation shows how far off a length is.
int secondsOff(uint32_t durationSecs, int lengthMs) {
    return int(std::min<long long>(
        std::llabs(static_cast<long long>(durationSecs) - (static_cast<long long>(lengthMs) + 500) / 1000),
        24 * 3600));
}

// Shares of the whole when every part is known. The track count weighs most:
// a missing or extra track alone puts a hit past any sure distance.
constexpr double kTracksWeight = 0.25;
constexpr double kTitlesWeight = 0.20;
constexpr double kLengthsWeight = 0.25;
constexpr double kArtistWeight = 0.10;
constexpr double kAlbumWeight = 0.10;
constexpr double kYearWeight = 0.05;
constexpr double kDiscsWeight = 0.05;
// Any difference in the track count costs at least this much of its part.
constexpr double kCountFloor = 0.5;
// Years this far apart count as wholly different.
constexpr int kYearSpan = 10;
// A length within this many seconds agrees (rips and databases differ by a
// second or two); each second more costs a tenth, so another pressing whose
// tracks are some seconds off is told from the right one.
constexpr int kLengthSlackSecs = 2;
constexpr double kLengthSecondCost = 0.1;

QString normalized(const QString& s) {
    return s.toCaseFolded().simplified();
}

// A title the file's name gives when its tags give none: the name less its
// extension and leading track number.
QString titleFromName(const QString& displayName) {
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*\\d+\\s*[-._ ]*\\s*"));
    QString base = NameLayout::baseName(displayName);
    const QString stripped = base.remove(leadingNumber);
    return stripped.isEmpty() ? NameLayout::baseName(displayName) : stripped;
}

// The first 18xx, 19xx or 20xx in `text`, or 0. A scan rather than a
// pattern: compiling one costs a fraction of a millisecond of every opening.
int yearOf(const QString& text) {
    auto digit = [&](qsizetype i) { return text[i] >= u'0' && text[i] <= u'9'; };
    for (qsizetype i = 0; i + 4 <= text.size(); ++i) {
        const bool century = (text[i] == u'1' && (text[i + 1] == u'8' || text[i + 1] == u'9')) ||
                             (text[i] == u'2' && text[i + 1] == u'0');
        if (century && digit(i + 2) && digit(i + 3)) return text.mid(i, 4).toInt();
    }
    return 0;
}

// The best likeness of `value` to any candidate, and the candidate.
std::pair<int, QString> bestLikeness(const QStringList& candidates, const QString& value) {
    std::pair<int, QString> best{-1, QString()};
    for (const QString& c : candidates) {
        const int l = MatchDistance::likeness(c, value);
        if (l > best.first) best = {l, c};
    }
    return best;
}

QString percent(int likeness) {
    return QStringLiteral("%1 %").arg(likeness);
}

} // namespace

int MatchDistance::likeness(const QString& a, const QString& b) {
    const QString x = normalized(a), y = normalized(b);
    if (x == y) return 100;
    return (FuzzyCompare(x, y) + FuzzyCompare(y, x)) / 2;
}

QString MatchDistance::clock(int seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString MatchDistance::Track::explanation() const {
    if (file < 0) return QStringLiteral("no file");
    QStringList parts;
    if (fileSecs > 0 && hitSecs)
        parts << QStringLiteral("length %1 vs %2").arg(clock(fileSecs), clock(*hitSecs));
    parts << QStringLiteral("title ") + percent(titleLikeness);
    return parts.join(QStringLiteral(", "));
}

MatchDistance::Folder MatchDistance::Folder::fromTracks(const AudioTrackArray& tracks,
                                                        const AlbumDetails* fromTags,
                                                        const AlbumDetails* fromNames) {
    Folder f;
    for (const AudioTrackRef& t : tracks) {
        if (t->isPlaceholder()) continue;
        // The document pairs titles by the tag title; only the comparison
        // falls back on the name, so an untagged file is not all wrong.
        QString title = t->getOldTitle();
        if (title.trimmed().isEmpty()) title = titleFromName(t->getFileName());
        f.files.push_back({title, t->getTrackNum(), t->getDurationSecs()});
        f.fileArtists << t->tags().artist;
    }
    for (const AlbumDetails* d : {fromTags, fromNames}) {
        if (!d) continue;
        if (!d->artist().trimmed().isEmpty()) f.artists << d->artist();
        if (!d->album().trimmed().isEmpty()) f.albums << d->album();
        if (f.year.isEmpty() && yearOf(d->year())) f.year = d->year();
    }
    return f;
}

void MatchDistance::addPart(const QString& name, double weight, double value, const QString& why) {
    fParts.append({name, weight, std::clamp(value, 0.0, 1.0), why, 0});
}

void MatchDistance::finish() {
    double total = 0, sum = 0;
    for (const Part& p : fParts) {
        total += p.weight;
        sum += p.weight * p.value;
    }
    for (Part& p : fParts)
        p.share = total > 0 ? p.weight * p.value / total : 0;
    fValue = total > 0 ? sum / total : 0;
}

void MatchDistance::addCountPart(int files, int tracks) {
    const int missing = std::max(0, tracks - files), extra = std::max(0, files - tracks);
    QString why = QStringLiteral("%1 files, %2 tracks").arg(files).arg(tracks);
    QStringList off;
    if (missing) off << QStringLiteral("%1 missing").arg(missing);
    if (extra) off << QStringLiteral("%1 extra").arg(extra);
    if (!off.isEmpty()) why += QStringLiteral(": ") + off.join(QStringLiteral(", "));
    const double value =
        missing + extra == 0
            ? 0
            : kCountFloor + (1 - kCountFloor) * double(missing + extra) / std::max(files, tracks);
    addPart(QStringLiteral("tracks"), kTracksWeight, value, why);
}

void MatchDistance::addArtistPart(const Folder& folder, const QString& artist) {
    if (folder.artists.isEmpty() || artist.isEmpty()) return;
    const auto [l, which] = bestLikeness(folder.artists, artist);
    addPart(QStringLiteral("artist"), kArtistWeight, 1 - l / 100.0,
            QStringLiteral("\"%1\" vs \"%2\", %3").arg(which, artist, percent(l)));
}

void MatchDistance::addAlbumParts(const Folder& folder, const QString& album, const QString& year) {
    if (!folder.albums.isEmpty() && !album.isEmpty()) {
        const auto [l, which] = bestLikeness(folder.albums, album);
        addPart(QStringLiteral("album"), kAlbumWeight, 1 - l / 100.0,
                QStringLiteral("\"%1\" vs \"%2\", %3").arg(which, album, percent(l)));
    }
    const int folderYear = yearOf(folder.year), hitYear = yearOf(year);
    if (folderYear && hitYear)
        addPart(QStringLiteral("year"), kYearWeight,
                double(std::abs(folderYear - hitYear)) / kYearSpan,
                QStringLiteral("%1 vs %2").arg(folderYear).arg(hitYear));
}

MatchDistance MatchDistance::estimate(const Folder& folder, const AlbumInfo& hit) {
    MatchDistance d;
    if (hit.trackCount() > 0) d.addCountPart(int(folder.files.size()), hit.trackCount());
    d.addArtistPart(folder, hit.artist());
    d.addAlbumParts(folder, hit.album(), hit.year());
    d.finish();
    return d;
}

std::optional<MatchDistance> MatchDistance::compute(const Folder& folder, const AlbumInfo& hit) {
    const std::shared_ptr<AlbumDetails> details = hit.albumDetails();
    // A hit made from the folder's own tags or names would only measure the
    // folder against itself.
    const QString key = hit.resultKey();
    if (!details || key.startsWith(AlbumInfo::kTagKey) || key.startsWith(AlbumInfo::kFilesKey))
        return std::nullopt;
    return compute(folder, *details);
}

MatchDistance MatchDistance::compute(const Folder& folder, const AlbumDetails& details) {
    MatchDistance d;
    const int n = int(folder.files.size());
    const int t = details.numTracks();

    std::vector<TitleMatcher::Title> titles;
    titles.reserve(size_t(t));
    for (int i = 0; i < t; ++i)
        titles.push_back({details.titleAtIndex(i), details.lengthAtIndex(i)});
    const std::vector<qsizetype> assigned = TitleMatcher::assign(folder.files, titles);

    d.addCountPart(n, t);

    // Titles and lengths of the pairs the matching made.
    double titleSum = 0, lengthSum = 0;
    int paired = 0, timed = 0, worstTitle = 100, worstOff = 0;
    d.fTracks.resize(size_t(t));
    bool trackArtists = false;
    double artistSum = 0;
    int artistPairs = 0;
    for (int i = 0; i < t; ++i) {
        Track& track = d.fTracks[size_t(i)];
        track.hitSecs = titles[size_t(i)].lengthMs
                            ? std::optional<int>((*titles[size_t(i)].lengthMs + 500) / 1000)
                            : std::nullopt;
        const qsizetype j = assigned[size_t(i)];
        if (j < 0) continue;
        const TitleMatcher::Record& file = folder.files[size_t(j)];
        track.file = int(j);
        track.fileSecs = int(file.durationSecs);
        track.titleLikeness = likeness(file.title, titles[size_t(i)].title);
        titleSum += 1 - track.titleLikeness / 100.0;
        worstTitle = std::min(worstTitle, track.titleLikeness);
        ++paired;
        if (file.durationSecs > 0 && titles[size_t(i)].lengthMs) {
            const int off = secondsOff(file.durationSecs, *titles[size_t(i)].lengthMs);
            lengthSum += std::min(1.0, std::max(0, off - kLengthSlackSecs) * kLengthSecondCost);
            worstOff = std::max(worstOff, off);
            ++timed;
        }
        // A compilation's titles carry their own artists: each is compared
        // with its file's artist tag.
        const QString titleArtist = details.artistAtIndex(i);
        const QString fileArtist =
            j < folder.fileArtists.size() ? folder.fileArtists[j] : QString();
        if (!titleArtist.isEmpty()) trackArtists = true;
        if (!fileArtist.trimmed().isEmpty()) {
            const QString expected = titleArtist.isEmpty() ? details.artist() : titleArtist;
            artistSum += 1 - likeness(fileArtist, expected) / 100.0;
            ++artistPairs;
        }
    }
    if (paired > 0)
        d.addPart(QStringLiteral("titles"), kTitlesWeight, titleSum / paired,
                  QStringLiteral("%1 titles, mean %2, worst %3")
                      .arg(paired)
                      .arg(percent(int(std::lround(100 * (1 - titleSum / paired)))),
                           percent(worstTitle)));
    if (timed > 0)
        d.addPart(QStringLiteral("lengths"), kLengthsWeight, lengthSum / timed,
                  QStringLiteral("%1 lengths, worst off by %2 s").arg(timed).arg(worstOff));

    // Artist: per title for a compilation whose files carry artists, else
    // the album's.
    if (trackArtists && artistPairs > 0) {
        d.addPart(QStringLiteral("artist"), kArtistWeight, artistSum / artistPairs,
                  QStringLiteral("track artists, mean %1")
                      .arg(percent(int(std::lround(100 * (1 - artistSum / artistPairs))))));
    } else {
        d.addArtistPart(folder, details.artist());
    }
    d.addAlbumParts(folder, details.album(), details.year());
    if (const int discs = details.discCount(); discs > 0)
        d.addPart(QStringLiteral("discs"), kDiscsWeight, discs == folder.discs ? 0 : 1,
                  QStringLiteral("%1 vs %2").arg(folder.discs).arg(discs));
    d.finish();
    return d;
}

QList<MatchDistance::Part> MatchDistance::largestParts(int count) const {
    QList<Part> sorted;
    for (const Part& p : fParts)
        if (p.share > 0) sorted << p;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Part& a, const Part& b) { return a.share > b.share; });
    return sorted.mid(0, count);
}

QString MatchDistance::summary(int count) const {
    QStringList parts;
    for (const Part& p : largestParts(count))
        parts << QStringLiteral("%1 %2 (%3)").arg(p.name, QString::number(p.share, 'f', 2), p.why);
    const QString value = QString::number(fValue, 'f', 2);
    return parts.isEmpty() ? value
                           : value + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}
