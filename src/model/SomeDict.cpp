#include "model/SomeDict.h"

#include "model/RecordDump.h"

SomeDict::SomeDict(const QString& string, int frequency) {
    setString(string);
    setFrequency(frequency);
}

QString SomeDict::string() const {
    auto it = fDict.constFind(kStringKey);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void SomeDict::setString(const QString& v) {
    if (!v.isNull()) fDict.insert(kStringKey, v);
}

QString SomeDict::description() const {
    return DescribeRecord(className(), this, fDict);
}
