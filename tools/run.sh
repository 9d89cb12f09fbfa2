#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the application.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

velmora_install_packages
velmora_build "$VELMORA_ROOT/build"

app="$VELMORA_ROOT/build/bin/velmora"
if [ ! -x "$app" ]; then
    echo "The build succeeded, but the velmora application is not built yet."
    exit 0
fi
exec "$app" "$@"
