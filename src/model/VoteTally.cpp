#include "model/VoteTally.h"

void VoteTally::vote(const QString& value) {
    if (value.isNull()) return;
    for (const Ptr& entry : fArray)
        if (entry->string().compare(value, Qt::CaseInsensitive) == 0) {
            entry->bumpFrequency();
            return;
        }
    fArray.append(std::make_shared<VoteCount>(value, 1));
}

QString VoteTally::winner() const {
    Ptr best;
    for (const Ptr& entry : fArray)
        if (!best || entry->frequency() >= best->frequency()) best = entry;
    return best ? best->string() : QString();
}
