#!/bin/sh
# create DIR: a throwaway Wine prefix with real network drives, and a wineserver kept warm.
#   m: -> \\fileserver\public          n: -> \\fileserver\public\docs
#   j:, k:, l: -> \\fileserver\long\<200 a>\<35, 36, 81 b>: UNC forms of 254, 255 and 300 bytes
#   u: -> \\fileserver\Öffentlich\Bücher€: non-ASCII names (code page 1252 under LC_ALL=C.UTF-8)
# remove DIR: stops that prefix's wineserver (and no other) and deletes it.
set -eu
action=$1
WINEPREFIX=$(realpath -m "$2")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes its code pages from the locale; C.UTF-8 is always there and gives ANSI 1252.
export LC_ALL=C.UTF-8

remove() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

map_drive() {  # letter server share [folder...]
  letter=$1 server=$2 share=$3
  shift 3
  mkdir -p "$WINEPREFIX/shares/$server/$share" "$WINEPREFIX/dosdevices/unc/$server"
  ln -sfn "$WINEPREFIX/shares/$server/$share" "$WINEPREFIX/dosdevices/unc/$server/$share"
  target="unc/$server/$share"
  for folder in "$@"; do target="$target/$folder"; done
  mkdir -p "$WINEPREFIX/dosdevices/$target"
  ln -sfn "$target" "$WINEPREFIX/dosdevices/$letter:"
  wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d network /f /reg:64 >/dev/null 2>&1
}

repeat() { printf "%${2}s" | tr ' ' "$1"; }  # char count

case $action in
create)
  remove
  mkdir -p "$WINEPREFIX"
  wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1
  map_drive m fileserver public
  map_drive n fileserver public docs
  # A name component may have 255 bytes at most, so the long ones nest.
  a=$(repeat a 200)
  map_drive j fileserver long "$a" "$(repeat b 35)"
  map_drive k fileserver long "$a" "$(repeat b 36)"
  map_drive l fileserver long "$a" "$(repeat b 81)"
  map_drive u fileserver Öffentlich Bücher€
  # The mount manager reads the drive types at start; a warm server keeps later runs fast.
  wineserver -k
  wineserver -p60 </dev/null >/dev/null 2>&1
  ;;
remove) remove ;;
*) echo "usage: $0 create|remove DIR" >&2; exit 2 ;;
esac
