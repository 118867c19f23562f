#!/bin/sh
# Stands in for trovix in the GNOME Files extension check.
printf '%s\n' "$@" >"$TROVIX_ARGS_FILE.part" && mv "$TROVIX_ARGS_FILE.part" "$TROVIX_ARGS_FILE"
