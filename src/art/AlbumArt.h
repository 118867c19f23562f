#pragma once

#include "art/AlbumArtDict.h"
#include "art/AlbumArtDictArray.h"
#include "art/CoverOptions.h"
#include "art/CoverToStore.h"
#include "system/Picture.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

class AlbumInfo;
class AudioTrack;
class ProgressIndicator;

// The cover-art candidates of one document: the picture in the tags, image
// files beside the music, the covers the web sources name for their hits and
// pictures the user drops, kept best first. It also holds what the views show
// (the candidate, the source and size texts) so that any front end can draw
// it, and it performs the cover part of saving.
//
// Documents' workers make candidates as values (downloads block) and the main
// thread adds them, while views may read off the main thread (decoding the
// shown picture), so every member is guarded by one lock; `changed` is
// emitted (outside the lock, on the thread that made the change) whenever the
// shown candidate or a text changes. Views connect to it queued.
class AlbumArt : public QObject {
    Q_OBJECT
public:
    static constexpr int kSavedScore = 100;
    static constexpr int kFileScore = 99;
    static constexpr int kDropScore = 101;
    // A download that stalls this long gives up.
    static constexpr int kDownloadTimeLimitSecs = 30;

    explicit AlbumArt(QObject* parent = nullptr);

    // A candidate made apart from any AlbumArt: a look-up's worker makes
    // them and hands them over as values, the main thread adds them. Null
    // when there is none.
    using Candidate = std::shared_ptr<AlbumArtDict>;
    static Candidate candidateFromFile(const QString& path, int score);
    // Downloads the picture through the image throttle. Only a download
    // that completed with a 2xx status and at most WebLimits::kMaxCoverBytes,
    // whose picture decodes and is whole, becomes a candidate; anything
    // else is logged with the reason and ignored. Blocks: call it on a
    // worker thread.
    static Candidate candidateFromURL(const QString& url, int score,
                                      ProgressIndicator* progress = nullptr);
    static Candidate candidateFromImage(const Picture& image, const QString& source,
                                        const QString& location, int score);
    // The picture a local hit carries, when covers are searched for
    // ("SearchForCoverArt").
    static Candidate candidateFromAlbumInfo(const AlbumInfo* hit, bool searchCovers);
    // Every entry of the folder whose name ends in an image extension, by
    // name, as a file candidate; candidatesAmong() takes the folder's names
    // (no folders among them) from a listing already made.
    static QList<Candidate> candidatesInFolder(const QString& folderPath);
    static QList<Candidate> candidatesAmong(const QString& folderPath, const QStringList& names);
    // Adds them in order (nulls skipped), as one change: the last one is shown.
    void addCandidates(const QList<Candidate>& candidates);

    // Adding candidates. Each new candidate is shown at once, wherever it
    // ranks; the Next position is left alone.

    // A file that is not a readable image, or larger than
    // CoverFiles::kMaxImageFileBytes, is ignored. Only its header is read here (for the
    // size); its pixels are decoded when it is shown.
    void setImageFromFile(const QString& path, int score);
    void setImageFromImage(const Picture& image, const QString& source, const QString& location,
                           int score);
    // Every entry of the folder whose name ends in an image extension, by
    // name, as a file candidate.
    void searchForImages(const QString& folderPath);
    void searchForImage(const QString& path);
    // Pictures and files dropped on a view; both outrank everything else.
    void imageDropped(const Picture& image);
    void fileDropped(const QString& path);

    // Panel operations.
    // Shows the best candidate and starts Next from it.
    void reset();
    // Shows the candidate after the current one, wrapping to the best.
    void next();
    // Blanks the views; the candidates stay.
    void clear();

    // What the views show.
    std::optional<AlbumArtDict> shownCandidate() const;
    // The shown picture; null after clear() or before anything was shown.
    // May decode a file: views call it off the main thread.
    Picture shownImage() const;
    // The panel's source text.
    QString sourceText() const;
    // The panel's size text.
    QString sizeText() const;
    // The text under the window's picture.
    QString windowSizeText() const;
    // The panel view's usable area, "W x H".
    QString displaySizeText() const;
    // The panel view was resized (its visible size).
    void setPanelViewSize(QSize size);
    bool nextEnabled() const;
    int count() const;
    // Copies of the candidates, best first.
    AlbumArtDictArray candidates() const;

    // Saving.
    // The folder document's step for one retagged track, as the options'
    // embed and file switches say. With both on the picture stays embedded
    // and the file is written too. Changes the track's tags in memory only;
    // the caller commits them.
    void saveImage(AudioTrack& track, const QString& folderPath, const CoverOptions& options);
    // The candidate shown when a save starts, taken on the main thread at no
    // cost; the save's worker turns it into a CoverToStore.
    struct ShownCover {
        std::optional<AlbumArtDict> candidate;
        quint64 serial = 0;
    };
    ShownCover shownCover() const;
    // The same decided once for a whole save, for files whose own picture
    // formats are `fileFormats` (MusicFile::imageFormat), as a value a
    // worker applies. It may decode, scale and encode a large picture, so a
    // window's save calls it on its worker with what shownCover() took.
    CoverToStore coverToStore(const ShownCover& shown, const QString& folderPath,
                              const QList<QByteArray>& fileFormats,
                              const CoverOptions& options) const;
    // The single-file document's step: embeds the scaled picture.
    void saveImage(AudioTrack& track, const CoverOptions& options);

signals:
    void changed();

private:
    void addImage(const Picture& image, const QString& source, const QString& location, int score);
    void addCandidate(const Candidate& record);
    // The bytes to embed for a file whose own format is `format`, and their
    // format: the shown picture's stored bytes when it needs no scaling,
    // else the scaled picture encoded once per shown candidate and format.
    // Empty when nothing is shown or it does not decode.
    QByteArray coverToEmbed(const ShownCover& shown, const QByteArray& format,
                            QByteArray& usedFormat, const CoverOptions& options) const;
    // The picture of `shown`, decoded once while it stays the one shown.
    Picture imageOf(const ShownCover& shown) const;
    // Both expect fLock held.
    void syncImage(const AlbumArtDict& record);
    void updateDisplaySize();

    mutable QMutex fLock;
    AlbumArtDictArray fAlbumArtDictArray;
    int fCurrentImage = 0;
    // What both views show; none after clear().
    std::optional<AlbumArtDict> fShown;
    // Counts the changes of fShown, so a picture decoded outside the lock is
    // kept only if it still is the one shown.
    quint64 fShownSerial = 0;
    mutable Picture fShownImage;
    // Encoded covers of the shown candidate, by format, for fEncodedSerial.
    mutable QHash<QByteArray, QByteArray> fEncodedCovers;
    mutable quint64 fEncodedSerial = 0;
    mutable double fEncodedFactor = 0;
    QString fMainWindowSize;
    QString fSource;
    QString fSize;
    QString fDisplaySize;
    std::optional<QSize> fPanelViewSize;
};
