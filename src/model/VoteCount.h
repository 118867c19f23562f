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

    QString string() const;
    void setString(const QString& v);
    int frequency() const { return fDict.value(kFrequencyKey).toInt(); }
    void setFrequency(int n) { fDict.insert(kFrequencyKey, n); }
    void bumpFrequency() { setFrequency(frequency() + 1); }

    const QVariantMap& dict() const { return fDict; }
    QString description() const;
    const char* className() const { return "VoteCount"; }

private:
    QVariantMap fDict;
};
