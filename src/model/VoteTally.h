#pragma once

#include "model/RecordArray.h"
#include "model/VoteCount.h"

#include <QHash>

// The tally of a majority vote: distinct texts in order of first appearance.
class VoteTally : public RecordArray<VoteCount> {
public:
    // Counts one vote: a text equal to a listed one without regard to case
    // adds to it, any other is appended with the count 1. Null is no vote.
    void vote(const QString& value);
    // The text with the highest count, the later entry winning ties; null
    // when nothing was voted for.
    QString winner() const;

protected:
    const char* className() const override { return "VoteTally"; }

private:
    // Where each text voted for sits, by its case-folded form, so a tally of
    // a thousand files is not a thousand scans of the list.
    QHash<QString, qsizetype> fIndex;
    // The entry the last vote went to.
    qsizetype fLast = -1;
};
