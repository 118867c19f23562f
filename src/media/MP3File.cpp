#include "media/MP3File.h"

#include "app/Preferences.h"
#include "media/CustomTagFrame.h"
#include "media/Id3FrameFactory.h"
#include "system/Log.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRandomGenerator>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using TagLib::ByteVector;
namespace ID3v2 = TagLib::ID3v2;

namespace {

QString toQt(const TagLib::String& s) {
    return QString::fromUtf8(s.toCString(true));
}

TagLib::String toTL(const QString& s) {
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

bool isLatin1(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0xFF) return false;
    return true;
}

// Single-byte whenever ISO-8859-1 holds the text, so readers that know only
// single-byte frames keep working; anything else as UTF-16.
TagLib::String::Type encodingFor(const QString& s) {
    return isLatin1(s) ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

QByteArray localPath(const QString& path) {
    return QFile::encodeName(path);
}

// The leading decimal number of a text the way "%d" reads it: white space,
// an optional sign, digits. *end receives the index after the number.
std::optional<long long> leadingNumber(const QString& s, qsizetype* end = nullptr) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    const qsizetype digits = i;
    long long value = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        if (value < 1000000000000LL) value = value * 10 + (s[i].unicode() - u'0');
        ++i;
    }
    if (i == digits) return std::nullopt;
    if (end) *end = i;
    return negative ? -value : value;
}

int numberOr(const QString& s, int fallback) {
    const auto n = leadingNumber(s);
    if (!n || *n > INT32_MAX || *n < INT32_MIN) return fallback;
    return int(*n);
}

// A tag's frame list owns its frames: a FrameList copy that outlives the
// tag's own list (which detaches when a frame is removed) would delete them.
// Loops that change a tag walk a plain copy of the pointers instead.
std::vector<ID3v2::Frame*> snapshot(const ID3v2::FrameList& frames) {
    return std::vector<ID3v2::Frame*>(frames.begin(), frames.end());
}

// Rebuilds a frame TagLib kept raw (see Id3FrameFactory) from its field
// bytes, wrapped in a frame header TagLib's own text parsers understand.
ByteVector wrapFields(const char* id, const ByteVector& fields) {
    ByteVector frame(id);
    frame.append(ID3v2::SynchData::fromUInt(fields.size()));
    frame.append(ByteVector(2, '\0'));
    frame.append(fields);
    return frame;
}

void rebuildRawFrames(ID3v2::Tag& tag) {
    const std::vector<ID3v2::Frame*> custom =
        snapshot(tag.frameList(Id3FrameFactory::kRawCustomTagID));
    for (ID3v2::Frame* frame : custom) {
        if (auto* raw = dynamic_cast<ID3v2::UnknownFrame*>(frame))
            tag.addFrame(CustomTagFrame::fromFields(raw->data()));
        tag.removeFrame(frame);
    }
    const std::vector<ID3v2::Frame*> times =
        snapshot(tag.frameList(Id3FrameFactory::kRawRecordingTimeID));
    for (ID3v2::Frame* frame : times) {
        if (auto* raw = dynamic_cast<ID3v2::UnknownFrame*>(frame))
            tag.addFrame(new ID3v2::TextIdentificationFrame(wrapFields("TDRC", raw->data())));
        tag.removeFrame(frame);
    }
}

// Moves every frame of one tag into another (the other's own frames are
// dropped), and back again when it goes out of scope: our tag object keeps
// its frames between saves while a TagLib file renders them.
class FrameLoan {
public:
    FrameLoan(ID3v2::Tag& owner, ID3v2::Tag& borrower) : fOwner(owner), fBorrower(borrower) {
        const std::vector<ID3v2::Frame*> theirs = snapshot(borrower.frameList());
        for (ID3v2::Frame* frame : theirs)
            borrower.removeFrame(frame, true);
        move(fOwner, fBorrower);
    }
    ~FrameLoan() { move(fBorrower, fOwner); }
    FrameLoan(const FrameLoan&) = delete;
    FrameLoan& operator=(const FrameLoan&) = delete;

private:
    static void move(ID3v2::Tag& from, ID3v2::Tag& to) {
        const std::vector<ID3v2::Frame*> frames = snapshot(from.frameList());
        for (ID3v2::Frame* frame : frames) {
            from.removeFrame(frame, false);
            to.addFrame(frame);
        }
    }
    ID3v2::Tag& fOwner;
    ID3v2::Tag& fBorrower;
};

