#include "model/AudioTrack.h"

#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "system/AlertHost.h"
#include "system/FileSystemParams.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/PictureCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace {

QString joinPath(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

// Writable, and removable from its folder: what saving (rewrite, rename)
// needs.
bool writableAndDeletable(const QString& path, std::optional<bool> folderWritable,
                          bool justWritten) {
    if (!justWritten && ::access(QFile::encodeName(path).constData(), W_OK) != 0) return false;
    if (folderWritable) return *folderWritable;
    return AudioTrack::folderWritable(QFileInfo(path).absolutePath());
}

void report(AlertHost* alerts, const Alert& alert) {
    if (alerts)
        alerts->showAlert(alert);
    else
        TROVIX_LOG() << alert.title << ":" << alert.message;
}

void reportMoveFailure(AlertHost* alerts, const QString& from, const QString& to,
                       const QString& why) {
    report(alerts, Alert{QStringLiteral("Could Not Rename Track"),
                         QStringLiteral("The file \"%1\" could not be renamed to \"%2\": %3.")
                             .arg(from, to, why),
                         {QStringLiteral("OK")}});
}

// The template gave a name that is taken; `candidate` is used instead.
Alert duplicateNameAlert(const QString& name, const QString& candidate) {
    return {QStringLiteral("Duplicate Track Name"),
            QStringLiteral("A file named \"%1\" already exists. A file named \"%2\" will be "
                           "created. Make sure the Track Name template specifies unique track "
                           "names in the Preferences.")
                .arg(name, candidate),
            {QStringLiteral("OK")}};
}

} // namespace

