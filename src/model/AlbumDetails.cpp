#include "model/AlbumDetails.h"

#include "model/AudioTrackArray.h"
#include "model/NameLayout.h"
#include "model/RecordDump.h"
#include "model/VoteTally.h"
#include "tags/TextNumbers.h"
#include "text/FuzzyMatch.h"
#include "text/SmartCapitalize.h"

#include <QHash>

std::shared_ptr<AlbumDetails> AlbumDetails::copy() const {
    return std::make_shared<AlbumDetails>(*this);
}

QString AlbumDetails::stringFor(const QString& key) const {
    auto it = fDict.constFind(key);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void AlbumDetails::setString(const QString& key, const QString& value) {
    if (!value.isNull()) fDict.insert(key, value);
}

std::shared_ptr<AlbumDetails> AlbumDetails::albumDetails() const {
    return fDict.value(kAlbumDetailsKey).value<std::shared_ptr<AlbumDetails>>();
}

void AlbumDetails::setAlbumDetails(const std::shared_ptr<AlbumDetails>& details) {
    if (details) fDict.insert(kAlbumDetailsKey, QVariant::fromValue(details));
}

std::shared_ptr<AlbumDetails> AlbumDetails::sharedSelf() const {
    if (auto self = weak_from_this().lock()) return std::const_pointer_cast<AlbumDetails>(self);
    return copy();
}

QString AlbumDetails::titleAtIndex(qsizetype index) const {
    const QVariantList titles = titleArray();
    if (index < 0 || index >= titles.size()) return QStringLiteral("");
    const QString title = titles[index].toMap().value(kEntryTitleKey).toString();
    return title.isNull() ? QStringLiteral("") : title;
}

QString AlbumDetails::artistAtIndex(qsizetype index) const {
    const QVariantList titles = titleArray();
    if (index < 0 || index >= titles.size()) return QString();
    const QVariantMap entry = titles[index].toMap();
    auto it = entry.constFind(kEntryArtistKey);
    return it == entry.constEnd() ? QString() : it->toString();
}

void AlbumDetails::addTitle(const QString& title, const QString& artist) {
    QVariantMap entry;
    if (!title.isNull()) entry.insert(kEntryTitleKey, title);
    if (!artist.isNull()) entry.insert(kEntryArtistKey, artist);
    // Taken out of the dictionary so the append does not copy the whole list.
    QVariantList titles = fDict.take(kTitlesKey).toList();
    titles.append(entry);
    setTitles(titles);
}

void AlbumDetails::addTitle(const QString& title, const QString& artist, int lengthMs) {
    addTitle(title, artist);
    QVariantList titles = fDict.take(kTitlesKey).toList();
    QVariantMap entry = titles.takeLast().toMap();
    entry.insert(kEntryLengthKey, lengthMs);
    titles.append(entry);
    setTitles(titles);
}

std::optional<int> AlbumDetails::lengthAtIndex(qsizetype index) const {
    const QVariantList titles = titleArray();
    if (index < 0 || index >= titles.size()) return std::nullopt;
    const QVariant length = titles[index].toMap().value(kEntryLengthKey);
    if (!length.isValid()) return std::nullopt;
    return length.toInt();
}

void AlbumDetails::appendTitlesFrom(const AlbumDetails& other) {
    QVariantList titles = titleArray();
    titles.append(other.titleArray()); // a copy first, so appending to itself is safe
    setTitles(titles);
}

namespace {

// Text fields by number, only the named ones.
QVariantMap tagMap(const TagValues& values, TagFields fields) {
    QVariantMap map;
    for (quint32 bit = 1; bit <= TagValues::kTexts.toInt(); bit <<= 1)
        if (fields.testFlag(TagField(bit)) && TagValues::kTexts.testFlag(TagField(bit)))
            map.insert(QString::number(bit), values.text(TagField(bit)));
    return map;
}

TagValues tagsOf(const QVariantMap& map, TagFields* present) {
    TagValues values;
    TagFields fields;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const TagField field = TagField(it.key().toUInt());
        if (!TagValues::kTexts.testFlag(field)) continue;
        values.setText(field, it->toString());
        fields |= field;
    }
    if (present) *present = fields;
    return values;
}

} // namespace

