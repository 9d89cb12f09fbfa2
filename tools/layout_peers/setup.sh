#!/usr/bin/env bash
# Installs the layered drawing tools that the layout-peers bench workloads compare the
# automatic layout with: graphviz (dot) from Debian and elkjs from npm, the latter into
# <build dir>/layout_peers (build/ by default). For developers only: nothing of the
# application, its build or its tests uses them.
#   bash tools/layout_peers/setup.sh [build dir]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
apt_install() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"
}

missing=()
command -v dot >/dev/null || missing+=(graphviz)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"

peers="$build/layout_peers"
if [ ! -f "$peers/node_modules/elkjs/package.json" ]; then
    mkdir -p "$peers"
    # A folder of its own, so that no package.json of the project learns of it.
    [ -f "$peers/package.json" ] || echo '{"private": true}' >"$peers/package.json"
    npm install --prefix "$peers" --no-audit --no-fund elkjs@0.12.2
fi
echo "dot: $(dot -V 2>&1)"
echo "elkjs: $(node -p "require('$peers/node_modules/elkjs/package.json').version")"
