#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tansy need,
# and the ja_JP.UTF-8 locale (Wine started with it has the Japanese ANSI code
# page 932). Idempotent: does nothing when everything is there. Run as root.
#
#   tools/install-deps.sh          everything, for every make target
#   tools/install-deps.sh --tests  what building and `make test` need: not
#                                  the tools and fonts of the screenshots
#                                  and of the demo a person looks at
set -euo pipefail

packages=(
    make cmake g++ python3 python3-pytest python3-pytest-xdist
    libgtest-dev libicu-dev clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb locales python3-cryptography
    fonts-wine xdotool g++-multilib qemu-user
)
# The screenshots (import, convert, xwininfo) and Japanese text on screen.
desktop=(x11-utils xauth zip imagemagick fonts-ipafont-gothic)
[[ ${1:-} == --tests ]] || packages+=("${desktop[@]}")

# Unpacking without a sync per file: the packages are fetched again should
# the machine stop halfway.
apt_install=(apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io)
updated=0

# The 32-bit program runs under 32-bit Wine, which comes from the i386 side
# of the archive and is itself a 32-bit Linux program. Some kernels cannot
# run those (exec fails with "Exec format error"); there 32-bit Wine would
# only break the `wine` command for 64-bit programs too, so it is left out
# and the tests of the 32-bit program are skipped with that reason.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "install-deps: the i386 architecture is not enabled (run as root)" >&2
        exit 1
    fi
    echo "install-deps: enabling the i386 architecture for 32-bit Wine"
    dpkg --add-architecture i386
    apt-get update -qq
    updated=1
fi
if [[ "$(dpkg-query -W -f='${Status}' libc6:i386 2>/dev/null || true)" != "install ok installed" ]]; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "install-deps: libc6:i386 is missing (run as root)" >&2
        exit 1
    fi
    echo "install-deps: installing libc6:i386 to see whether 32-bit programs run here"
    DEBIAN_FRONTEND=noninteractive "${apt_install[@]}" libc6:i386 >/dev/null
fi
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    packages+=(wine32:i386)
else
    echo "install-deps: this machine cannot run 32-bit Linux programs, so 32-bit Wine" \
        "is not installed and the 32-bit program's Wine tests will be skipped"
    if [[ "$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)" == "install ok installed" ]]; then
        echo "install-deps: wine32:i386 is installed but cannot run here, and the wine" \
            "command then fails for 64-bit programs too: remove it" \
            "(apt-get remove wine32:i386 libwine:i386)" >&2
        exit 1
    fi
fi

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
    ((updated)) || apt-get update -qq
    "${apt_install[@]}" "${missing[@]}" >/dev/null
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
