#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and this machine
# lacks; stops with apt's reason if it cannot, and before asking apt where it has neither root
# nor sudo. 32-bit Wine is optional: asked for only where the kernel executes 32-bit code, never
# with a password, and not again once apt has refused it; without it, build/wine32-missing.txt
# says why, for the tests and the demo to quote.
set -eu
here=$(dirname "$0")
why=$here/../build/wine32-missing.txt
missing() {  # those of the packages named that are not installed
  for package; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      echo "$package"
  done
}
# python3-unicorn imports distutils without depending on it.
need=$(missing cmake make g++ libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 clang lld libclang-rt-dev llvm \
  python3-pefile python3-unicorn python3-distutils zip time mono-mcs osslsigncode openssl)
# The lint's Node.js: Debian's, unless this machine has a node and npm from elsewhere.
command -v npm >/dev/null 2>&1 || need="$need nodejs npm"
mkdir -p "$(dirname "$why")"
wine32=""
if ! no32=$("$here/kernel-runs-i386.sh" "$(dirname "$why")"); then
  echo "$no32" | tee "$why"
elif grep -qs 'could not be installed' "$why" && [ -n "$(missing wine32:i386)" ]; then
  echo "$(cat "$why") (apt's answer before; remove build/wine32-missing.txt to ask again)"
else
  wine32=$(missing wine32:i386)
  rm -f "$why"
fi
[ -n "$need$wine32" ] || exit 0
sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
# At a terminal sudo may ask for a password first, for what the build needs only.
if [ -n "$sudo" ] && ! sudo -n true 2>/dev/null; then
  [ -n "$need" ] ||
    { echo "wine32:i386 is not installed, and installing needs root or sudo" | tee "$why"; exit 0; }
  { [ -t 0 ] && sudo -v; } || { echo "installing these needs root or sudo:" $need >&2; exit 1; }
fi
echo "installing:" $need $wine32
export DEBIAN_FRONTEND=noninteractive
# A set that apt could install only by removing packages counts as refused.
install() { $sudo apt-get install -y -q --no-install-recommends --no-remove "$@"; }
[ -z "$wine32" ] || $sudo dpkg --add-architecture i386
# A list that fails to download (a mirror mid-sync) leaves the others usable.
$sudo apt-get update -q || echo "apt-get update failed in part; installing from the lists it has"
if [ -n "$wine32" ]; then
  # Both architectures must get the same versions of the shared libraries. Where a list lags
  # (the i386 security list, say), the release's own versions still match.
  log=$(mktemp)
  echo "with wine32:i386, in one set (apt's output: $log)"
  # shellcheck disable=SC2086
  if install $need $wine32 >"$log" 2>&1 ||
    install -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" $need $wine32 >"$log" 2>&1; then
    exit 0
  fi
  reason=$(sed -n '/unmet dependencies:/{n;s/^ *//;p;q}' "$log")
  echo "wine32:i386 could not be installed: ${reason:-$(grep '^E:' "$log" | tail -n 1)}" | tee "$why"
fi
# shellcheck disable=SC2086
[ -z "$need" ] || install $need
