#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and builds the Debian
# package, and checks that both hold exactly the expected files.
#   scripts/check-install.sh BUILD_DIR HAS_UI(0|1) EXTENSION_PATH|none
set -euo pipefail
build=$1 has_ui=$2 extension=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expected=(
  bin/trovix-cli
  lib/trovix/trovix_pictures.so
  share/applications/trovix.desktop
  share/metainfo/app.trovix.Trovix.metainfo.xml
  share/icons/hicolor/scalable/apps/trovix.svg
  share/kio/servicemenus/trovix-tag.desktop
  share/nemo/actions/trovix-tag.nemo_action
  share/man/man1/trovix-cli.1
  share/trovix/MusicBrainzIcon.png
  share/trovix/SmartCapExclusionList.txt
  share/trovix/tools/trovix-tag.desktop
  share/trovix/tools/trovix-tag.nemo_action
  "share/trovix/tools/Tag with Trovix"
)
for size in 16 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/trovix.png"); done
if [ "$has_ui" = 1 ]; then expected+=(bin/trovix); fi
if [ "$extension" != none ]; then expected+=("$extension"); fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/installed"
if ! diff -u "$work/expected" "$work/installed"; then
  echo "cmake --install: the installed files differ from the expected list" >&2
  exit 1
fi
if [ ! -x "$work/prefix/share/trovix/tools/Tag with Trovix" ]; then
  echo "the GNOME Files script lost its execute bit" >&2
  exit 1
fi

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' |
  sed 's|^\./usr/||; s| -> .*||' | sort >"$work/packaged"
if ! diff -u "$work/expected" "$work/packaged"; then
  echo "dpkg-deb -c: the package's files differ from the expected list" >&2
  exit 1
fi
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6
echo "install and package hold the ${#expected[@]} expected files"
