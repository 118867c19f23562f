#include "model/VoteCount.h"

#include "model/RecordDump.h"

VoteCount::VoteCount(const QString& string, int frequency) {
    setString(string);
    setFrequency(frequency);
}

QString VoteCount::string() const {
    auto it = fDict.constFind(kStringKey);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void VoteCount::setString(const QString& v) {
    if (!v.isNull()) fDict.insert(kStringKey, v);
}

QString VoteCount::description() const {
    return DescribeRecord(className(), this, fDict);
}
