#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quorvella need,
# only those not installed yet.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git ccache lld
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-qpa-plugins
    qt6-svg-dev qt6-httpserver-dev qt6-websockets-dev qt6-webengine-dev libgl-dev
    libplist-dev libquazip1-qt6-dev libsodium-dev libqrencode-dev libpsl-dev publicsuffix
    libbenchmark-dev clang-format qtkeychain-qt6-dev
    libxcb1-dev xvfb xauth xclip xdotool x11-utils dbus dbus-bin dunst openbox fonts-dejavu-core
    gnome-keyring dbus-x11
    zbar-tools at-spi2-core python3-pyatspi
    libwayland-dev libwayland-bin qt6-wayland sway wl-clipboard
    python3 desktop-file-utils appstream dpkg-dev lintian xdg-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: every package is installed"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
