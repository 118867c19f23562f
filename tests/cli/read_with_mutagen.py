#!/usr/bin/env python3
"""Prints, as one JSON object, what mutagen reads from a music file: the
artist, album, title, year and genre (null when absent), the album artist,
disc number and MusicBrainz identifiers under "more" (several values joined
with "/"), every text value of every tag, the ID3 version it read, the frames of an ID3v1 tag and whether an APEv2 tag is present. Exit status 2 when mutagen is
not installed, 1 when it cannot read the file."""
import json
import sys

try:
    import mutagen
    from mutagen.apev2 import APEv2, APENoHeaderError
    from mutagen.id3 import TCON, ParseID3v1
except ImportError:
    print("mutagen is not installed (scripts/setup.sh installs python3-mutagen)", file=sys.stderr)
    sys.exit(2)

FIELDS = ("artist", "album", "title", "date", "genre")
# Easy names of the identifiers, with the MPEG-4 freeform name each has
# (mutagen's easy MPEG-4 interface knows only some of them).
IDS = {
    "musicbrainz_albumid": "MusicBrainz Album Id",
    "musicbrainz_releasegroupid": "MusicBrainz Release Group Id",
    "musicbrainz_releasetrackid": "MusicBrainz Release Track Id",
    "musicbrainz_trackid": "MusicBrainz Track Id",
    "musicbrainz_artistid": "MusicBrainz Artist Id",
    "musicbrainz_albumartistid": "MusicBrainz Album Artist Id",
}
MORE = ("albumartist", "discnumber", "disctotal") + tuple(IDS)


def texts(tags):
    out = []
    for key in tags.keys():
        value = tags[key]
        for item in value if isinstance(value, list) else [value]:
            out.append(str(item))
    return out


def main(path):
    easy = mutagen.File(path, easy=True)
    if easy is None:
        print("mutagen does not know this file", file=sys.stderr)
        return 1
    result = {"kind": type(easy).__name__}
    tags = easy.tags or {}
    for field in FIELDS:
        values = tags.get(field) if field in tags else None
        result[field] = values[0] if values else None
    raw = mutagen.File(path)
    # MPEG-4 keeps a standard genre as a number in "gnre", beside the
    # free-text item the easy interface reads.
    if result["genre"] is None and raw.tags is not None and "gnre" in raw.tags:
        number = raw.tags["gnre"][0]
        if 0 < number <= len(TCON.GENRES):
            result["genre"] = TCON.GENRES[number - 1]
    more = {}
    for field in MORE:
        values = list(tags.get(field)) if field in tags else []
        freeform = "----:com.apple.iTunes:" + IDS.get(field, "")
        if not values and field in IDS and raw.tags is not None and freeform in raw.tags:
            values = [bytes(v).decode("utf-8") for v in raw.tags[freeform]]
        more[field] = "/".join(values) if values else None
    result["more"] = more
    result["texts"] = texts(raw.tags) if raw.tags is not None else []
    # "2.3", "2.4"; "1.1" when the values come from ID3v1 alone.
    version = getattr(raw.tags, "version", None)
    result["id3"] = "%d.%d" % version[:2] if version else None
    with open(path, "rb") as f:
        f.seek(max(0, f.seek(0, 2) - 128))
        v1 = ParseID3v1(f.read(128))
    result["v1"] = {k: str(v) for k, v in v1.items()} if v1 else None
    try:
        ape = APEv2(path)
        result["ape"] = True
        result["texts"] += texts(ape)
    except APENoHeaderError:
        result["ape"] = False
    print(json.dumps(result))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
