#include "media/VorbisComment.h"

#include <QtEndian>

namespace {

bool readLength(QByteArrayView bytes, qsizetype& at, quint32& length) {
    if (bytes.size() - at < 4) return false;
    length = qFromLittleEndian<quint32>(bytes.constData() + at);
    at += 4;
    return true;
}

// Names compare without regard to case, which never matches names of
// different lengths: that is told first, as reading a file looks up a
// dozen names among its fields.
bool sameName(const QString& a, const QString& b) {
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

void appendLength(QByteArray& out, qsizetype length) {
    char raw[4];
    qToLittleEndian<quint32>(quint32(length), raw);
    out.append(raw, 4);
}

} // namespace

bool VorbisComment::parse(QByteArrayView bytes, QStringView setAside,
                          std::vector<QByteArray>* setAsideValues) {
    fVendor.clear();
    fFields.clear();
    qsizetype at = 0;
    quint32 length = 0;
    if (!readLength(bytes, at, length) || length > quint64(bytes.size() - at)) return false;
    fVendor = bytes.sliced(at, length).toByteArray();
    at += length;
    quint32 count = 0;
    if (!readLength(bytes, at, count)) return false;
    // Every field takes at least its four length bytes.
    if (count > quint64(bytes.size() - at) / 4) {
        fVendor.clear();
        return false;
    }
    for (quint32 i = 0; i < count; ++i) {
        if (!readLength(bytes, at, length) || length > quint64(bytes.size() - at)) {
            fVendor.clear();
            fFields.clear();
            if (setAsideValues) setAsideValues->clear();
            return false;
        }
        const QByteArrayView field = bytes.sliced(at, length);
        at += length;
        const qsizetype equals = field.indexOf('=');
        // A field without a name is no field; it is dropped.
        if (equals <= 0) continue;
        QString name = QString::fromUtf8(field.first(equals));
        if (setAsideValues && name.compare(setAside, Qt::CaseInsensitive) == 0)
            setAsideValues->push_back(field.sliced(equals + 1).toByteArray());
        else
            fFields.emplace_back(std::move(name), QString::fromUtf8(field.sliced(equals + 1)));
    }
    return true;
}

QByteArray VorbisComment::render(QStringView extraName,
                                 const std::vector<QByteArray>& extraValues) const {
    QByteArray out;
    appendLength(out, fVendor.size());
    out.append(fVendor);
    appendLength(out, qsizetype(fFields.size() + extraValues.size()));
    for (const auto& [name, value] : fFields) {
        const QByteArray field = name.toUtf8() + '=' + value.toUtf8();
        appendLength(out, field.size());
        out.append(field);
    }
    const QByteArray extra = extraName.toUtf8() + '=';
    for (const QByteArray& value : extraValues) {
        appendLength(out, extra.size() + value.size());
        out.append(extra);
        out.append(value);
    }
    return out;
}

QString VorbisComment::value(const QString& name) const {
    for (const auto& [key, value] : fFields)
        if (sameName(key, name)) return value;
    return QString();
}

std::vector<QString> VorbisComment::values(const QString& name) const {
    std::vector<QString> found;
    for (const auto& [key, value] : fFields)
        if (sameName(key, name)) found.push_back(value);
    return found;
}

void VorbisComment::set(const QString& name, const QString& value) {
    // The new value takes the place of the first old one.
    bool placed = value.isEmpty();
    bool found = false;
    std::vector<std::pair<QString, QString>> kept;
    kept.reserve(fFields.size());
    for (auto& field : fFields) {
        if (!sameName(field.first, name)) {
            kept.push_back(std::move(field));
        } else if (!placed) {
            kept.emplace_back(std::move(field.first), value);
            placed = found = true;
        }
    }
    fFields = std::move(kept);
    if (!found && !value.isEmpty()) add(name, value);
}

void VorbisComment::add(const QString& name, const QString& value) {
    fFields.emplace_back(name, value);
}

void VorbisComment::remove(const QString& name) {
    set(name, QString());
}
