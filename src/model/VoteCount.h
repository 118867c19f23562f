#pragma once

#include <QString>
#include <QVariantMap>

#include <memory>

// One ballot of a majority vote: a text and how often it was seen.
class VoteCount {
public:
    static inline const QString kStringKey = QStringLiteral("string");
    static inline const QString kFrequencyKey = QStringLiteral("frequency");

    VoteCount() = default;
    VoteCount(const QString& string, int frequency);
    virtual ~VoteCount() = default;
    VoteCount(const VoteCount&) = default;
    VoteCount& operator=(const VoteCount&) = default;

    std::shared_ptr<VoteCount> copy() const { return std::make_shared<VoteCount>(*this); }

    // Plain fields, not a dictionary: a tally bumps a count for every file
    // of a folder.
    QString string() const { return fString; }
    void setString(const QString& v) {
        if (!v.isNull()) fString = v;
    }
    int frequency() const { return fFrequency; }
    void setFrequency(int n) { fFrequency = n; }
    void bumpFrequency() { ++fFrequency; }

    // The record as descriptions show it.
    QVariantMap dict() const;
    QString description() const;
    const char* className() const { return "VoteCount"; }

private:
    QString fString;
    int fFrequency = 0;
};
