#include "docs/NewTags.h"

#include "docs/SaveOptions.h"
#include "media/MP3File.h"
#include "media/MusicFile.h"
#include "model/AudioTrack.h"
#include "model/TextNumbers.h"

void NewTags::setOn(AudioTrack& record) const {
    record.setArtist(artist);
    record.setAlbum(album);
    record.setYearStr(YearText(year));
    record.setGenre(genre);
    record.setTitle(title);
    record.setTrack(track, trackCount);
}

std::shared_ptr<MusicFile> NewTags::openTagged(const QString& path, const struct stat* opened,
                                               const SaveOptions& options) const {
    std::shared_ptr<MusicFile> music = MusicFile::newMusicFileWithPath(path);
    if (!music) return nullptr;
    if (opened) music->takeOpenedState(*opened);
    if (auto* mp3 = dynamic_cast<MP3File*>(music.get())) {
        mp3->setTagVersion(options.tagVersion);
        mp3->setHomePage(options.homePage);
    }
    music->tagArtist(artist);
    music->tagAlbum(album);
    music->tagYearStr(year);
    music->tagGenre(genre);
    music->tagTitle(title);
    music->tagTrackNum(track, trackCount);
    return music;
}
