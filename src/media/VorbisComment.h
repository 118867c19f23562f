#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// A Vorbis comment as FLAC, Vorbis, Opus and Ogg FLAC keep it: a vendor text
// and "NAME=value" fields in UTF-8. Names compare without regard to case;
// fields the program does not know are kept in their order.
class VorbisComment {
public:
    // The comment without Vorbis's framing bit; false when a length runs
    // past the end (the comment is then left empty).
    // Values of fields named `setAside` go to *setAsideValues as their
    // bytes, not into the comment.
    bool parse(QByteArrayView bytes, QStringView setAside = {},
               std::vector<QByteArray>* setAsideValues = nullptr);
    QByteArray render() const { return render({}, {}); }
    // With fields of that name after the others, their values as they go in
    // the file (a picture's base64 text, kept as read).
    QByteArray render(QStringView extraName, const std::vector<QByteArray>& extraValues) const;

    // The first value under that name; null when there is none.
    QString value(const QString& name) const;
    std::vector<QString> values(const QString& name) const;
    // Replaces every field of that name by one; an empty value removes them.
    void set(const QString& name, const QString& value);
    void add(const QString& name, const QString& value);
    void remove(const QString& name);

private:
    QByteArray fVendor;
    std::vector<std::pair<QString, QString>> fFields;
};
