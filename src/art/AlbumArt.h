#pragma once

// Temporary stand-in for the cover-art candidates while the real class is
// being written on its own branch; it keeps the same interface for the calls
// the folder document makes and is deleted when the real one is merged.

#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

class AlbumInfo;
class AudioTrack;
class ProgressIndicator;

struct AlbumArtCandidate {
    QString source;
    QString location;
    int score = 0;
};

class AlbumArt : public QObject {
    Q_OBJECT
public:
    static constexpr int kSavedScore = 100;
    static constexpr int kFileScore = 99;

    explicit AlbumArt(QObject* parent = nullptr) : QObject(parent) {}

    void setImageFromFile(const QString& path, int score);
    void setImageFromURL(const QString& url, int score, ProgressIndicator* progress = nullptr);
    void setImageFromImage(const QImage& image, const QString& source, const QString& location,
                           int score);
    void setImageFromAlbumInfo(const AlbumInfo* hit);
    void searchForImages(const QString& folderPath);
    void reset() {}
    void next() {}
    void clear() {}
    int count() const;
    QList<AlbumArtCandidate> candidateList() const;
    void saveImage(AudioTrack&, const QString&) {}
    void saveImage(AudioTrack&) {}

signals:
    void changed();

private:
    void add(const QString& source, const QString& location, int score);
    mutable QMutex fLock;
    QList<AlbumArtCandidate> fList;
};
