#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the game and the tests need.
# Idempotent and quiet when everything is present; as non-root it only says what to run.
set -euo pipefail

packages=(
    cmake g++ ninja-build make
    qt6-base-dev qt6-translations-l10n qt6-l10n-tools
    fonts-liberation2
    pulseaudio libpulse-dev libjpeg62-turbo-dev libpng-dev libxcb1-dev libxcb-xinput-dev
    xvfb xauth xdotool x11-utils x11-xserver-utils locales libgtk-3-bin
    at-spi2-core python3-pyatspi imagemagick openbox metacity xfwm4 dbus wmctrl weston qt6-wayland
    sway grim wtype jq gnome-shell mutter libglib2.0-bin kwin-x11 kwin-wayland xwayland
    libwayland-dev libwayland-bin plasma-wayland-protocols
    libjpeg-turbo-progs clang libclang-rt-dev libx11-dev libxtst-dev
    desktop-file-utils appstream bc lintian debhelper
    pkgconf libheif-dev libavif-dev libwebp-dev libheif-examples libavif-bin webp time libseccomp-dev
)
# From Debian 13 on libheif's codecs are plugins of their own: libde265 decodes HEIC (AV1 goes
# through libavif), x265 encodes the tests' HEIC.
. /etc/os-release
if [[ ${ID:-} == debian && ${VERSION_ID:-} == 12 ]]; then
    : # built into libheif1
elif [[ ${ID:-} == debian ]] || apt-cache show libheif-plugin-libde265 >/dev/null 2>&1; then
    packages+=(libheif-plugin-libde265 libheif-plugin-x265)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run as root: apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
