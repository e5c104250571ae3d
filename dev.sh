#!/usr/bin/env bash
# Set-up, build and run on Debian 12, as root or through sudo.
#   bash dev.sh run    install what is needed, build, start the program
#   bash dev.sh test   install what is needed, build, run every test
#   bash dev.sh build  install what is needed and build
#   bash dev.sh package  build and make build/langtuo_<version>_amd64.deb and
#                        build/langtuo-client_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake make g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev valgrind libsodium-dev qt6-charts-dev libqt6opengl6-dev libsqlite3-dev
    postgresql postgresql-common libqt6sql6-psql
    dpkg-dev file desktop-file-utils appstream)

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$(nproc)"
}

case "${1:-}" in
run)
    install_packages
    build
    exec build/bin/langtuo
    ;;
test)
    install_packages
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    ;;
build)
    install_packages
    build
    ;;
package)
    install_packages
    build
    (cd build && cpack -G DEB)
    ls build/langtuo_*_amd64.deb
    ;;
*)
    echo "usage: bash dev.sh run|test|build|package" >&2
    exit 2
    ;;
esac
