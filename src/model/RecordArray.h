#pragma once

#include "model/RecordDump.h"

#include <QList>

#include <algorithm>
#include <memory>

// The ordered list behind every record list. Elements are shared: `add`
// keeps the record itself, a copied list holds the same records, and only
// `addCopy` and `insertObject` store fresh copies. Record types provide
// `copy()` (a new record of the same class) and `description()`.
template <typename T> class RecordArray {
public:
    using Record = T;
    using Ptr = std::shared_ptr<T>;
    // A record comparison: negative when the receiver comes first, 0 when the
    // two are the same, positive when the other comes first.
    using Comparison = int (T::*)(const T&) const;

    RecordArray() = default;
    virtual ~RecordArray() = default;
    RecordArray(const RecordArray&) = default;
    RecordArray& operator=(const RecordArray&) = default;

    qsizetype count() const { return fArray.size(); }
    bool isEmpty() const { return fArray.isEmpty(); }
    // Null outside the list rather than undefined behaviour.
    Ptr at(qsizetype index) const {
        return index >= 0 && index < fArray.size() ? fArray[index] : Ptr();
    }
    const QList<Ptr>& array() const { return fArray; }
    QList<Ptr>& array() { return fArray; }
    auto begin() const { return fArray.cbegin(); }
    auto end() const { return fArray.cend(); }

    // Appends the record itself; a null record is ignored.
    void add(const Ptr& record) {
        if (record) fArray.append(record);
    }
    void addCopy(const Ptr& record) {
        if (record) fArray.append(copyOf(*record));
    }
    // Inserts a copy; an index past either end is clamped to it.
    void insertObject(const Ptr& record, qsizetype index) {
        if (record) fArray.insert(std::clamp<qsizetype>(index, 0, fArray.size()), copyOf(*record));
    }
    void addArray(const RecordArray& other) { fArray.append(other.fArray); }
    // Removes every occurrence of this very record (not of equal ones).
    void removeObject(const Ptr& record) { fArray.removeAll(record); }
    void removeObjectAtIndex(qsizetype index) {
        if (index >= 0 && index < fArray.size()) fArray.removeAt(index);
    }
    // Stable, so records the comparison calls the same keep their order.
    void sortUsingSelector(Comparison compare) {
        std::stable_sort(fArray.begin(), fArray.end(),
                         [compare](const Ptr& a, const Ptr& b) { return ((*a).*compare)(*b) < 0; });
    }

    QString description() const {
        QString text = DescribeArrayHeader(className(), this, fArray.size());
        for (const Ptr& record : fArray)
            text += record->description() + u'\n';
        return text;
    }

protected:
    virtual const char* className() const = 0;

    static Ptr copyOf(const T& record) { return std::static_pointer_cast<T>(record.copy()); }

    QList<Ptr> fArray;
};
