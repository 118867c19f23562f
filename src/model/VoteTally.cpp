#include "model/VoteTally.h"

namespace {

// Folded code point by code point, as a comparison without regard to case
// folds them: two texts have the same key exactly when they compare equal.
QString foldedKey(const QString& text) {
    QString key;
    key.reserve(text.size());
    for (const char32_t c : text.toUcs4())
        key.append(QChar::fromUcs4(QChar::toCaseFolded(c)));
    return key;
}

} // namespace

void VoteTally::vote(const QString& value) {
    if (value.isNull()) return;
    // Most votes repeat the one before (an album's files agree): the same
    // text needs no folding to find its entry.
    const bool consistent = fIndex.size() == fArray.size();
    if (consistent && fLast >= 0 && fLast < fArray.size() && fArray[fLast]->string() == value) {
        fArray[fLast]->bumpFrequency();
        return;
    }
    const QString key = foldedKey(value);
    const qsizetype at = fIndex.value(key, -1);
    if (at >= 0 && at < fArray.size() &&
        fArray[at]->string().compare(value, Qt::CaseInsensitive) == 0) {
        fArray[at]->bumpFrequency();
        fLast = at;
        return;
    }
    // A list changed behind the index's back is searched whole.
    if (!consistent)
        for (const Ptr& entry : fArray)
            if (entry->string().compare(value, Qt::CaseInsensitive) == 0) {
                entry->bumpFrequency();
                return;
            }
    fLast = fArray.size();
    fIndex.insert(key, fLast);
    fArray.append(std::make_shared<VoteCount>(value, 1));
}

QString VoteTally::winner() const {
    Ptr best;
    for (const Ptr& entry : fArray)
        if (!best || entry->frequency() >= best->frequency()) best = entry;
    return best ? best->string() : QString();
}
