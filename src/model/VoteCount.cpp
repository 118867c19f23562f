#include "model/VoteCount.h"

#include "model/RecordDump.h"

VoteCount::VoteCount(const QString& string, int frequency) {
    setString(string);
    setFrequency(frequency);
}

QVariantMap VoteCount::dict() const {
    QVariantMap dict{{kFrequencyKey, fFrequency}};
    if (!fString.isNull()) dict.insert(kStringKey, fString);
    return dict;
}

QString VoteCount::description() const {
    return DescribeRecord(className(), this, dict());
}
