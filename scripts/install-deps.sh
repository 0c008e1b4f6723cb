#!/usr/bin/env bash
# Installs every Debian 12 package the Kestrix Command Center needs to build,
# run and test: compilers and CMake, Qt 5.15 with the QML modules the scenes
# import, the translation tools, the font of the images rendered at build
# time, Google Benchmark, clang for the fuzz target, Xvfb with Mesa for
# the headless QML tests, and nftables and iproute2 for the service's Linux
# backend.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config git
    clang libclang-rt-14-dev
    libbenchmark-dev
    # Qt 5.15
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev
    libqt5charts5-dev libqt5svg5-dev
    qttools5-dev qttools5-dev-tools
    # the font of the text in the images rendered at build time (src/res)
    fonts-dejavu-core
    # QML modules imported by the scenes and the QML tests
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts
    qml-module-qtquick-controls qml-module-qtquick-controls2
    qml-module-qtquick-templates2 qml-module-qtqml-models2
    qml-module-qtcharts
    qml-module-qt-labs-settings qml-module-qt-labs-platform
    qml-module-qttest
    # headless display for the QML tests and screenshots; xprop and xwininfo
    # for the end-to-end test's look at the window
    xvfb xauth libgl1-mesa-dri x11-utils
    # kestrix-service's Linux backend: libnftables, libnetfilter_log (the DNS
    # answers for sites), tc and ip; nft, nsenter
    # and findmnt for its tests in network namespaces
    libnftables-dev libnetfilter-log-dev nftables iproute2 util-linux
)

# With --if-missing, apt is only run when a package is not installed yet, so
# the build scripts can call this on every run at no cost.
if [ "${1:-}" = "--if-missing" ]; then
    missing=()
    for package in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        exit 0
    fi
    echo "Installing missing packages: ${missing[*]}"
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
