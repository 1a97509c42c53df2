#!/usr/bin/env bash
# Developer entry point: installs the build dependencies, builds, runs the
# application or the test suite.
#
#   tools/dev.sh install   Debian 12 packages, from the compiler up
#   tools/dev.sh run       install, build (build/) and start kestrox-vantrell
#   tools/dev.sh test      install, build with sanitizers (build-test/) and run ctest
#   tools/dev.sh package   install, build (build-package/) and make the Debian package kestrox_*.deb
#   tools/dev.sh fuzz [S]  build the libFuzzer targets (build-fuzz/) and run each for S seconds (60)
#
# Extra arguments after "run" go to kestrox-vantrell.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    libgl-dev libqcustomplot-dev libhidapi-dev libusb-1.0-0-dev zlib1g-dev libarchive-dev
    xvfb xauth
    librsvg2-bin
    lua5.1 lua-socket
    desktop-file-utils appstream umockdev libumockdev-dev lintian udev
    nodejs
)

install_deps() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return
    fi
    install_packages "${missing[@]}"
}

install_packages() {
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: $*"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "$@"
}

configure_and_build() {
    local dir=$1
    shift
    cmake -S "$here" -B "$here/$dir" -G Ninja "$@"
    cmake --build "$here/$dir" -j "$jobs"
}

cmd=${1:-}
shift || true
case "$cmd" in
install)
    install_deps
    ;;
run)
    install_deps
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROX_BUILD_TESTS=OFF
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "No display found: starting offscreen (set DISPLAY to see the window)."
        export QT_QPA_PLATFORM=offscreen
    fi
    cd "$here"
    exec "$here/build/mainapp/kestrox-vantrell" "$@"
    ;;
test)
    install_deps
    configure_and_build build-test -DCMAKE_BUILD_TYPE=Debug -DKESTROX_SANITIZE=ON
    # An independent SimConnect client, the test peer of our fake MSFS.
    if [ ! -d "$here/build-test/node/node_modules/node-simconnect" ]; then
        # Some Node.js builds bring npm along; Debian's comes in a package of its own.
        command -v npm >/dev/null 2>&1 || install_packages npm || true
        npm install --prefix "$here/build-test/node" --no-audit --no-fund node-simconnect@4 ||
            echo "node-simconnect could not be installed: its test will be skipped"
    fi
    cd "$here/build-test"
    ctest --output-on-failure -j "$jobs"
    ;;
fuzz)
    install_deps
    exec "$here/tools/fuzz.sh" "$@"
    ;;
package)
    install_deps
    configure_and_build build-package -DCMAKE_BUILD_TYPE=Release -DKESTROX_BUILD_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr
    (cd "$here/build-package" && cpack -G DEB)
    deb=$(ls "$here"/build-package/kestrox_*.deb)
    echo "Built $deb"
    if command -v lintian >/dev/null 2>&1; then
        lintian --no-tag-display-limit "$deb" || true
    fi
    ;;
*)
    echo "usage: $0 install|run|test|package|fuzz [arguments]" >&2
    exit 64
    ;;
esac