bool AudioTrack::folderWritable(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

AudioTrack AudioTrack::initWithPath(const QString& path, std::optional<bool> folderWritable) {
    return initWithFile(path, MusicFileFactory::newMusicFileWithPath(path), folderWritable);
}

AudioTrack AudioTrack::initWithFile(const QString& path, std::shared_ptr<MusicFile> file,
                                    std::optional<bool> folderWritable, bool justWritten) {
    AudioTrack t;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    t.fFolder = slash < 0 ? QString() : path.left(slash);
    t.fFileName = slash < 0 ? path : path.mid(slash + 1);
    t.fOKToTag = writableAndDeletable(path, folderWritable, justWritten);
    t.fMusicFile = std::move(file);
    if (const auto& f = t.fMusicFile) {
        if (!f->whyNotWritable().isNull()) t.fOKToTag = false;
        t.fTags = f->readTags();
        t.fBitrate = f->getBitrate();
        t.fHasImage = f->hasImage();
    }
    // M4A answers null for a missing title, MP3 the empty string (kept). The
    // name stands in without its extension, which a file-name template
    // would otherwise add a second time.
    if (t.fTags.title.isNull()) {
        const qsizetype dot = t.fFileName.lastIndexOf(u'.');
        t.fTags.title = dot > 0 ? t.fFileName.left(dot) : t.fFileName;
    }
    return t;
}

void AudioTrack::adoptFile(AudioTrack readBack) {
    AudioTrack kept = std::move(*this);
    *this = std::move(readBack);
    fNewTags = kept.fNewTags;
    fAlbumDetails_Title = kept.fAlbumDetails_Title;
    fPauseSeconds = kept.fPauseSeconds;
    fRow = kept.fRow;
}

AudioTrack AudioTrack::initPlaceholder(const QString& folder) {
    AudioTrack t;
    t.fFolder = folder;
    return t;
}

void AudioTrack::encode(QDataStream& out) const {
    out << (fFolder.isNull() ? kCodedNil : fFolder);
    out << (fFileName.isNull() ? kCodedNil : fFileName);
    out << qint32(fPauseSeconds);
}

std::optional<AudioTrack> AudioTrack::decode(QDataStream& in) {
    QString folder, fileName;
    qint32 pause = 0;
    in >> folder >> fileName >> pause;
    if (in.status() != QDataStream::Ok) return std::nullopt;
    AudioTrack t = folder == kCodedNil     ? initPlaceholder(QString())
                   : fileName == kCodedNil ? initPlaceholder(folder)
                                           : initWithPath(joinPath(folder, fileName));
    t.fPauseSeconds = pause;
    return t;
}

QString AudioTrack::description() const {
    return QStringLiteral("<AudioTrack: \"%1\">").arg(getDisplayName());
}

QString AudioTrack::getPath() const {
    if (fFolder.isNull() || fFileName.isNull()) return QString();
    return joinPath(fFolder, fFileName);
}

QString AudioTrack::getDisplayName() const {
    if (fFolder.isNull() || fFileName.isNull()) return QString();
    return fFileName;
}

QString AudioTrack::getOldTitle() const {
    return isPlaceholder() ? kMissingTrackTitle : fTags.title;
}

QString AudioTrack::getNewTitle() const {
    if (!fNewTags.title.isEmpty()) return fNewTags.title;
    if (!fAlbumDetails_Title.isEmpty()) return fAlbumDetails_Title;
    return QString(u""_qs);
}

QString AudioTrack::getNewArtist() const {
    return fNewTags.artist.isEmpty() ? QString(u""_qs) : fNewTags.artist;
}

uint32_t AudioTrack::getDurationSecs() const {
    return fMusicFile ? fMusicFile->getDurationSecs() : 0;
}

void AudioTrack::setFolder(const QString& folder) {
    fFolder = folder;
    fNeedsRefresh = true;
}

// Null or empty clears: a new value is never stored empty.
void AudioTrack::setNewTitle(const QString& s) {
    fNewTags.title = s.isEmpty() ? QString() : s;
}

void AudioTrack::setNewArtist(const QString& s) {
    fNewTags.artist = s.isEmpty() ? QString() : s;
}

void AudioTrack::setHitTags(const TagValues& values, TagFields fields) {
    fNewTags.assign(TagValues{}, kHitFields);
    fNewTags.assign(values, fields & kHitFields);
}

void AudioTrack::updateSong(const QString& title, const QString& artist, int track) {
    setNewTitle(title);
    setNewArtist(artist);
    fRow = uint32_t(track - 1);
}

void AudioTrack::writeTags(const TagValues& values, TagFields fields) {
    if (!fMusicFile) {
        setTags(values, fields);
        return;
    }
    fMusicFile->setTags(values, fields);
    fTags.assign(fMusicFile->readTags(), fields);
}

QByteArray AudioTrack::getImageData() const {
    if (!fHasImage) return {};
    if (!fImageData.isEmpty() || !fMusicFile) return fImageData;
    return fMusicFile->getImageData();
}

bool AudioTrack::holdsImageData(const QByteArray& bytes) const {
    if (!fHasImage || !fImageData.isEmpty() || !fMusicFile) return getImageData() == bytes;
    return fMusicFile->holdsImageData(bytes);
}

Picture AudioTrack::getImage() const {
    return Pictures::fromData(getImageData());
}

void AudioTrack::setImageData(const QByteArray& bytes) {
    fImageData = bytes;
    fHasImage = !bytes.isEmpty();
}

void AudioTrack::setImage(const Picture& image) {
    setImageData(image.isNull() ? QByteArray() : Pictures::encode(image, "png", -1));
}

void AudioTrack::tagImage(const Picture& image) {
    if (!fMusicFile) {
        setImage(image);
        return;
    }
    fMusicFile->tagImage(image);
    fImageData.clear();
    fHasImage = fMusicFile->hasImage();
}

void AudioTrack::tagImageData(const QByteArray& bytes, const QByteArray& format) {
    if (!fMusicFile) {
        setImageData(bytes);
        return;
    }
    fMusicFile->tagImageData(bytes, format);
    fImageData.clear();
    fHasImage = fMusicFile->hasImage();
}

NameSubject AudioTrack::nameSubject() const {
    const auto& custom = fTags.custom;
    const bool various = custom && !custom->variousArtist().isNull();
    return NameSubject{.artist = fTags.artist,
                       .folderArtist = various ? custom->variousArtist() : fTags.artist,
                       .album = fTags.album,
                       .title = getNewTitle(),
                       .year = fTags.year,
                       .genre = fTags.genre,
                       .row = getRow(),
                       .bitrate = getBitrate()};
}

QString AudioTrack::getAlbumOrTrackName(const NamingOptions& naming,
                                        const std::optional<AlbumNameFacts>& album, int which,
                                        const QString& nameTemplate, int* unique,
                                        const QString& extension) const {
    if (fFolder.isNull()) return QString();
    QString tmpl = nameTemplate.isNull() ? naming.templateFor(which) : nameTemplate;
    if (tmpl.isNull()) return QString();
    const int limit = extension.isNull() ? NameTemplate::lengthLimit(which, fFolder)
                                         : NameTemplate::lengthLimit(which, fFolder, extension);
    return NameTemplate::expand(nameSubject(), album, which, tmpl, limit, unique, extension,
                                naming.omitChars);
}

QString AudioTrack::getNewFolderName(const NamingOptions& naming, const AlbumNameFacts& album,
                                     int flags) const {
    const QString name = getAlbumOrTrackName(naming, album, kFolderName | flags);
    if (name.isNull() || !NameTemplate::givesNoName(name)) return name;
    return QFileInfo(fFolder).fileName();
}

QString AudioTrack::getNewFileName(const NamingOptions& naming, int flags) const {
    const QString ext = fMusicFile ? fMusicFile->extension() : QFileInfo(fFileName).suffix();
    // Expanded with its extension, whose length the base leaves room for.
    const QString name = getAlbumOrTrackName(naming, std::nullopt, kFileName | flags, QString(),
                                             nullptr, ext.isEmpty() ? QString() : ext);
    if (name.isNull()) return name;
    if (NameTemplate::givesNoName(ext.isEmpty() ? name : name.chopped(ext.size() + 1)))
        return keptName();
    return name;
}

QString AudioTrack::getTempFileName(const NamingOptions& naming, int flags) const {
    QString base = getAlbumOrTrackName(naming, std::nullopt, kFileName | flags);
    if (base.isNull()) return base;
    if (NameTemplate::givesNoName(base)) {
        const QString kept = keptName();
        const qsizetype dot = kept.lastIndexOf(u'.');
        base = dot > 0 ? kept.left(dot) : kept;
    }
    return base + QStringLiteral(".XXX");
}

bool AudioTrack::adoptName(const QString& name) {
    fFileName = name;
    fNameBeforeTemp = QString();
    fNeedsRefresh = true;
    return true;
}

QString AudioTrack::tempFileName(qint64 pid, int n, const QString& extension) {
    QString name = QStringLiteral(".trovix-%1-%2").arg(pid).arg(n);
    if (!extension.isEmpty()) name += QLatin1Char('.') + extension;
    return name;
}

bool AudioTrack::isTempFileName(const QString& name) {
    static const QRegularExpression kTemp(QStringLiteral("^\\.trovix-\\d+-\\d+(\\.[^.]*)?$"));
    return kTemp.match(name).hasMatch();
}

QString AudioTrack::plannedFileName(const NamingOptions& naming, int flags,
                                    const std::function<bool(const QString&)>& taken,
                                    AlertHost* alerts) const {
    const QString name = getNewFileName(naming, flags);
    if (name.isEmpty()) return QString();
    return freeFileName(name, fFileName, getTempFileName(naming, flags),
                        NameTemplate::lengthLimit(kFileName | flags, fFolder), taken, alerts);
}

QString AudioTrack::freeFileName(const QString& name, const QString& current,
                                 const QString& numbered, int limit,
                                 const std::function<bool(const QString&)>& taken,
                                 AlertHost* alerts) {
    if (name == current || !taken(name)) return name;
    for (int k = 1; k < 100000; ++k) {
        const QString candidate = NameTemplate::numberedName(numbered, k, limit);
        if (taken(candidate)) continue;
        report(alerts, duplicateNameAlert(name, candidate));
        return candidate;
    }
    return QString();
}

bool AudioTrack::renameToTemp(AlertHost* alerts) {
    const QString from = getPath();
    if (from.isNull()) return false;
    const qint64 pid = ::getpid();
    const QString extension = QFileInfo(fFileName).suffix();
    // Bounded only so a broken file system cannot spin us forever.
    for (int n = 0; n < 100000; ++n) {
        const QString name = tempFileName(pid, n, extension);
        const QString target = joinPath(fFolder, name);
        if (pathExists(target)) continue;
        TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(from, target);
        const Outcome r = moveWithoutReplacing(from, target);
        if (r.ok()) {
            const QString before = fFileName;
            adoptName(name);
            fNameBeforeTemp = before;
            return true;
        }
        if (r.code == Outcome::Code::Exists) continue; // appeared meanwhile
        reportMoveFailure(alerts, from, target, r.reason);
        return false;
    }
    reportMoveFailure(alerts, from, fFolder, QStringLiteral("no free temporary name"));
    return false;
}

bool AudioTrack::rename(const NamingOptions& naming, int flags, AlertHost* alerts) {
    const QString from = getPath();
    const QString name = getNewFileName(naming, flags);
    if (from.isNull() || name.isEmpty()) return false;
    if (name == fFileName) return true; // already there: nothing to move or to warn about

    QString target = joinPath(fFolder, name);
    if (!pathExists(target)) {
        TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(from, target);
        const Outcome r = moveWithoutReplacing(from, target);
        if (r.ok()) return adoptName(name);
        if (r.code != Outcome::Code::Exists) {
            reportMoveFailure(alerts, from, target, r.reason);
            return false;
        }
    }

    // The name is taken: fall back to the ".XXX" name, or the next free one.
    const QString temp = getTempFileName(naming, flags);
    const int limit = NameTemplate::lengthLimit(kFileName | flags, fFolder);
    bool alerted = false;
    for (int k = 1; k < 100000; ++k) {
        const QString candidate = NameTemplate::numberedName(temp, k, limit);
        target = joinPath(fFolder, candidate);
        if (pathExists(target)) continue;
        if (!alerted) {
            report(alerts, duplicateNameAlert(name, candidate));
            alerted = true;
        }
        TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(from, target);
        const Outcome r = moveWithoutReplacing(from, target);
        if (r.ok()) return adoptName(candidate);
        if (r.code == Outcome::Code::Exists) continue;
        reportMoveFailure(alerts, from, target, r.reason);
        return false;
    }
    reportMoveFailure(alerts, from, joinPath(fFolder, temp), QStringLiteral("no free name"));
    return false;
}

void AudioTrack::refresh() {
    if (fNeedsRefresh && fMusicFile) fMusicFile->refreshAfterRename(getPath());
    fNeedsRefresh = false;
}

int AudioTrack::compareIndex(const AudioTrack& other) const {
    const uint32_t mine = getTrackNum() == 0 ? 100 : getTrackNum();
    const uint32_t theirs = other.getTrackNum() == 0 ? 100 : other.getTrackNum();
    if (mine != theirs) return mine < theirs ? -1 : 1;
    return compareFileName(other);
}

int AudioTrack::compareFileName(const AudioTrack& other) const {
    return QString::compare(getPath(), other.getPath(), Qt::CaseSensitive);
}

int AudioTrack::compareOldFileTitle(const AudioTrack& other) const {
    return QString::compare(getOldTitle(), other.getOldTitle(), Qt::CaseSensitive);
}
