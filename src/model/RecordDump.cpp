#include "model/RecordDump.h"

#include "system/Picture.h"

namespace {

QString pad(int indent) {
    return QString(indent * 4, u' ');
}

QString quoted(const QString& text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + out + u'"';
}

} // namespace

QString DescribeValue(const QVariant& value, int indent) {
    if (!value.isValid()) return QStringLiteral("(null)");
    if (value.typeId() == QMetaType::QString) return quoted(value.toString());
    if (value.typeId() == QMetaType::QVariantMap) return DescribeDict(value.toMap(), indent);
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        QString text = QStringLiteral("(\n");
        for (qsizetype i = 0; i < list.size(); ++i) {
            text += pad(indent + 1) + DescribeValue(list[i], indent + 1);
            text += i + 1 < list.size() ? QStringLiteral(",\n") : QStringLiteral("\n");
        }
        return text + pad(indent) + u')';
    }
    // Named as before the core held pictures apart from Qt's.
    if (value.metaType() == QMetaType::fromType<Picture>()) {
        const Picture image = value.value<Picture>();
        return QStringLiteral("<QImage %1x%2>").arg(image.width()).arg(image.height());
    }
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
    if (value.metaType() == QMetaType::fromType<RecordRef>()) {
        const auto ref = value.value<RecordRef>();
        return QString::asprintf("<%s at %p>", ref.className, ref.address);
    }
    if (value.canConvert<QString>()) return value.toString();
    return QStringLiteral("<%1>").arg(QString::fromLatin1(value.typeName()));
}

QString DescribeDict(const QVariantMap& dict, int indent) {
    QString text = QStringLiteral("{\n");
    for (auto it = dict.constBegin(); it != dict.constEnd(); ++it)
        text += pad(indent + 1) + it.key() + QStringLiteral(" = ") +
                DescribeValue(it.value(), indent + 1) + QStringLiteral(";\n");
    return text + pad(indent) + u'}';
}

QString DescribeRecord(const char* className, const void* address, const QVariantMap& dict) {
    return QString::asprintf("%s dict at %p, %d items.\n", className, address, int(dict.size())) +
           DescribeDict(dict) + u'\n';
}

QString DescribeArrayHeader(const char* className, const void* address, qsizetype count) {
    return QString::asprintf("%s array at %p, %d items.\n", className, address, int(count));
}
