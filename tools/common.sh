# Shared by tools/run.sh and tools/test.sh: installs what is missing, then builds.
set -euo pipefail

VELMORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

velmora_install_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$VELMORA_ROOT/tools/packages.txt")
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

# velmora_build <build dir> [extra cmake arguments...]
velmora_build() {
    local dir="$1"; shift
    cmake -S "$VELMORA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
