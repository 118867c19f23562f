#include "text/SearchString.h"

#include "text/SearchTerms.h"

namespace {
const QString kSeparator = QStringLiteral(" / ");
}

QString BuildSearchString(const QString& artist, const QString& album) {
    return SearchTerms::fromFields(artist, album).text;
}

bool DecomposeSearchString(const QString& terms, QString* artist, QString* album) {
    if (artist) *artist = QString();
    if (album) *album = QString();
    // Terms without an artist lost the space before the separator when
    // earlier versions read them back from a tag.
    const QString bare = kSeparator.mid(1);
    if (terms.startsWith(bare)) {
        if (artist) *artist = QString(u""_qs);
        if (album) *album = terms.mid(bare.size());
        return true;
    }
    const qsizetype at = terms.indexOf(kSeparator);
    if (at < 0) return false;
    if (artist) *artist = terms.left(at);
    if (album) *album = terms.mid(at + kSeparator.size());
    return true;
}
