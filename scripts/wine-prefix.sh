#!/bin/sh
# create DIR: a throwaway Wine prefix with real network drives, a wineserver kept warm, and
# DIR/drives.tsv, the drive table the end-to-end driver reads (tests/driver/e2e.cc says how):
#   m: -> \\fileserver\public          n: -> \\fileserver\public\docs
#   j:, k:, l: -> \\fileserver\long\<200 a>\<35, 36, 81 b>: UNC forms of 254, 255 and 300 bytes
#   u: -> \\fileserver\Öffentlich\Bücher€: non-ASCII names (code page 1252 under LC_ALL=C.UTF-8)
#   create ends only when Wine answers each mapped letter as the table says (settle).
# settle DIR [SECONDS]: waits, 30 s at most, until it does; else fails naming the letter.
# remove DIR: stops that prefix's wineserver (and no other) and deletes it.
# run DIR COMMAND... (from the top folder): installs what is missing, builds every file, then
#   runs COMMAND in such a prefix, made first and removed afterwards, with the files this
#   host's Wine runs (choose_build says how).
set -eu
action=$1
WINEPREFIX=$(realpath -m "$2")
export WINEPREFIX
set -a && . "$(dirname "$0")/wine.env" && set +a  # exported, as Wine reads it
table=$WINEPREFIX/drives.tsv
# The plain lookup, x64 under the 64-bit loader, which every host here runs.
naive=$(dirname "$0")/../build/windows/x64/tests/driver/naive_lookup.exe wine64=$WINELOADER

remove() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

# What mapcue must answer for the letter: 0 the path, 1 ERROR_NOT_CONNECTED, * either that
# or a line of junk, which Wine's mpr gives for a name of 256 bytes or more. Every drive is
# required here, so none is written as not made (~, which skips its cases): a drive that cannot
# be made stops the set-up.
map_drive() {  # letter answer server share [folder...]
  letter=$1 answer=$2 server=$3 share=$4
  shift 4
  mkdir -p "$WINEPREFIX/shares/$server/$share" "$WINEPREFIX/dosdevices/unc/$server"
  ln -sfn "$WINEPREFIX/shares/$server/$share" "$WINEPREFIX/dosdevices/unc/$server/$share"
  target="unc/$server/$share" unc="\\\\$server\\$share"
  for folder in "$@"; do target="$target/$folder" unc="$unc\\$folder"; done
  mkdir -p "$WINEPREFIX/dosdevices/$target"
  ln -sfn "$target" "$WINEPREFIX/dosdevices/$letter:"
  "$WINELOADER" reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d network /f /reg:64 >/dev/null 2>&1
  # The table holds bytes as mapcue prints them: in the ANSI code page.
  printf '%s\t%s\t%s\n' "$letter" "$answer" "$unc" | iconv -f UTF-8 -t CP1252 >>"$table"
}

repeat() { printf "%${2}s" | tr ' ' "$1"; }  # char count

create() {
  remove
  mkdir -p "$WINEPREFIX"
  "$WINELOADER" wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1 || {
    echo "wineboot failed; $WINEPREFIX/wineboot.log ends:" >&2
    tail -n 5 "$WINEPREFIX/wineboot.log" >&2
    exit 1
  }
  echo "# letter, answer, remote name; made by scripts/wine-prefix.sh" >"$table"
  map_drive m 0 fileserver public
  map_drive n 0 fileserver public docs
  # A name component may have 255 bytes at most, so the long ones nest.
  a=$(repeat a 200)
  map_drive j 0 fileserver long "$a" "$(repeat b 35)"
  map_drive k 1 fileserver long "$a" "$(repeat b 36)"
  map_drive l '*' fileserver long "$a" "$(repeat b 81)"
  map_drive u 0 fileserver Öffentlich Bücher€
  # The mount manager reads the drive types at start; a warm server keeps later runs fast.
  wineserver -k
  wineserver -p60 </dev/null >/dev/null 2>&1
  settle 30
}

# The mount manager starts in the background and tells Wine which drives are network ones: until
# it has, a mapped letter may answer as a local disk. Every letter the table maps must answer its
# path to WNetGetConnectionA before anything runs.
settle() {  # seconds
  deadline=$(($(date +%s) + $1)) out=$WINEPREFIX/settle.out
  [ -s "$table" ] || { echo "no drive table in $WINEPREFIX" >&2 && exit 1; }
  LC_ALL=C awk -F '\t' '$2 == "0" { print $1 "\t" $3 }' "$table" |
    while IFS=$(printf '\t') read -r letter want; do
      until "$wine64" "$naive" "$letter:" </dev/null >"$out" 2>>"$WINEPREFIX/wine-stderr.log" &&
        [ "$(cat "$out")" = "$want" ]; do
        if [ "$(date +%s)" -ge "$deadline" ]; then
          printf "the prefix's %s: should be %s; Wine gave [%s]\n" "$letter" "$want" \
            "$(cat "$out")" >&2
          exit 1
        fi
        sleep 1
      done
    done
}

# The files this host's Wine runs, as the windows build's configure found them: each file's
# sentence said; MAPCUE_EXE and WINELOADER the first that runs and its loader, MAPCUE_BUILDS
# the whole list.
choose_build() {
  MAPCUE_BUILDS=$PWD/build/windows/wine-builds.txt
  cut -f 3 "$MAPCUE_BUILDS"
  first=$(awk -F '\t' '$2 != "-" { print $1 "\t" $2; exit }' "$MAPCUE_BUILDS")
  [ -n "$first" ] || { echo "no Wine can run a mapcue file here" >&2; exit 1; }
  MAPCUE_EXE=$(echo "$first" | cut -f 1) WINELOADER=$(echo "$first" | cut -f 2)
  export MAPCUE_EXE WINELOADER MAPCUE_BUILDS
}

case $action in
create) create ;;
settle) settle "${3:-30}" ;;
remove) remove ;;
run)
  shift 2
  scripts/install-deps.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows >/dev/null
  choose_build
  echo "preparing a Wine prefix with network drives (the first time takes a while)..."
  create
  trap remove EXIT
  "$@"
  ;;
*) echo "usage: $0 create|remove DIR, settle DIR [SECONDS], or run DIR COMMAND..." >&2; exit 2 ;;
esac
