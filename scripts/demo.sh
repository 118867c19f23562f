#!/usr/bin/env bash
# The main job on a bundled demo: builds a small album folder of generated MP3
# and M4A files whose tags and names disagree, shows what trovix-cli proposes
# from the files' own tags and names (no web look-ups), saves it, and lists
# the folder before and after.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
cli="$root/build/src/trovix-cli"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Settings and backups of this run stay in the scratch folder.
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME"
album="$scratch/The Demo Band - Silent Songs"
offline=(--set SearchAMG=NO --set SearchGOOG=NO --set SearchGNUDB=NO --set SearchFreeDB=NO
         --set SearchForCoverArt=NO)

"$cli" demo-album "$album" >/dev/null

echo "== Before: $album"
ls -1 "$album"
echo
echo "== The proposal"
"$cli" open "$album" "${offline[@]}"
echo
echo "== Saving"
"$cli" open "$album" "${offline[@]}" --save --yes >/dev/null
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
