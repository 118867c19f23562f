#pragma once

#include <QString>
#include <QVariantMap>

#include <memory>

// One ballot of a majority vote: a text and how often it was seen.
class SomeDict {
public:
    static inline const QString kStringKey = QStringLiteral("string");
    static inline const QString kFrequencyKey = QStringLiteral("frequency");

    SomeDict() = default;
    SomeDict(const QString& string, int frequency);
    virtual ~SomeDict() = default;
    SomeDict(const SomeDict&) = default;
    SomeDict& operator=(const SomeDict&) = default;

    std::shared_ptr<SomeDict> copy() const { return std::make_shared<SomeDict>(*this); }

    QString string() const;
    void setString(const QString& v);
    int frequency() const { return fDict.value(kFrequencyKey).toInt(); }
    void setFrequency(int n) { fDict.insert(kFrequencyKey, n); }
    void bumpFrequency() { setFrequency(frequency() + 1); }

    const QVariantMap& dict() const { return fDict; }
    QString description() const;
    const char* className() const { return "SomeDict"; }

private:
    QVariantMap fDict;
};
