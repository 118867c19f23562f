#include "support/AlbumFolderFixture.h"

#include "model/AudioTrack.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"

#include <QDir>

AlbumFolderFixture::AlbumFolderFixture() { setFolderName(QStringLiteral("Album")); }

bool AlbumFolderFixture::setFolderName(const QString& name) {
    const QString path = fDir.path() + u'/' + name;
    if (!QDir().mkpath(path)) return false;
    fPath = path;
    return true;
}

bool AlbumFolderFixture::add(const FixtureTrack& spec) {
    const QString path = fPath + u'/' + spec.fileName;
    if (spec.fileName.endsWith(QStringLiteral(".m4a"), Qt::CaseInsensitive)) {
        M4aFixtureOptions options;
        options.title = spec.title;
        options.artist = spec.artist;
        options.album = spec.album;
        options.year = spec.year;
        options.freeGenre = spec.genre;
        options.genreIndex = 0;
        options.trackNum = spec.track;
        options.trackCount = spec.of;
        return writeM4a(path, options);
    }
    if (!writeSilentMp3(path)) return false;
    AudioTrack track = AudioTrack::initWithPath(path);
    if (!track.isValid()) return false;
    if (!spec.title.isNull()) track.tagTitle(spec.title);
    if (!spec.artist.isNull()) track.tagArtist(spec.artist);
    if (!spec.album.isNull()) track.tagAlbum(spec.album);
    if (!spec.year.isNull()) track.tagYearStr(spec.year);
    if (!spec.genre.isNull()) track.tagGenre(spec.genre);
    if (spec.track > 0) track.tagTrack(spec.track, spec.of);
    if (spec.customTag) track.tagCustomTag(spec.customTag);
    return track.commitTags();
}
