#!/usr/bin/env bash
# The main job on a bundled demo: builds a small album folder of generated MP3
# and M4A files whose tags and names disagree, looks it up in a loopback copy
# of the MusicBrainz and Cover Art Archive answers for that album (no
# internet needed), shows what trovix-cli proposes, chooses the best hit,
# saves it, and lists the folder before and after.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
cli="$root/build/src/trovix-cli"
web="$root/build/tests/trovix-demo-web"

scratch=$(mktemp -d)
# The stand-in web service prints its address, then serves until its input
# closes.
coproc DEMO_WEB { "$web" "$root/tests/data/musicbrainz"; }
web_pid=$DEMO_WEB_PID
trap 'kill "$web_pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
read -r base <&"${DEMO_WEB[0]}"
# Settings and backups of this run stay in the scratch folder.
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME"
album="$scratch/The Demo Band - Silent Songs"
offline=(--set SearchAMG=NO --set SearchGOOG=NO --set SearchGNUDB=NO --set SearchFreeDB=NO
         --set SearchMB=YES --set MusicBrainzBaseURL="$base" --set CoverArtArchiveBaseURL="$base"
         --set SearchForCoverArt=YES)

"$cli" demo-album "$album" >/dev/null

echo "== Before: $album"
ls -1 "$album"
echo
echo "== The proposal"
"$cli" open "$album" "${offline[@]}"
echo
echo "== Choosing the best MusicBrainz hit and saving"
# Hits are numbered in the table; the first MusicBrainz row is the best one.
best=$("$cli" open "$album" "${offline[@]}" 2>/dev/null |
       awk '/ MusicBrainz /{for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) {print $i; exit}}')
echo "hit ${best:?no MusicBrainz hit}"
"$cli" open "$album" "${offline[@]}" --choose "$best" --save --yes >/dev/null
echo
echo "== After"
for dir in "$scratch"/*/; do
  [ "$dir" = "$scratch/config/" ] && continue
  echo "$dir"
  ls -1 "$dir"
  echo
  echo "== Reopened after the save"
  "$cli" open "$dir" "${offline[@]}" 2>/dev/null
done
