#!/usr/bin/env bash
# Installs what is missing from Debian's packages, then configures and builds.
# Sourced by run.sh and test.sh; BUILD_DIR may be set by the caller.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libqt6sql6-sqlite
    libicu-dev libcups2-dev libcsv-dev libqt6sql6-psql
    fonts-ipafont-gothic fontconfig qt6-translations-l10n
    poppler-utils
    libpoppler-qt6-dev
    cups cups-client cups-filters
    xvfb xauth xdotool
    postgresql
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
