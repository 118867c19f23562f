#include "model/NameTemplate.h"

#include "app/Preferences.h"
#include "media/MusicExtensions.h"
#include "model/AudioTrack.h"
#include "model/AudioTrackArray.h"
#include "prefs/PrefsOptions.h"
#include "system/FileSystemParams.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr std::nullopt_t kNoAlbum = std::nullopt;

// A track's name from a template alone, with no album.
QString expanded(const AudioTrack& t, int which, const QString& tmpl, int limit,
                 const QString& extension = {}) {
    return NameTemplate::expand(t.nameSubject(), kNoAlbum, which, tmpl, limit, nullptr, extension);
}
constexpr int kFolder = AudioTrack::kFolderName;
constexpr int kFile = AudioTrack::kFileName;
constexpr int kTitle = AudioTrack::kTitleTag;

// A record with values set by hand, in the reserved folder whose limit is
// known without touching the disk.
AudioTrack sampleTrack() {
    AudioTrack t = AudioTrack::initPlaceholder(FileSystemParams::kBogusPath);
    t.setFileName(QStringLiteral("x.mp3"));
    t.setTags({.artist = QStringLiteral("The Band")}, TagField::Artist);
    t.setTags({.album = QStringLiteral("rock and roll")}, TagField::Album);
    t.setTags({.year = QStringLiteral("1999")}, TagField::Year);
    t.setTags({.genre = QStringLiteral("Polka")}, TagField::Genre);
    t.setNewTitle(QStringLiteral("Song Title"));
    t.setBitrate(192);
    return t;
}

AudioTrackRef recordWithRate(int32_t rate) {
    auto t = std::make_shared<AudioTrack>(sampleTrack());
    t->setBitrate(rate);
    return t;
}

class NameTemplateTest : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
    NamingOptions naming;
};

} // namespace

TEST_F(NameTemplateTest, CodesByKind) {
    struct Row {
        int which;
        const char* tmpl;
        const char* expected;
        int unique;
    };
    const Row rows[] = {
        {kFile, "%N-%T", "01-Song Title", 2},
        {kFile, "%n %t", "01 SongTitle", 2},
        {kFile, "%A - %L (%Y, %G)", "The Band - rock and roll (1999, Polka)", 1},
        {kFile, "%a_%l", "TheBand_RockAndRoll", 1},
        {kFile, "%A", "The Band", 0},
        {kFile, "%B kbps %y %g", "192 kbps 1999 Polka", 0},
        {kFolder, "%A-%Y-%T", "The Band-1999-rock and roll", 1},
        {kFolder, "%t", "RockAndRoll", 1},
        {kTitle, "%T", "Song Title", 1},
        {2, "%A-%T", "The Band-Song Title", 1},
        // Codes that mean nothing in this kind stay as text.
        {kFolder, "%N %n", "N n", 2},
        {kFile, "%I%i", "Ii", 0},
        {kFile, "%b", "%b", 0},
        {kFolder, "%b%I", "%bI", 0}, // no track list
        {kFolder, "%B", "192", 0},   // no track list: the record's own rate
        // Unknown codes, escapes and a trailing percent.
        {kFile, "%x", "%x", 0},
        {kFile, "%%N", "%N", 0},
        {kFile, "100%", "100%", 0},
        {kFile, "%", "%", 0},
        {kFile, "%%", "%", 0},
        {kFile, "", "", 0},
    };
    const AudioTrack t = sampleTrack();
    for (const Row& row : rows) {
        int unique = -1;
        const QString name = t.getAlbumOrTrackName(naming, kNoAlbum, row.which,
                                                   QString::fromUtf8(row.tmpl), &unique, QString());
        EXPECT_EQ(name, QString::fromUtf8(row.expected)) << row.tmpl << " kind " << row.which;
        EXPECT_EQ(unique, row.unique) << row.tmpl << " kind " << row.which;
    }
}

TEST_F(NameTemplateTest, TrackNumberIsPaddedToTwoDigits) {
    AudioTrack t = sampleTrack();
    for (auto [row, expected] :
         {std::pair{0u, "01-Song Title"}, std::pair{8u, "09-Song Title"},
          std::pair{9u, "10-Song Title"}, std::pair{99u, "100-Song Title"}}) {
        t.setRow(row);
        EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("%N-%T")),
                  QString::fromUtf8(expected));
    }
}

