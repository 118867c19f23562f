#include "tags/TagValues.h"

#include "tags/TextNumbers.h"

#include <bit>
#include <iterator>

namespace {

// Every text field with its member: the one list the generic operations
// walk.
struct TextField {
    TagField field;
    QString TagValues::*member;
};
constexpr TextField kTextFields[] = {
    {TagField::Title, &TagValues::title},
    {TagField::Artist, &TagValues::artist},
    {TagField::AlbumArtist, &TagValues::albumArtist},
    {TagField::Album, &TagValues::album},
    {TagField::Year, &TagValues::year},
    {TagField::Genre, &TagValues::genre},
    {TagField::Track, &TagValues::track},
    {TagField::TrackCount, &TagValues::trackCount},
    {TagField::Disc, &TagValues::disc},
    {TagField::DiscCount, &TagValues::discCount},
    {TagField::MBReleaseId, &TagValues::mbReleaseId},
    {TagField::MBReleaseGroupId, &TagValues::mbReleaseGroupId},
    {TagField::MBReleaseTrackId, &TagValues::mbReleaseTrackId},
    {TagField::MBRecordingId, &TagValues::mbRecordingId},
    {TagField::MBArtistId, &TagValues::mbArtistId},
    {TagField::MBAlbumArtistId, &TagValues::mbAlbumArtistId},
};
static_assert(std::size(kTextFields) + 1 == std::bit_width(TagValues::kAll.toInt()),
              "every text field is in the table");

bool sameText(const QString& a, const QString& b) {
    return a.isNull() == b.isNull() && a == b;
}

int numberOf(const QString& text) {
    return qMax(0, IntValue(text));
}

QString countText(int count) {
    return count < 1 ? QString(u""_qs) : QString::number(count);
}

} // namespace

QString TagValues::text(TagField field) const {
    for (const TextField& t : kTextFields)
        if (t.field == field) return this->*t.member;
    return QString();
}

void TagValues::setText(TagField field, const QString& value) {
    for (const TextField& t : kTextFields)
        if (t.field == field) this->*t.member = value;
}

void TagValues::assign(const TagValues& from, TagFields fields) {
    for (const TextField& t : kTextFields)
        if (fields.testFlag(t.field)) this->*t.member = from.*t.member;
    if (fields.testFlag(TagField::Custom)) custom = from.custom;
}

TagFields TagValues::differing(const TagValues& other) const {
    TagFields out;
    for (const TextField& t : kTextFields)
        if (!sameText(this->*t.member, other.*t.member)) out |= t.field;
    if (custom != other.custom) out |= TagField::Custom;
    return out;
}

int TagValues::trackNumber() const {
    return numberOf(track);
}
int TagValues::trackCountNumber() const {
    return numberOf(trackCount);
}
int TagValues::discNumber() const {
    return numberOf(disc);
}
int TagValues::discCountNumber() const {
    return numberOf(discCount);
}

QString TagValues::longTrack() const {
    if (track.isNull() || trackCount.isEmpty()) return track;
    return track + u'/' + trackCount;
}

void TagValues::setTrack(int number, int count) {
    track = QString::number(number);
    trackCount = countText(count);
}

void TagValues::setDisc(int number, int count) {
    disc = QString::number(number);
    discCount = countText(count);
}

TagValues TagValues::withTrack(int number, int count) {
    TagValues values;
    values.setTrack(number, count);
    return values;
}

std::pair<QString, QString> TagValues::splitPair(const QString& text) {
    if (text.isNull()) return {};
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0) return {text, QString(u""_qs)};
    return {text.left(slash), text.mid(slash + 1)};
}

QStringList TagValues::valuesOf(const QString& text) {
    return text.split(QChar(kValueSeparator), Qt::SkipEmptyParts);
}

QString TagValues::joinedValues(const QStringList& values) {
    return values.isEmpty() ? QString() : values.join(QChar(kValueSeparator));
}
