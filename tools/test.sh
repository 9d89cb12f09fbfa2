#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# VELMORA_SANITIZE=1 builds and tests with AddressSanitizer and UBSan in build-sanitize/.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

velmora_install_packages
if [ "${VELMORA_SANITIZE:-0}" = "1" ]; then
    dir="$VELMORA_ROOT/build-sanitize"
    velmora_build "$dir" -DVELMORA_SANITIZE=ON
else
    dir="$VELMORA_ROOT/build"
    velmora_build "$dir" -DVELMORA_SANITIZE=OFF
fi
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)"