TEST_F(NameTemplateTest, MissingValuesAppendNothing) {
    AudioTrack t = AudioTrack::initPlaceholder(FileSystemParams::kBogusPath);
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("[%A|%a|%T|%Y|%G]")),
              QStringLiteral("[||||]"));
    // New title falls back to the album details' title.
    t.setAlbumDetails_Title(QStringLiteral("From Details"));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kTitle, QStringLiteral("%T")),
              QStringLiteral("From Details"));
}

TEST_F(NameTemplateTest, FolderArtistPrefersTheVariousArtistName) {
    AudioTrack t = sampleTrack();
    CustomTag tag;
    t.setTags({.custom = tag}, TagField::Custom); // a tag without the value changes nothing
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFolder, QStringLiteral("%A")),
              QStringLiteral("The Band"));
    tag.setVariousArtist(QStringLiteral("Various Artists"));
    t.setTags({.custom = tag}, TagField::Custom);
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFolder, QStringLiteral("%A/%a")),
              QStringLiteral("Various ArtistsVariousArtists")); // the slash is never kept
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("%A")),
              QStringLiteral("The Band"));
}

TEST_F(NameTemplateTest, NoFolderOrUnknownKindGivesNull) {
    AudioTrack t = sampleTrack();
    EXPECT_TRUE(t.getAlbumOrTrackName(naming, kNoAlbum, 7).isNull());
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, 7, QStringLiteral("%T")),
              QStringLiteral("Song Title"));
    AudioTrack orphan = AudioTrack::initPlaceholder(QString());
    orphan.setNewTitle(QStringLiteral("x"));
    EXPECT_TRUE(orphan.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("%T")).isNull());
}

TEST_F(NameTemplateTest, OmitCharsApplyToFileAndFolderNamesOnly) {
    naming.omitChars = QStringLiteral("*?:/\\&");
    AudioTrack t = sampleTrack();
    t.setNewTitle(QStringLiteral("AC/DC: Live?"));
    t.setTags({.album = QStringLiteral("Rock & Roll*")}, TagField::Album);
    EXPECT_EQ(t.getNewFileName(naming, 0), QStringLiteral("01-ACDC Live.mp3"));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("%T"), nullptr,
                                    QStringLiteral("mp3")),
              QStringLiteral("ACDC Live.mp3"));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFolder, QStringLiteral("%T")),
              QStringLiteral("Rock  Roll"));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kTitle, QStringLiteral("%T")),
              QStringLiteral("AC/DC: Live?"));
}

TEST_F(NameTemplateTest, OmitCharsNeverTouchTheExtensionAndSlashAlwaysGoes) {
    naming.omitChars = QStringLiteral(".m");
    AudioTrack t = sampleTrack();
    t.setNewTitle(QStringLiteral("a.m/b"));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFile, QStringLiteral("%T"), nullptr,
                                    QStringLiteral("mp3")),
              QStringLiteral("ab.mp3"));
}

