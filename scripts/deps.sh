#!/bin/sh
# Installs the Debian packages a make target needs, when they are missing and we
# are root; otherwise only reports what is missing.
# Usage: scripts/deps.sh GROUP...   (groups: build fuzz cross bench tools coverage abi reproducible
# deb deb-arm64)
# build includes xxd and hexdump (bsdextrautils): the tool's transcript reads their output.
set -eu
pkgs="" foreign=""
for group in "$@"; do
    case $group in
        build) pkgs="$pkgs cmake ninja-build g++ gcc make binutils pkgconf libgtest-dev googletest libcli11-dev nlohmann-json3-dev python3 xxd bsdextrautils" ;;
        fuzz) pkgs="$pkgs clang-14 libclang-rt-14-dev llvm-14 valgrind" ;;
        coverage) pkgs="$pkgs gcovr" ;;
        cross) pkgs="$pkgs crossbuild-essential-arm64 crossbuild-essential-s390x qemu-user googletest" ;;
        bench) pkgs="$pkgs libbenchmark-dev valgrind gnuplot-nox jq" ;;
        tools) pkgs="$pkgs libcli11-dev nlohmann-json3-dev" ;;
        abi) pkgs="$pkgs abigail-tools" ;;
        reproducible) pkgs="$pkgs faketime" ;;
        deb) pkgs="$pkgs debhelper dpkg-dev lintian" ;;
        # Cross-built packages: their dependencies come from the arm64 run-time
        # libraries (multiarch), which need the architecture added to dpkg.
        deb-arm64) pkgs="$pkgs libc6:arm64 libgcc-s1:arm64 libstdc++6:arm64"; foreign=arm64 ;;
        *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done
missing=""
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    [ -z "$foreign" ] || dpkg --print-foreign-architectures | grep -qx "$foreign" || dpkg --add-architecture "$foreign"
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends $missing >/dev/null
else
    echo "missing Debian packages:$missing (run as root to install them)" >&2
    exit 1
fi
