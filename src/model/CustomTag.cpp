#include "model/CustomTag.h"

namespace {

bool isTagSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

} // namespace

QString CustomTag::stringFor(const QString& key) const {
    auto it = fDict.constFind(key);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void CustomTag::setString(const QString& key, const QString& v) {
    if (!v.isNull()) fDict.insert(key, v);
}

QString CustomTag::stringWithStringObject(const QString& value, const QString& key) {
    if (value.isNull()) return QString(u""_qs);
    return key + u'\t' + value + u'\n';
}

QString CustomTag::stringWithBoolObject(bool flag, const QString& key) {
    return key + u'\t' + (flag ? u'1' : u'0') + u'\n';
}

QString CustomTag::customTagToString() const {
    return stringWithStringObject(iadbSearchTerms(), kSearchTermsKey) +
           stringWithStringObject(iadbKey(), kKeyKey) +
           stringWithStringObject(variousArtist(), kVariousArtistKey) +
           stringWithBoolObject(reverseArtistAlbum(), kReverseKey);
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
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && isTagSpace(text[i])) ++i;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'\t') ++i;
        if (i == keyStart || i >= n) break; // no key, or no tab after it
        const QString key = text.mid(keyStart, i - keyStart);
        while (i < n && isTagSpace(text[i])) ++i;
        const qsizetype valueStart = i;
        while (i < n && text[i] != u'\n') ++i;
        if (i == valueStart) break;
        const QString value = text.mid(valueStart, i - valueStart);
        if (key == kSearchTermsKey) tag.setIADBSearchTerms(value);
        else if (key == kKeyKey) tag.setIADBKey(value);
        else if (key == kVariousArtistKey) tag.setVariousArtist(value);
        else if (key == kReverseKey) tag.setReverseArtistAlbum(value.trimmed().toInt() != 0);
    }
    return tag;
}