// A tag may hold what no name should: controls, overrides, leading dots.
TEST_F(NameTemplateTest, DiskNamesLoseControlsOverridesAndLeadingDots) {
    struct Row {
        const char* artist;
        const char* title;
        int which;
        const char* expected;
    } rows[] = {
        {"../../..", "x", kFolder, "-1999-rock and roll"},
        {"Band",
         "Tab\tNew\nline\rBell\x07"
         "Esc\x1b",
         kFile, "Band-TabNewlineBellEsc"},
        {"Band",
         "\xE2\x80\xAE"
         "3pm.exe",
         kFile, "Band-3pm.exe"},
        {"...Hidden", "Title", kFile, "Hidden-Title"},
        // Title tags keep their text.
        {"../x", "Tab\ttitle", kTitle, "../x-Tab\ttitle"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        AudioTrack t = sampleTrack();
        t.setTags({.artist = QString::fromUtf8(row.artist)}, TagField::Artist);
        t.setNewTitle(QString::fromUtf8(row.title));
        const QString tmpl =
            row.which == kFolder ? QStringLiteral("%A-%Y-%T") : QStringLiteral("%A-%T");
        EXPECT_EQ(expanded(t, row.which, tmpl, 255),
                  QString::fromUtf8(row.expected));
    }
    // A huge title is shortened in the memory it takes itself.
    AudioTrack t = sampleTrack();
    t.setNewTitle(QString(4 * 1024 * 1024, u'x'));
    EXPECT_EQ(expanded(t, kFile, QStringLiteral("%T"), 255, QStringLiteral("mp3")),
              QString(255, u'x') + QStringLiteral(".mp3"));
}

TEST_F(NameTemplateTest, ShortensTheNewestPiecesFirst) {
    AudioTrack t = sampleTrack();
    t.setTags({.artist = QStringLiteral("Long Artist Name")}, TagField::Artist);
    t.setNewTitle(QStringLiteral("Another Long Title"));
    const QString tmpl = QStringLiteral("%A-%T");
    struct Row {
        int limit;
        const char* expected;
    };
    for (const Row& row :
         {Row{20, "Long Artist Name-Ano.mp3"}, Row{35, "Long Artist Name-Another Long Title.mp3"},
          Row{17, "Long Artist Name-.mp3"}, Row{10, "Long Arti-.mp3"},
          Row{0, "Long Artist Name-Another Long Title.mp3"}}) {
        EXPECT_EQ(expanded(t, kFile, tmpl, row.limit, QStringLiteral("mp3")),
                  QString::fromUtf8(row.expected))
            << row.limit;
    }
    // Text that cannot be shortened is cut at the limit.
    EXPECT_EQ(expanded(t, kFile, QStringLiteral("%Y-%Y-%A"), 4),
              QStringLiteral("1999"));
}

TEST_F(NameTemplateTest, DiskNamesCountBytesAndNeverSplitACharacter) {
    AudioTrack t = sampleTrack();
    t.setNewTitle(QStringLiteral("ÄÄÄÄÄÄÄÄ")); // 8 characters, 16 bytes
    EXPECT_EQ(expanded(t, kFile, QStringLiteral("%T"), 11),
              QStringLiteral("ÄÄÄÄÄ"));
    EXPECT_EQ(expanded(t, kTitle, QStringLiteral("%T"), 11),
              QStringLiteral("ÄÄÄÄÄÄÄÄ"));
    t.setNewTitle(QStringLiteral("ab\U0001F3B5")); // a pair of 16-bit units, 4 bytes
    EXPECT_EQ(expanded(t, kFile, QStringLiteral("%T"), 5),
              QStringLiteral("ab"));
    EXPECT_EQ(expanded(t, kTitle, QStringLiteral("%T"), 3),
              QStringLiteral("ab"));
}

// The folder's limit holds for the whole name, extension included: the
// title gives way to an extension of any length.
TEST_F(NameTemplateTest, LimitComesFromTheFolderAndCountsTheExtension) {
    QTemporaryDir dir;
    AudioTrack t = sampleTrack();
    t.setFolder(dir.path());
    const int whole = FileSystemParams::getFileSystemParams()->maxFileNameLength(dir.path()) + 4;
    ASSERT_GT(whole, 20);
    t.setTags({.album = QString(300, QLatin1Char('a'))}, TagField::Album);
    t.setNewTitle(QString(300, QLatin1Char('t')));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kFolder, QStringLiteral("%T")).size(), whole);
    EXPECT_EQ(t.getTempFileName(naming, 0).size(), whole);
    EXPECT_EQ(t.getAlbumOrTrackName(naming, kNoAlbum, kTitle, QStringLiteral("%T")).size(), 255);
    for (const char* const* ext = kTrovixMusicExtensions; *ext; ++ext) {
        SCOPED_TRACE(*ext);
        const QString suffix = QLatin1Char('.') + QLatin1String(*ext);
        t.setFileName(QStringLiteral("x") + suffix);
        const QString name = t.getNewFileName(naming, 0);
        EXPECT_EQ(name, QStringLiteral("01-") + QString(whole - 3 - suffix.size(), u't') + suffix);
        EXPECT_EQ(t.getNewFileName(naming, AudioTrack::kSingleFile).size(), whole);
    }
}

TEST_F(NameTemplateTest, AlbumCodesUseTheTrackList) {
    AudioTrackArray list;
    list.add(recordWithRate(128));
    list.add(recordWithRate(128));
    const AudioTrack t = sampleTrack();
    const QString tmpl = QStringLiteral("%A-%B%b%I%i");
    EXPECT_EQ(t.getAlbumOrTrackName(naming, list.albumNameFacts(), kFolder, tmpl),
              QStringLiteral("The Band-128"));
    list.add(std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(QStringLiteral("Bogus"))));
    list.add(recordWithRate(192));
    EXPECT_EQ(t.getAlbumOrTrackName(naming, list.albumNameFacts(), kFolder, tmpl),
              QStringLiteral("The Band-MBR(MBR)(INC)(inc)"));
    list.removeObjectAtIndex(3);
    list.at(0)->setBitrate(-1);
    list.at(1)->setBitrate(0);
    EXPECT_EQ(t.getAlbumOrTrackName(naming, list.albumNameFacts(), kFolder, tmpl),
              QStringLiteral("The Band-VBR(VBR)(INC)(inc)"));
    // File names ignore the list.
    EXPECT_EQ(t.getAlbumOrTrackName(naming, list.albumNameFacts(), kFile, tmpl),
              QStringLiteral("The Band-192%bIi"));
}

