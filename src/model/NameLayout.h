#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Where track number, artist, album and title stand in file names split at
// "-". The last position of a layout takes the rest of the name, so a title
// there keeps its own hyphens.
class NameLayout {
public:
    static constexpr int kNone = -1;

    // The layout for names of `partCount` parts (1 to 4) with the number at
    // `numberPosition` (kNone when no part is numeric).
    static NameLayout forParts(int partCount, int numberPosition);
    // The layout most of the names follow: chosen by how many names have one,
    // two, three or four parts, with the number where most numeric parts are.
    static NameLayout choose(const QList<QStringList>& splitNames);
    // The first position among the first four whose part is numeric.
    static int numberPosition(const QStringList& parts);

    // The display name less its extension.
    static QString baseName(const QString& displayName);
    static QStringList words(const QString& name) { return name.split(u' '); }
    static QStringList parts(const QString& name) { return name.split(u'-'); }
    // Number, space, title: every name has two words or more and the first
    // is numeric.
    static bool isWordLayout(const QStringList& words);

    int partCount() const { return fParts; }
    int number() const { return fNumber; }
    int artist() const { return fArtist; }
    int album() const { return fAlbum; }
    int title() const { return fTitle; }
    bool hasNumber() const { return fNumber != kNone; }

    // Whether a name has every part this layout reads; a layout with no
    // title position fits no name.
    bool fits(const QStringList& parts) const;
    // The part at a position (null for kNone or a missing part), rejoined
    // with "-" to the end of the name at the layout's last position.
    QString partAt(const QStringList& parts, int position) const;
    // The number a name carries at the number position, 0 without one.
    int numberOf(const QStringList& parts) const;

private:
    int fParts = 1;
    int fNumber = kNone;
    int fArtist = kNone;
    int fAlbum = kNone;
    int fTitle = kNone;
};
