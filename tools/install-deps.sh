#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tansy need,
# and the ja_JP.UTF-8 locale (Wine started with it has the Japanese ANSI code
# page 932). Idempotent: does nothing when everything is there. Run as root.
set -euo pipefail

packages=(
    make cmake g++ python3 python3-pytest python3-pytest-xdist
    libgtest-dev libicu-dev clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb x11-utils xauth locales zip imagemagick python3-cryptography
    fonts-ipafont-gothic fonts-wine xdotool g++-multilib qemu-user
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "install-deps: missing packages: ${missing[*]} (run as root)" >&2
        exit 1
    fi
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "install-deps: the ja_JP.UTF-8 locale is missing (run as root)" >&2
        exit 1
    fi
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