TEST(AlbumBitrates, Summary) {
    struct Row {
        std::vector<int> rates;
        int expected;
    };
    const Row rows[] = {
        {{128, 128, 128}, 128}, {{128, 192}, 0}, {{0, 0}, -1}, {{0, 128}, 0},
        {{-1, -1}, -1},         {{-1, 160}, 0},  {{}, -1},     {{256}, 256},
    };
    for (const Row& row : rows) {
        AudioTrackArray list;
        for (int rate : row.rates)
            list.add(recordWithRate(rate));
        // Placeholders never count, whatever rate they carry.
        auto placeholder = std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(QString()));
        placeholder->setBitrate(999);
        list.add(placeholder);
        EXPECT_EQ(list.albumBitrate(), row.expected)
            << ::testing::PrintToString(row.rates);
    }
}

TEST_F(NameTemplateTest, PreferencesChooseTheTemplate) {
    auto set = [](const char* key, const QVariant& v) {
        Prefs::setOverride(QLatin1String(key), v);
    };
    set(Prefs::kAlbumFolderNameFormat, QStringLiteral("folder"));
    set(Prefs::kVAAlbumFolderNameFormat, QStringLiteral("va-folder"));
    set(Prefs::kTrackFileNameFormat, QStringLiteral("file"));
    set(Prefs::kVATrackFileNameFormat, QStringLiteral("va-file"));
    set(Prefs::kSFTrackFileNameFormat, QStringLiteral("sf-file"));
    set(Prefs::kTitleTagFormat, QStringLiteral("title"));
    set(Prefs::kVATitleTagFormat, QStringLiteral("va-title"));
    set(Prefs::kSFTitleTagFormat, QStringLiteral("sf-title"));
    const int va = AudioTrack::kVariousArtists, sf = AudioTrack::kSingleFile;

    struct Row {
        int which;
        const char* off;
        const char* on;
    };
    const Row rows[] = {
        {kFolder, "folder", "folder"},      {kFolder | va, "folder", "va-folder"},
        {kFolder | sf, "folder", "folder"}, {kFile, "file", "file"},
        {kFile | va, "file", "va-file"},    {kFile | sf, "file", "sf-file"},
        {kTitle, "title", "title"},         {kTitle | va, "title", "va-title"},
        {2 | sf, "title", "sf-title"},
    };
    const AudioTrack t = sampleTrack();
    for (bool on : {false, true}) {
        for (const char* key :
             {Prefs::kVARenameAlbums, Prefs::kVARenameTracks, Prefs::kVARenameTitles,
              Prefs::kSFRenameTracks, Prefs::kSFRenameTitles})
            set(key, on);
        const NamingOptions fromPrefs = Prefs::namingOptions();
        for (const Row& row : rows)
            EXPECT_EQ(t.getAlbumOrTrackName(fromPrefs, std::nullopt, row.which),
                      QString::fromUtf8(on ? row.on : row.off))
                << std::hex << row.which << " on=" << on;
    }
    // A template passed in wins whatever the switches say.
    EXPECT_EQ(t.getAlbumOrTrackName(Prefs::namingOptions(), kNoAlbum, kFile | va,
                                    QStringLiteral("given")),
              QStringLiteral("given"));
}

TEST(NumberedName, StaysWithinTheLimit) {
    EXPECT_EQ(NameTemplate::numberedName(QStringLiteral("01-Song.XXX"), 1, 20),
              QStringLiteral("01-Song.XXX"));
    EXPECT_EQ(NameTemplate::numberedName(QStringLiteral("01-Song.XXX"), 2, 20),
              QStringLiteral("01-Song 2.XXX"));
    EXPECT_EQ(NameTemplate::numberedName(QStringLiteral("01-Song.XXX"), 12, 7),
              QStringLiteral("01-S 12.XXX"));
}
