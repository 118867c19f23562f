#include "art/AlbumArt.h"

#include "art/CoverFiles.h"
#include "art/CoverScaling.h"
#include "media/MusicFile.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"
#include "system/Log.h"
#include "system/PictureCodec.h"
#include "system/ProgressIndicator.h"
#include "web/GrabWebPage.h"
#include "web/WebLimits.h"
#include "web/WebThrottle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>

#include <dirent.h>

#include <algorithm>
#include <string_view>

namespace {

// Files that keep music company and are never pictures: the rip's log and
// cue sheet, lyrics, play lists, checksums, notes, other audio and video.
// A folder of nothing else need not load the picture formats (Qt Gui and
// its plugins) only to learn that none of its files is one.
bool isNeverAPicture(QStringView extension) {
    static constexpr std::u16string_view kExtensions[] = {
        u"accurip", u"ape",  u"cue",    u"db",  u"ffp", u"htm", u"html", u"ini", u"json", u"log",
        u"lrc",     u"m3u",  u"m3u8",   u"md5", u"mkv", u"mp4", u"nfo",  u"pdf", u"pls",  u"rtf",
        u"sfv",     u"sha1", u"sha256", u"st5", u"toc", u"txt", u"url",  u"wav", u"wv",   u"xml"};
    for (std::u16string_view known : kExtensions)
        if (extension.compare(QStringView(known.data(), qsizetype(known.size())),
                              Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Why a finished download gives no cover; a null text when its bytes may
// be decoded.
QString unusableDownload(const PageFetch& fetched) {
    switch (fetched.outcome) {
    case PageFetch::Outcome::Complete:
        break;
    case PageFetch::Outcome::TooLarge:
        return QStringLiteral("answer too large");
    case PageFetch::Outcome::TimedOut:
        return QStringLiteral("the download timed out");
    case PageFetch::Outcome::Cancelled:
        return QStringLiteral("the download was cancelled");
    case PageFetch::Outcome::NoConnection:
        return QStringLiteral("no connection");
    case PageFetch::Outcome::Failed:
        return QStringLiteral("the download broke off");
    }
    // A missing image (the cover archive answers 404) is no cover, and no
    // error page is a picture, whatever it holds.
    if (fetched.status < 200 || fetched.status >= 300)
        return QStringLiteral("status %1").arg(fetched.status);
    if (!fetched.body || fetched.body->isEmpty()) return QStringLiteral("no data");
    return QString();
}

// Whether image bytes of a format (as PictureReader names it) end with the
// format's closing marker; formats without one pass.
bool endsWhole(const QByteArray& bytes, const QByteArray& format) {
    // Decoders fill a picture cut short with grey and report success; the
    // closing marker of the format tells a whole file. Within the last bytes,
    // as some writers pad behind it; inside JPEG data 0xFF 0xD9 is always the
    // end-of-image marker.
    const QByteArray tail = bytes.right(32);
    if (format == "jpeg" || format == "jpg") return tail.contains("\xFF\xD9");
    if (format == "png") return tail.contains(QByteArrayLiteral("IEND\xAE\x42\x60\x82"));
    if (format == "gif") return tail.contains('\x3B');
    return true;
}

} // namespace

AlbumArt::AlbumArt(QObject* parent) : QObject(parent) {}

void AlbumArt::setImageFromFile(const QString& path, int score) {
    if (Candidate candidate = candidateFromFile(path, score)) addCandidate(candidate);
}

AlbumArt::Candidate AlbumArt::candidateFromFile(const QString& path, int score) {
    const QFileInfo info(path);
    // Only regular files: a pipe or device in the folder would block or
    // never end.
    if (path.isEmpty() || !info.isFile() || info.size() > CoverFiles::kMaxImageFileBytes)
        return nullptr;
    QSize size;
    if (!Pictures::probeFile(path, &size)) return nullptr;
    auto record = std::make_shared<AlbumArtDict>();
    record->setSource(AlbumArtDict::kSourceFile);
    record->setLocation(path);
    record->setScore(score);
    record->setPixelSize(size);
    record->setSourceDescr(AlbumArtDict::describeSource(AlbumArtDict::kSourceFile, path));
    record->setSizeDescr(AlbumArtDict::describeSize(size));
    return record;
}

AlbumArt::Candidate AlbumArt::candidateFromURL(const QString& url, int score,
                                               ProgressIndicator* progress) {
    if (url.isNull()) return nullptr;
    QString address = url;
    FetchOptions options;
    options.maxBytes = WebLimits::kMaxCoverBytes;
    PageFetch fetched =
        FetchWebPage(address, progress, kDownloadTimeLimitSecs, gImageThrottle, options);
    // A cancelled download comes back cut short too.
    if (progress && progress->cancelled()) fetched.outcome = PageFetch::Outcome::Cancelled;
    const QString why = unusableDownload(fetched);
    if (!why.isNull()) {
        TROVIX_LOG() << QStringLiteral("AlbumArt: no cover from %1: %2").arg(url, why);
        return nullptr;
    }
    QByteArray format;
    const Picture image = Pictures::decode(*fetched.body, QByteArray(), &format);
    if (image.isNull() || !endsWhole(*fetched.body, format)) {
        TROVIX_LOG() << QStringLiteral("AlbumArt: no cover from %1: %2")
                            .arg(url,
                                 Pictures::whyNotDecoded(QStringLiteral("not a whole picture")));
        return nullptr;
    }
    return candidateFromImage(image, AlbumArtDict::kSourceURL, url, score);
}

void AlbumArt::setImageFromImage(const Picture& image, const QString& source,
                                 const QString& location, int score) {
    addImage(CoverFiles::normalizedImage(image), source, location, score);
}

AlbumArt::Candidate AlbumArt::candidateFromAlbumInfo(const AlbumInfo* hit, bool searchCovers) {
    if (!hit || !searchCovers) return nullptr;
    // A folder's hits carry their cover as the stored bytes alone, decoded
    // only when shown or scaled.
    const Picture picture = hit->coverArt();
    const QByteArray bytes = hit->coverArtData();
    const QSize size = picture.isNull() ? CoverFiles::storedSize(bytes) : picture.size();
    if (!size.isValid()) return nullptr;
    auto record = std::make_shared<AlbumArtDict>();
    record->setSource(AlbumArtDict::kSourceSaved);
    if (picture.isNull())
        record->setPixelSize(size);
    else
        record->setImage(CoverFiles::normalizedImage(picture));
    record->setImageData(bytes);
    record->setScore(kSavedScore);
    record->setLocation(hit->coverArtLocation());
    record->setSourceDescr(
        AlbumArtDict::describeSource(AlbumArtDict::kSourceSaved, hit->coverArtLocation()));
    record->setSizeDescr(AlbumArtDict::describeSize(size));
    return record;
}

void AlbumArt::searchForImages(const QString& folderPath) {
    addCandidates(candidatesInFolder(folderPath));
}

QList<AlbumArt::Candidate> AlbumArt::candidatesInFolder(const QString& folderPath) {
    if (folderPath.isEmpty()) return {};
    // Names only, never a look at each entry (a sorted QDir listing stats
    // every file).
    QStringList names;
    if (DIR* dir = ::opendir(QFile::encodeName(folderPath).constData())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_type != DT_DIR) names << QFile::decodeName(entry->d_name);
        ::closedir(dir);
    }
    return candidatesAmong(folderPath, names);
}

QList<AlbumArt::Candidate> AlbumArt::candidatesAmong(const QString& folderPath,
                                                     const QStringList& names) {
    QStringList candidates;
    for (const QString& name : names) {
        // A name tells nothing for sure, but music and text are never tried:
        // a folder of music holds no candidate to look at.
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot < 0 || dot + 1 == name.size() || MusicFile::isMusicFileName(name) ||
            isNeverAPicture(QStringView(name).mid(dot + 1)))
            continue;
        // Asked only here: the answer loads every image plugin, which a
        // folder of nothing but music need not wait for.
        static const QList<QByteArray> gFormats = Pictures::readableFormats();
        if (gFormats.contains(name.mid(dot + 1).toLower().toLatin1())) candidates << name;
    }
    // By name, so the order (and with it the rank of equal candidates) does
    // not depend on how the file system lists the folder.
    std::sort(candidates.begin(), candidates.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    QList<Candidate> found;
    for (const QString& name : candidates)
        if (Candidate candidate =
                candidateFromFile(QStringLiteral("%1/%2").arg(folderPath, name), kFileScore))
            found << candidate;
    return found;
}

void AlbumArt::searchForImage(const QString& path) {
    setImageFromFile(path, kFileScore);
}

void AlbumArt::imageDropped(const Picture& image) {
    if (image.isNull()) return;
    addImage(CoverFiles::normalizedImage(image), AlbumArtDict::kSourceDrop, QString(), kDropScore);
}

void AlbumArt::fileDropped(const QString& path) {
    setImageFromFile(path, kDropScore);
}

void AlbumArt::addImage(const Picture& image, const QString& source, const QString& location,
                        int score) {
    addCandidate(candidateFromImage(image, source, location, score));
}

AlbumArt::Candidate AlbumArt::candidateFromImage(const Picture& image, const QString& source,
                                                 const QString& location, int score) {
    auto record = std::make_shared<AlbumArtDict>();
    record->setSizeDescr(QStringLiteral(""));
    record->setSource(source);
    record->setImage(image);
    record->setScore(score);
    record->setLocation(location);
    record->setSourceDescr(AlbumArtDict::describeSource(source, location));
    if (!image.isNull()) record->setSizeDescr(AlbumArtDict::describeSize(image.size()));
    return record;
}

void AlbumArt::addCandidate(const Candidate& record) {
    addCandidates({record});
}

void AlbumArt::addCandidates(const QList<Candidate>& candidates) {
    if (std::none_of(candidates.cbegin(), candidates.cend(), [](const Candidate& c) { return c; }))
        return;
    {
        QMutexLocker locker(&fLock);
        for (const Candidate& record : candidates) {
            if (!record) continue;
            fAlbumArtDictArray.addRanked(record);
            syncImage(*record);
        }
    }
    emit changed();
}

void AlbumArt::syncImage(const AlbumArtDict& record) {
    fShown = record;
    ++fShownSerial;
    fShownImage = Picture();
    fSource = record.sourceDescr();
    const QString size = record.sizeDescr();
    if (!size.isNull()) {
        fMainWindowSize = size;
        fSize = size;
    }
    updateDisplaySize();
}

void AlbumArt::updateDisplaySize() {
    // Until a view reports its size there is nothing true to say.
    if (!fPanelViewSize) return;
    fDisplaySize = QStringLiteral("%1 x %2")
                       .arg(std::max(0, fPanelViewSize->width() - 6))
                       .arg(std::max(0, fPanelViewSize->height() - 6));
}

void AlbumArt::reset() {
    {
        QMutexLocker locker(&fLock);
        if (fAlbumArtDictArray.isEmpty()) return;
        fCurrentImage = 0;
        syncImage(*fAlbumArtDictArray.at(0));
    }
    emit changed();
}

void AlbumArt::next() {
    {
        QMutexLocker locker(&fLock);
        const qsizetype n = fAlbumArtDictArray.count();
        if (n == 0) return;
        fCurrentImage = fCurrentImage + 1 >= n ? 0 : fCurrentImage + 1;
        syncImage(*fAlbumArtDictArray.at(fCurrentImage));
    }
    emit changed();
}

void AlbumArt::clear() {
    {
        QMutexLocker locker(&fLock);
        fShown.reset();
        ++fShownSerial;
        fShownImage = Picture();
        fSource = QStringLiteral("No image");
        fMainWindowSize = QStringLiteral("(none)");
        fSize = QStringLiteral("");
        fDisplaySize = QStringLiteral("");
    }
    emit changed();
}

std::optional<AlbumArtDict> AlbumArt::shownCandidate() const {
    QMutexLocker locker(&fLock);
    return fShown;
}

Picture AlbumArt::shownImage() const {
    return imageOf(shownCover());
}

AlbumArt::ShownCover AlbumArt::shownCover() const {
    QMutexLocker locker(&fLock);
    return {fShown, fShownSerial};
}

Picture AlbumArt::imageOf(const ShownCover& shown) const {
    if (!shown.candidate) return {};
    {
        QMutexLocker locker(&fLock);
        if (shown.serial == fShownSerial && !fShownImage.isNull()) return fShownImage;
    }
    // Decoded outside the lock: workers keep adding candidates meanwhile.
    const Picture image = shown.candidate->image();
    QMutexLocker locker(&fLock);
    if (shown.serial == fShownSerial) fShownImage = image;
    return image;
}

QString AlbumArt::sourceText() const {
    QMutexLocker locker(&fLock);
    return fSource;
}

QString AlbumArt::sizeText() const {
    QMutexLocker locker(&fLock);
    return fSize;
}

QString AlbumArt::windowSizeText() const {
    QMutexLocker locker(&fLock);
    return fMainWindowSize;
}

QString AlbumArt::displaySizeText() const {
    QMutexLocker locker(&fLock);
    return fDisplaySize;
}

void AlbumArt::setPanelViewSize(QSize size) {
    {
        QMutexLocker locker(&fLock);
        fPanelViewSize = size;
        updateDisplaySize();
    }
    emit changed();
}

bool AlbumArt::nextEnabled() const {
    QMutexLocker locker(&fLock);
    return fAlbumArtDictArray.count() >= 2;
}

int AlbumArt::count() const {
    QMutexLocker locker(&fLock);
    return int(fAlbumArtDictArray.count());
}

AlbumArtDictArray AlbumArt::candidates() const {
    QMutexLocker locker(&fLock);
    return fAlbumArtDictArray.deepCopy();
}

QByteArray AlbumArt::coverToEmbed(const ShownCover& shownCover, const QByteArray& format,
                                  QByteArray& usedFormat, const CoverOptions& options) const {
    const std::optional<AlbumArtDict>& shown = shownCover.candidate;
    const quint64 serial = shownCover.serial;
    if (!shown || !shown->hasImage()) return {};
    const double factor = computeFactor(shown->pixelSize(), options);
    // An unscaled picture from tags goes back as the bytes it was: never
    // re-encoded, never grown.
    const QByteArray stored = shown->imageData();
    const QByteArray storedFormat = MusicFile::imageFormatOf(stored);
    if (factor == 1.0 && (storedFormat == "jpeg" || storedFormat == "png")) {
        usedFormat = storedFormat;
        return stored;
    }
    {
        QMutexLocker locker(&fLock);
        if (fEncodedSerial != serial || fEncodedFactor != factor) fEncodedCovers.clear();
        fEncodedSerial = serial;
        fEncodedFactor = factor;
        if (const auto it = fEncodedCovers.constFind(format); it != fEncodedCovers.constEnd()) {
            usedFormat = format;
            return *it;
        }
    }
    const Picture scaled = scaledImage(imageOf(shownCover), options);
    if (scaled.isNull()) return {};
    QString why;
    const QByteArray bytes = Pictures::encode(scaled, format, format == "jpeg" ? 90 : -1, &why);
    if (bytes.isEmpty()) {
        TROVIX_LOG() << "AlbumArt: cover not encoded as" << format << ":" << why;
        return {};
    }
    QMutexLocker locker(&fLock);
    if (fEncodedSerial == serial) fEncodedCovers.insert(format, bytes);
    usedFormat = format;
    return bytes;
}

namespace {

// Embeds the cover unless the file already holds exactly these bytes.
void embedCover(AudioTrack& track, const QByteArray& bytes, const QByteArray& format) {
    if (bytes.isEmpty() || track.holdsImageData(bytes)) return;
    track.tagImageData(bytes, format);
}

QByteArray fileFormatOf(const AudioTrack& track) {
    const auto file = track.musicFile();
    return file ? file->imageFormat() : QByteArrayLiteral("jpeg");
}

} // namespace

CoverToStore AlbumArt::coverToStore(const ShownCover& shownCover, const QString& folderPath,
                                    const QList<QByteArray>& fileFormats,
                                    const CoverOptions& options) const {
    CoverToStore cover;
    // Nothing shown (nothing found, or the views were cleared): the tags keep
    // whatever picture they hold rather than lose it to an empty one.
    const std::optional<AlbumArtDict>& shown = shownCover.candidate;
    if (!shown || !shown->hasImage()) return cover;
    if (options.embed) {
        for (const QByteArray& fileFormat : fileFormats) {
            QByteArray format;
            const QByteArray bytes = coverToEmbed(shownCover, fileFormat, format, options);
            cover.setEmbedded(fileFormat, bytes, format);
        }
    }
    if (options.saveToFile) {
        const QString path = QStringLiteral("%1/%2.jpg").arg(folderPath, options.fileName);
        const QByteArray stored = shown->imageData();
        if (MusicFile::imageFormatOf(stored) == "jpeg")
            cover.setFile(path, stored, Picture());
        else
            cover.setFile(path, QByteArray(), imageOf(shownCover));
    }
    return cover;
}

void AlbumArt::saveImage(AudioTrack& track, const QString& folderPath,
                         const CoverOptions& options) {
    const QByteArray fileFormat = fileFormatOf(track);
    const CoverToStore cover = coverToStore(shownCover(), folderPath, {fileFormat}, options);
    // The embedded picture moves to the file only once the file holds it.
    cover.applyTo(track, fileFormat, cover.writeFile());
}

void AlbumArt::saveImage(AudioTrack& track, const CoverOptions& options) {
    QByteArray format;
    const QByteArray bytes = coverToEmbed(shownCover(), fileFormatOf(track), format, options);
    embedCover(track, bytes, format);
}

#include "moc_AlbumArt.cpp"