// A Xing header (not its constant-bit-rate twin "Info") or a VBRI header in
// the first audio frame marks a variable-bit-rate file.
bool firstFrameMarksVbr(TagLib::MPEG::File& file) {
    const long offset = file.firstFrameOffset();
    if (offset < 0) return false;
    file.seek(offset);
    const ByteVector head = file.readBlock(40);
    if (head.size() < 40 || quint8(head[0]) != 0xFF || (quint8(head[1]) & 0xE0) != 0xE0)
        return false;
    const bool mpeg1 = ((quint8(head[1]) >> 3) & 0x3) == 0x3;
    const bool mono = ((quint8(head[3]) >> 6) & 0x3) == 0x3;
    const unsigned xingAt = mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
    return head.mid(xingAt, 4) == "Xing" || head.mid(36, 4) == "VBRI";
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool copyContents(const QByteArray& from, int toFd) {
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!writeAll(toFd, buffer.constData(), size_t(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    return ok;
}

// Where the audio lies: from the first MPEG frame to a trailing ID3v1 tag.
std::optional<std::pair<qint64, qint64>> audioSpan(const QByteArray& path) {
    TagLib::MPEG::File file(path.constData(), Id3FrameFactory::instance(), false);
    if (!file.isOpen()) return std::nullopt;
    const long start = file.firstFrameOffset();
    long end = file.length();
    if (start < 0) return std::nullopt;
    if (end - start >= 128) {
        file.seek(end - 128);
        if (file.readBlock(3) == "TAG") end -= 128;
    }
    return std::pair<qint64, qint64>(start, end);
}

// True when both files hold the same audio bytes, compared a piece at a time.
bool sameAudio(const QByteArray& a, const QByteArray& b) {
    const auto spanA = audioSpan(a), spanB = audioSpan(b);
    if (!spanA || !spanB || spanA->second - spanA->first != spanB->second - spanB->first)
        return false;
    QFile fileA(QFile::decodeName(a)), fileB(QFile::decodeName(b));
    if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly) ||
        !fileA.seek(spanA->first) || !fileB.seek(spanB->first))
        return false;
    for (qint64 left = spanA->second - spanA->first; left > 0;) {
        const qint64 piece = qMin<qint64>(left, 1 << 20);
        const QByteArray bytesA = fileA.read(piece);
        if (bytesA.size() != piece || bytesA != fileB.read(piece)) return false;
        left -= piece;
    }
    return true;
}

void syncPath(const QByteArray& path, int flags) {
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::shared_ptr<MP3File> MP3File::newMP3FileWithPath(const QString& path) {
    std::shared_ptr<MP3File> file(new MP3File(path));
    if (!file->open()) return nullptr;
    return file;
}

MP3File::MP3File(const QString& path) : MusicFile(path), fID3Tags(new ID3v2::Tag) {}

MP3File::~MP3File() = default;

bool MP3File::open() {
    // TagLib opens a directory for reading without complaint.
    if (!QFileInfo(fPath).isFile()) return false;
    TagLib::MPEG::File file(localPath(fPath).constData(), Id3FrameFactory::instance(), true,
                            TagLib::AudioProperties::Average);
    if (!file.isOpen() || !file.isValid() || file.firstFrameOffset() < 0) return false;

    if (ID3v2::Tag* tag = file.ID3v2Tag(false)) {
        fReadVersion = int(tag->header()->majorVersion());
        const std::vector<ID3v2::Frame*> frames = snapshot(tag->frameList());
        for (ID3v2::Frame* frame : frames) {
            tag->removeFrame(frame, false);
            fID3Tags->addFrame(frame);
        }
        rebuildRawFrames(*fID3Tags);
    }
    if (TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(false)) {
        fV1.title = toQt(v1->title());
        fV1.artist = toQt(v1->artist());
        fV1.album = toQt(v1->album());
        fV1.genre = toQt(v1->genre());
        if (v1->year() > 0) fV1.year = QString::number(v1->year());
        if (v1->track() > 0) fV1.track = QString::number(v1->track());
    }
    if (const TagLib::MPEG::Properties* audio = file.audioProperties()) {
        fAudioBitrate = audio->bitrate();
        fAudioSeconds = uint32_t(qMax(0, audio->lengthInSeconds()));
        if (firstFrameMarksVbr(file)) fAudioBitrate = -fAudioBitrate;
    }
    return true;
}

// Reading.

QString MP3File::frameText(const char* id) const {
    const ID3v2::FrameList& frames = fID3Tags->frameList(id);
    if (frames.isEmpty()) return QString();
    return toQt(frames.front()->toString());
}

QString MP3File::textOr(const char* id, const QString& v1) const {
    if (!fID3Tags->frameList(id).isEmpty()) return frameText(id);
    return v1.isNull() ? QString(u""_qs) : v1;
}

QString MP3File::readTitle() {
    return textOr("TIT2", fV1.title);
}
QString MP3File::readArtist() {
    return textOr("TPE1", fV1.artist);
}
QString MP3File::readAlbum() {
    return textOr("TALB", fV1.album);
}

QString MP3File::readYearStr() {
    const bool hasTime = !fID3Tags->frameList("TDRC").isEmpty();
    const bool hasYear = !fID3Tags->frameList("TYER").isEmpty();
    if (hasTime && (fReadVersion == 4 || !hasYear)) return frameText("TDRC");
    return textOr("TYER", fV1.year);
}

int MP3File::readYearNum() {
    return qMax(0, numberOr(readYearStr(), 0));
}

QString MP3File::readGenre() {
    if (!fID3Tags->frameList("TCON").isEmpty()) return toQt(fID3Tags->genre());
    return fV1.genre.isNull() ? QString(u""_qs) : fV1.genre;
}

QString MP3File::trackText() const {
    return textOr("TRCK", fV1.track);
}

uint32_t MP3File::readTrackNum() {
    return uint32_t(qMax(0, numberOr(trackText(), 0)));
}

uint32_t MP3File::readMaxTracks() {
    const QString text = trackText();
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0) return 0;
    return uint32_t(qMax(0, numberOr(text.mid(slash + 1), 0)));
}

QString MP3File::readTrackStr() {
    const QString text = trackText();
    const qsizetype slash = text.indexOf(u'/');
    return slash < 0 ? text : text.left(slash);
}

QString MP3File::readLongTrackStr() {
    return trackText();
}

QString MP3File::readMaxTrackStr() {
    const QString text = trackText();
    const qsizetype slash = text.indexOf(u'/');
    return slash < 0 ? QString(u""_qs) : text.mid(slash + 1);
}

std::optional<CustomTag> MP3File::readCustomTag() {
    const ID3v2::FrameList& frames = fID3Tags->frameList(CustomTagFrame::kFrameID);
    if (frames.isEmpty()) return std::nullopt;
    auto* frame = dynamic_cast<CustomTagFrame*>(frames.front());
    if (!frame || frame->text().isEmpty()) return std::nullopt;
    return CustomTag::fromString(toQt(frame->text()));
}

QByteArray MP3File::readImage() const {
    const ID3v2::FrameList& frames = fID3Tags->frameList("APIC");
    for (auto type :
         {ID3v2::AttachedPictureFrame::FrontCover, ID3v2::AttachedPictureFrame::Other}) {
        for (ID3v2::Frame* frame : frames) {
            auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(frame);
            if (picture && picture->type() == type && !picture->picture().isEmpty()) {
                const ByteVector bytes = picture->picture();
                return QByteArray(bytes.data(), qsizetype(bytes.size()));
            }
        }
    }
    return {};
}

int MP3File::readNumFrames() const {
    return int(fID3Tags->frameList().size());
}

QString MP3File::readFrameID(int index) const {
    const ID3v2::FrameList& frames = fID3Tags->frameList();
    if (index < 0 || index >= int(frames.size())) return QString();
    const ByteVector id = frames[unsigned(index)]->frameID();
    return QString::fromLatin1(id.data(), qsizetype(id.size()));
}

QString MP3File::readFrameWithID(const QString& id) const {
    const QByteArray key = id.toLatin1();
    const QString text = frameText(key.constData());
    return text.isNull() ? QString(u""_qs) : text;
}

// Writing: every writer changes the in-memory tag only.

void MP3File::setTextFrame(const char* id, const QString& text) {
    fID3Tags->removeFrames(id);
    if (!text.isEmpty()) {
        auto* frame = new ID3v2::TextIdentificationFrame(id, encodingFor(text));
        frame->setText(toTL(text));
        fID3Tags->addFrame(frame);
    }
    fNeedsUpdate = true;
}

void MP3File::writeTitle(const QString& s) {
    setTextFrame("TIT2", s);
    fV1.title = s;
}

void MP3File::writeArtist(const QString& s) {
    setTextFrame("TPE1", s);
    fV1.artist = s;
}

void MP3File::writeAlbum(const QString& s) {
    setTextFrame("TALB", s);
    fV1.album = s;
}

void MP3File::writeYearStr(const QString& s) {
    fID3Tags->removeFrames("TDRC");
    setTextFrame("TYER", s);
    fV1.year = s;
}

void MP3File::writeYearNum(int year) {
    writeYearStr(QString::number(year));
}

void MP3File::writeGenre(const QString& s) {
    setTextFrame("TCON", s);
    fV1.genre = s;
}

void MP3File::writeTrackNum(int n, int m) {
    // Numbers above 255 are kept: TRCK is text and has no such limit.
    const QString text = m > 0 ? QStringLiteral("%1/%2").arg(n).arg(m) : QString::number(n);
    setTextFrame("TRCK", text);
    fV1.track = text;
}

void MP3File::writeTrackStr(const QString& s) {
    qsizetype end = 0;
    const auto n = leadingNumber(s, &end);
    int count = 0;
    if (n && end < s.size() && s[end] == u'/') count = numberOr(s.mid(end + 1), 0);
    writeTrackNum(n ? numberOr(s, 0) : 0, count);
}

void MP3File::writeCustomTag(const std::optional<CustomTag>& tag) {
    fID3Tags->removeFrames(CustomTagFrame::kFrameID);
    fNeedsUpdate = true;
    if (!tag) return;
    const QString text = tag->customTagToString();
    const QString description = QString::fromLatin1(kCustomTagDescription) + u'\t' +
                                Prefs::stringValue(Prefs::kHomePageURL);
    const auto encoding =
        isLatin1(text) && isLatin1(description) ? TagLib::String::Latin1 : TagLib::String::UTF16;
    fID3Tags->addFrame(new CustomTagFrame(toTL(description), toTL(text), encoding));
}

void MP3File::writeImageData(const QByteArray& bytes, const QByteArray& format) {
    const std::vector<ID3v2::Frame*> frames = snapshot(fID3Tags->frameList("APIC"));
    for (ID3v2::Frame* frame : frames) {
        auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(frame);
        if (picture && (picture->type() == ID3v2::AttachedPictureFrame::FrontCover ||
                        picture->type() == ID3v2::AttachedPictureFrame::Other))
            fID3Tags->removeFrame(frame);
    }
    fNeedsUpdate = true;
    if (bytes.isEmpty()) return;
    auto* picture = new ID3v2::AttachedPictureFrame;
    picture->setTextEncoding(TagLib::String::Latin1);
    picture->setMimeType(TagLib::String("image/") + TagLib::String(format.constData()));
    picture->setType(ID3v2::AttachedPictureFrame::FrontCover);
    picture->setDescription("Album Cover");
    picture->setPicture(ByteVector(bytes.constData(), unsigned(bytes.size())));
    fID3Tags->addFrame(picture);
}

// Version conversions.

void MP3File::convertToV23() {
    // A tag that carries its year only as recording time would lose it with
    // TDRC; its year moves to TYER first.
    const ID3v2::FrameList& recorded = fID3Tags->frameList("TDRC");
    if (fID3Tags->frameList("TYER").isEmpty() && !recorded.isEmpty()) {
        const int year = numberOr(toQt(recorded.front()->toString()), -1);
        if (year >= 1 && year <= 9999) setTextFrame("TYER", QString::asprintf("%4.4d", year));
    }
    // Frames ID3v2.3 does not know.
    for (const char* id : {"EQU2", "RVA2", "TMCL", "TIPL", "TDOR", "TDRC"})
        fID3Tags->removeFrames(id);
}

void MP3File::convertToV24() {
    if (!fID3Tags->frameList("TDRC").isEmpty()) return;
    auto take = [this](const char* id) {
        const ID3v2::FrameList& frames = fID3Tags->frameList(id);
        int value = -1;
        if (!frames.isEmpty()) value = numberOr(toQt(frames.front()->toString()), -1);
        fID3Tags->removeFrames(id);
        return value;
    };
    fID3Tags->removeFrames("TRDA");
    const int year = take("TYER");
    const int date = take("TDAT"); // DDMM
    const int time = take("TIME"); // HHMM
    if (year < 1 || year > 9999) return;

    QString stamp = QString::asprintf("%4.4d", year);
    if (date >= 1 && date <= 9999) {
        stamp += QString::asprintf("-%2.2d-%2.2d", date % 100, date / 100);
        if (time >= 0 && time <= 9999)
            stamp += QString::asprintf("T%2.2d:%2.2d:00", time / 100, time % 100);
    }
    auto* recorded = new ID3v2::TextIdentificationFrame("TDRC", TagLib::String::Latin1);
    recorded->setText(toTL(stamp));
    fID3Tags->addFrame(recorded);
    auto* yearFrame = new ID3v2::TextIdentificationFrame("TYER", TagLib::String::Latin1);
    yearFrame->setText(toTL(QString::asprintf("%4.4d", year)));
    fID3Tags->addFrame(yearFrame);
}

// Saving.

bool MP3File::commitTags() {
    if (!fNeedsUpdate) return true;
    const int version = Prefs::intValue(Prefs::kTagVersion) == 3 ? 4 : 3;
    if (version == 4)
        convertToV24();
    else
        convertToV23();
    if (!saveTags(version)) return false;
    fNeedsUpdate = false;
    fReadVersion = version;
    return true;
}

bool MP3File::saveTags(int version) {
    const QString name = QFileInfo(fPath).fileName();
    fLastError.clear();
    // A link is followed: the file it points to is rewritten, the link stays.
    QFileInfo info(fPath);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray targetPath = localPath(target);
    struct stat st {};
    if (target.isEmpty() || ::stat(targetPath.constData(), &st) != 0) {
        fLastError = QStringLiteral("The file “%1” could not be found.").arg(name);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        fLastError = QStringLiteral("“%1” is no longer an ordinary file.").arg(name);
        return false;
    }
    if (::access(targetPath.constData(), W_OK) != 0) {
        fLastError = QStringLiteral("You do not have permission to change “%1”.").arg(name);
        return false;
    }

    const auto id3Version = version == 4 ? ID3v2::v4 : ID3v2::v3;
    const int tagTypes = TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2;
    const auto fillV1 = [this](TagLib::MPEG::File& file) {
        TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(true);
        v1->setTitle(toTL(readTitle()));
        v1->setArtist(toTL(readArtist()));
        v1->setAlbum(toTL(readAlbum()));
        v1->setYear(unsigned(qBound(0, numberOr(readYearStr(), 0), 9999)));
        v1->setGenre(toTL(readGenre()));
        const uint32_t track = readTrackNum();
        v1->setTrack(track <= 255 ? track : 0); // one byte in ID3v1.1
    };

    // In place when the new tag fills the old one's space exactly: the audio
    // does not move and only the tag bytes are overwritten.
    {
        TagLib::MPEG::File file(targetPath.constData(), Id3FrameFactory::instance(), false);
        if (!file.isOpen() || !file.isValid() || file.readOnly()) {
            fLastError = QStringLiteral("“%1” could not be opened for writing.").arg(name);
            return false;
        }
        const bool hadTag = file.hasID3v2Tag();
        ID3v2::Tag* tag = file.ID3v2Tag(true);
        const unsigned oldSize = hadTag ? tag->header()->completeTagSize() : 0;
        FrameLoan loan(*fID3Tags, *tag);
        const bool fits =
            tag->isEmpty() ? !hadTag : hadTag && tag->render(id3Version).size() == oldSize;
        if (fits) {
            fillV1(file);
            if (!file.save(tagTypes, TagLib::File::StripNone, id3Version,
                           TagLib::File::DoNotDuplicate)) {
                fLastError = QStringLiteral("The tags of “%1” could not be written.").arg(name);
                return false;
            }
            syncPath(targetPath, O_RDONLY);
            return true;
        }
    }

    // Otherwise through a copy beside the file: TagLib rewrites the copy, the
    // copy's audio is checked against the original's, and rename() swaps it
    // in, so the original stays whole until the new file is complete.
    const QString dir = QFileInfo(target).absolutePath();
    QByteArray tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = localPath(
            dir + QStringLiteral("/Trovix.%1").arg(QRandomGenerator::global()->generate(), 0, 16));
        fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        fLastError = QStringLiteral("No temporary copy of “%1” could be made in its folder (%2).")
                         .arg(name, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const auto fail = [&](const QString& why) {
        if (fd >= 0) ::close(fd);
        ::unlink(tempPath.constData());
        fLastError = why.arg(name);
        return false;
    };
    if (!copyContents(targetPath, fd))
        return fail(QStringLiteral("“%1” could not be copied to save its tags; is the disk full?"));
    ::close(fd);
    fd = -1;
    {
        TagLib::MPEG::File copy(tempPath.constData(), Id3FrameFactory::instance(), false);
        if (!copy.isOpen() || !copy.isValid() || copy.readOnly())
            return fail(QStringLiteral("The copy of “%1” could not be opened for writing."));
        FrameLoan loan(*fID3Tags, *copy.ID3v2Tag(true));
        fillV1(copy);
        if (!copy.save(tagTypes, TagLib::File::StripNone, id3Version, TagLib::File::DoNotDuplicate))
            return fail(QStringLiteral("The tags of “%1” could not be written."));
    }
    // TagLib does not report failed writes; a copy whose audio differs from
    // the original's must never replace it.
    if (!sameAudio(tempPath, targetPath))
        return fail(QStringLiteral("The tags of “%1” could not be written; is the disk full?"));

    fd = ::open(tempPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(QStringLiteral("The tags of “%1” could not be written."));
    ::fchmod(fd, st.st_mode & 07777);
    // Only root can give the copy the original's owner; not an error.
    [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
    if (::fsync(fd) != 0) return fail(QStringLiteral("The tags of “%1” could not be written."));
    ::close(fd);
    fd = -1;
    if (::rename(tempPath.constData(), targetPath.constData()) != 0)
        return fail(QStringLiteral("The saved copy could not replace “%1”."));
    syncPath(localPath(dir), O_RDONLY | O_DIRECTORY);
    return true;
}

void MP3File::refreshAfterRename(const QString& newPath) {
    fPath = newPath;
}
