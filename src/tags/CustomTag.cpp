#include "tags/CustomTag.h"

#include <QStringList>

namespace {

bool isTagSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// The rest of a line after its key. White space before the value is not
// part of it, but it never reaches past the line feed: a blank value is
// empty, not the next line. Terms without an artist keep their " / ".
QString valueOf(const QString& rest) {
    qsizetype from = 0;
    while (from < rest.size() && isTagSpace(rest[from]))
        ++from;
    if (from == rest.size()) return QString(u""_qs);
    const QString value = rest.mid(from);
    if (from > 0 && value.startsWith(QLatin1String("/ "))) return u' ' + value;
    return value;
}

} // namespace

QString CustomTag::stringFor(const QString& key) const {
    auto it = fDict.constFind(key);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void CustomTag::setString(const QString& key, const QString& v) {
    const bool breaksLines = v.contains(u'\t') || v.contains(u'\n') || v.contains(u'\r');
    if (!v.isNull() && !breaksLines) fDict.insert(key, v);
}

QString CustomTag::stringWithStringObject(const QString& value, const QString& key) {
    if (value.isNull()) return QString(u""_qs);
    return key + u'\t' + value + u'\n';
}

QString CustomTag::stringWithBoolObject(bool flag, const QString& key) {
    return key + u'\t' + (flag ? u'1' : u'0') + u'\n';
}

QString CustomTag::customTagToString() const {
    // Every file of a save stores the same tag, copies of one map: its text
    // is made once on each thread, not once for each file.
    thread_local QVariantMap lastDict;
    thread_local QString lastText;
    if (!lastText.isNull() && fDict.isSharedWith(lastDict)) return lastText;
    lastText = stringWithStringObject(savedSearchTerms(), kSearchTermsKey) +
               stringWithStringObject(resultKey(), kKeyKey) +
               stringWithStringObject(variousArtist(), kVariousArtistKey) +
               stringWithBoolObject(reverseArtistAlbum(), kReverseKey);
    lastDict = fDict;
    return lastText;
}

QString CustomTag::description() const {
    QString text = QStringLiteral("CustomTag dict at %1, %2 items.\n")
                       .arg(quintptr(this), 0, 16)
                       .arg(fDict.size());
    for (auto it = fDict.constBegin(); it != fDict.constEnd(); ++it)
        text += it.key() + QStringLiteral(" = ") + it.value().toString() + u'\n';
    return text;
}

CustomTag CustomTag::fromString(const QString& text) {
    CustomTag tag;
    QStringList seen;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && isTagSpace(text[i]))
            ++i;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'\t')
            ++i;
        if (i == keyStart || i >= n) break; // no key, or no tab after it
        const QString key = text.mid(keyStart, i - keyStart);
        const qsizetype valueStart = i + 1;
        while (i < n && text[i] != u'\n')
            ++i;
        // A line ended by CR LF has no carriage return in its value.
        const qsizetype valueEnd = i > valueStart && text[i - 1] == u'\r' ? i - 1 : i;
        const QString value = valueOf(text.mid(valueStart, valueEnd - valueStart));
        // A later line of a key never overrides the first one.
        if (seen.contains(key)) continue;
        seen << key;
        if (key == kSearchTermsKey)
            tag.setSavedSearchTerms(value);
        else if (key == kKeyKey)
            tag.setResultKey(value);
        else if (key == kVariousArtistKey)
            tag.setVariousArtist(value);
        else if (key == kReverseKey)
            tag.setReverseArtistAlbum(value.trimmed().toInt() != 0);
    }
    return tag;
}