void AlbumDetails::setAlbumTags(const TagValues& values, TagFields fields) {
    fDict.insert(kTagsKey, tagMap(values, fields));
}

TagValues AlbumDetails::albumTags(TagFields* present) const {
    return tagsOf(fDict.value(kTagsKey).toMap(), present);
}

void AlbumDetails::setLastTags(const TagValues& values, TagFields fields) {
    QVariantList titles = fDict.take(kTitlesKey).toList();
    if (!titles.isEmpty()) {
        QVariantMap entry = titles.takeLast().toMap();
        entry.insert(kTagsKey, tagMap(values, fields));
        titles.append(entry);
    }
    setTitles(titles);
}

TagValues AlbumDetails::tagsAtIndex(qsizetype index, TagFields* present) const {
    const QVariantList titles = titleArray();
    const QVariantMap entry =
        index >= 0 && index < titles.size() ? titles[index].toMap() : QVariantMap();
    return tagsOf(entry.value(kTagsKey).toMap(), present);
}

void AlbumDetails::setDiscWhereUnset(int disc, int count) {
    QVariantList titles = fDict.take(kTitlesKey).toList();
    for (QVariant& title : titles) {
        QVariantMap entry = title.toMap();
        TagFields present;
        TagValues tags = tagsOf(entry.value(kTagsKey).toMap(), &present);
        if (present.testFlag(TagField::Disc)) continue;
        tags.setDisc(disc, count);
        entry.insert(kTagsKey, tagMap(tags, present | TagField::Disc | TagField::DiscCount));
        title = entry;
    }
    setTitles(titles);
}

QString AlbumDetails::majorityVote(const QStringList& values) {
    VoteTally tally;
    for (const QString& value : values)
        tally.vote(value);
    return tally.winner();
}

QString AlbumDetails::guessWithSel(const AudioTrackArray& tracks, TagField field) {
    QStringList values;
    for (const AudioTrackRef& track : tracks)
        values.append(track->tags().text(field));
    return majorityVote(values);
}

std::shared_ptr<AlbumDetails> AlbumDetails::AlbumDetailsFromTags(const AudioTrackArray& tracks,
                                                                 const CustomTag* customTag,
                                                                 bool smartCap) {
    auto record = std::make_shared<AlbumDetails>();
    record->setResultKey(kTagKey);
    auto capitalized = [smartCap](const QString& text) {
        return smartCap && !text.isNull() ? SmartCapitalize(text) : text;
    };

    AudioTrackArray sorted = tracks;
    sorted.sortUsingSelector(&AudioTrack::compareIndex);

    if (customTag && !customTag->variousArtist().isEmpty())
        record->setArtist(customTag->variousArtist());
    else
        record->setArtist(capitalized(guessWithSel(sorted, TagField::Artist)));
    record->setAlbum(capitalized(guessWithSel(sorted, TagField::Album)));
    record->setYear(guessWithSel(sorted, TagField::Year));
    record->setGenre(capitalized(guessWithSel(sorted, TagField::Genre)));

    for (const AudioTrackRef& track : sorted)
        record->addTitle(track->getOldTitle(), track->tags().artist);
    return record;
}

std::shared_ptr<AlbumDetails> AlbumDetails::AlbumDetailsFromFiles(const AudioTrackArray& tracks) {
    QStringList names;
    for (const AudioTrackRef& track : tracks)
        names.append(track->getDisplayName());
    const AudioTrackRef first = tracks.at(0);
    return AlbumDetailsFromNames(names, first ? first->getFolder() : QString());
}

void AlbumDetails::setArtistAlbumFromFolders(const AudioTrack& track) {
    setArtistAlbumFromFolderPath(track.getFolder());
}

int AlbumDetails::indexOfClosestTitle(const QString& title) const {
    int bestIndex = 0;
    int bestScore = 0;
    const int n = numTracks();
    for (int i = 0; i < n; ++i) {
        const int score = FuzzyCompare(titleAtIndex(i), title);
        if (score > bestScore) {
            bestScore = score;
            bestIndex = i;
        }
    }
    return bestIndex;
}

