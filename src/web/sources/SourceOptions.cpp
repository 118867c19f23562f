#include "web/sources/SourceOptions.h"

#include "web/sources/MusicSource.h"

bool SourceOptions::enabled(const MusicSource& source) const {
    const QVariant value = values.value(source.enabledKey());
    if (value.typeId() == QMetaType::QString) {
        const QString s = value.toString().trimmed().toLower();
        return s == QLatin1String("yes") || s == QLatin1String("true") || s == QLatin1String("1");
    }
    return value.toBool();
}

QString SourceOptions::string(const QString& key) const {
    return values.value(key).toString();
}

QString SourceOptions::baseURL(const QString& key) const {
    QString base = string(key);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}
