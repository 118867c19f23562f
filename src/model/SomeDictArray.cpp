#include "model/SomeDictArray.h"

void SomeDictArray::vote(const QString& value) {
    if (value.isNull()) return;
    for (const Ptr& entry : fArray)
        if (entry->string().compare(value, Qt::CaseInsensitive) == 0) {
            entry->bumpFrequency();
            return;
        }
    fArray.append(std::make_shared<SomeDict>(value, 1));
}

QString SomeDictArray::winner() const {
    Ptr best;
    for (const Ptr& entry : fArray)
        if (!best || entry->frequency() >= best->frequency()) best = entry;
    return best ? best->string() : QString();
}