std::shared_ptr<AlbumDetails> AlbumDetails::AlbumDetailsFromNames(const QStringList& displayNames,
                                                                  const QString& firstFolder) {
    auto record = std::make_shared<AlbumDetails>();
    record->setResultKey(kFilesKey);
    const int n = int(displayNames.size());
    if (n == 0) return record;

    QList<QStringList> words, parts;
    bool wordLayout = true;
    for (const QString& displayName : displayNames) {
        const QString name =
            NameLayout::baseName(displayName.isNull() ? QStringLiteral("") : displayName);
        words.append(NameLayout::words(name));
        parts.append(NameLayout::parts(name));
        wordLayout = wordLayout && NameLayout::isWordLayout(words.last());
    }

    // Track number -> the last name carrying it.
    QHash<int, qsizetype> byNumber;
    if (wordLayout) {
        for (qsizetype i = 0; i < n; ++i)
            byNumber.insert(IntValue(words[i][0]), i);
        for (int t = 1; t <= n; ++t) {
            const qsizetype found = byNumber.value(t, -1);
            record->addTitle(found < 0 ? kMissingTrack : words[found].mid(1).join(u' '), QString());
        }
        record->setArtistAlbumFromFolderPath(firstFolder);
        return record;
    }

    const NameLayout layout = NameLayout::choose(parts);
    if (layout.hasNumber())
        for (qsizetype i = 0; i < n; ++i)
            if (layout.fits(parts[i])) byNumber.insert(layout.numberOf(parts[i]), i);
    for (int t = 1; t <= n; ++t) {
        const qsizetype found = byNumber.value(t, -1);
        if (found < 0)
            record->addTitle(kMissingTrack, QString());
        else
            record->addTitle(layout.partAt(parts[found], layout.title()),
                             layout.partAt(parts[found], layout.artist()));
    }
    if (layout.fits(parts[0])) {
        record->setArtist(layout.partAt(parts[0], layout.artist()));
        record->setAlbum(layout.partAt(parts[0], layout.album()));
    }
    record->setArtistAlbumFromFolderPath(firstFolder);
    return record;
}

void AlbumDetails::setArtistAlbumFromFolderPath(const QString& folder) {
    QStringList components = folder.split(u'/', Qt::SkipEmptyParts);
    if (components.isEmpty()) return;
    const QString folderName = components.takeLast();
    const QString parentName = components.isEmpty() ? QString() : components.last();

    auto fillArtist = [this](const QString& v) {
        if (artist().isEmpty() && !v.isEmpty()) setArtist(v);
    };
    auto fillAlbum = [this](const QString& v) {
        if (album().isEmpty() && !v.isEmpty()) setAlbum(v);
    };
    auto yearOf = [](const QString& part) {
        const int value = IntValue(part);
        return value > 1800 ? value : 0;
    };

    const QStringList parts = folderName.split(u'-');
    if (parts.size() == 1) {
        fillAlbum(folderName);
        fillArtist(parentName);
    } else if (parts.size() == 2) {
        if (const int y = yearOf(parts[0])) {
            setYear(QString::number(y));
            fillAlbum(parts[1]);
            fillArtist(parentName);
        } else {
            fillArtist(parts[0]);
            fillAlbum(parts[1]);
        }
    } else if (parts.size() == 3) {
        int yearIndex = -1;
        for (int i = 0; i < 3 && yearIndex < 0; ++i)
            if (yearOf(parts[i])) yearIndex = i;
        if (yearIndex < 0) {
            fillArtist(parts[0]);
            fillAlbum(parts[1]);
        } else {
            setYear(QString::number(yearOf(parts[yearIndex])));
            QStringList others = parts;
            others.removeAt(yearIndex);
            fillArtist(others[0]);
            fillAlbum(others[1]);
        }
    }
}

QVariantMap AlbumDetails::withDetailsAsRefs(const QVariantMap& dict) {
    QVariantMap shown = dict;
    for (QVariant& value : shown) {
        if (value.metaType() != QMetaType::fromType<std::shared_ptr<AlbumDetails>>()) continue;
        const auto details = value.value<std::shared_ptr<AlbumDetails>>();
        value =
            QVariant::fromValue(RecordRef{details ? details->className() : "nil", details.get()});
    }
    return shown;
}

QString AlbumDetails::description() const {
    return DescribeRecord(className(), this, withDetailsAsRefs(fDict));
}
