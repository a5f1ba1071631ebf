#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and this machine
# lacks. Does nothing when all is there.
set -eu
packages="cmake make g++ libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 clang libclang-rt-dev llvm python3-pefile zip time"
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing="$missing $package"
done
# The lint's Node.js: Debian's, unless this machine has a node and npm from elsewhere.
command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo dpkg --add-architecture i386
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
