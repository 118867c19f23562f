#!/usr/bin/env bash
# Validates the shipped desktop entry and AppStream metadata.
#   scripts/validate-desktop-files.sh RESOURCES_DIR
set -euo pipefail
res=$1
desktop-file-validate "$res/trovix.desktop"
appstreamcli validate --no-net "$res/trovix.metainfo.xml"
