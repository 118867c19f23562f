#include "support/AlbumFolderFixture.h"

#include "model/AudioTrack.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"

#include <QDir>

AlbumFolderFixture::AlbumFolderFixture() {
    setFolderName(QStringLiteral("Album"));
}

bool AlbumFolderFixture::setFolderName(const QString& name) {
    const QString path = fDir.path() + u'/' + name;
    if (!QDir().mkpath(path)) return false;
    fPath = path;
    return true;
}

bool AlbumFolderFixture::add(const FixtureTrack& wanted) {
    const QString path = fPath + u'/' + wanted.fileName;
    if (wanted.fileName.endsWith(QStringLiteral(".m4a"), Qt::CaseInsensitive)) {
        M4aFixtureOptions options;
        options.title = wanted.title;
        options.artist = wanted.artist;
        options.album = wanted.album;
        options.year = wanted.year;
        options.freeGenre = wanted.genre;
        options.genreIndex = 0;
        options.trackNum = wanted.track;
        options.trackCount = wanted.of;
        return writeM4a(path, options);
    }
    Mp3FixtureOptions audio;
    // 44.1 kHz frames of 1152 samples: about 38.3 a second.
    if (wanted.seconds > 0) audio.frames = wanted.seconds * 44100 / 1152;
    if (!writeSilentMp3(path, audio)) return false;
    AudioTrack track = AudioTrack::initWithPath(path);
    if (!track.isValid()) return false;
    TagValues tags{.title = wanted.title,
                   .artist = wanted.artist,
                   .album = wanted.album,
                   .year = wanted.year,
                   .genre = wanted.genre,
                   .custom = wanted.customTag};
    tags.setTrack(wanted.track, wanted.of);
    TagFields fields;
    for (TagField field :
         {TagField::Title, TagField::Artist, TagField::Album, TagField::Year, TagField::Genre})
        if (!tags.text(field).isNull()) fields |= field;
    if (wanted.track > 0) fields |= TagField::Track | TagField::TrackCount;
    if (wanted.customTag) fields |= TagField::Custom;
    track.writeTags(tags, fields);
    const std::shared_ptr<MusicFile> music = track.musicFile();
    return music && SaveBatch::saveOne(*music).ok();
}
