#!/bin/sh
# install-deps.sh's decisions, run against stand-ins for apt-get, dpkg, dpkg-query, id, sudo and
# the kernel's probe: its status, the apt calls it makes, and what it says of 32-bit Wine.
set -u
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}") || exit 1
work=$(mktemp -d) || exit 1  # the stand-ins must never land anywhere else
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/scripts" && : >"$work/bin/npm"  # the lint's, from elsewhere
ln -s "$(cd "$(dirname "$0")" && pwd)/install-deps.sh" "$work/scripts/"
# apt-get notes each call in brief (its long options only where they are not the two it must
# have), and refuses as apt does the calls that REFUSE (a glob) matches.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
note=$1 options=""
while shift && [ $# -gt 0 ]; do
  case $1 in -t) note="$note -t $2" ;; cmake | wine32:i386) note="$note $1" ;; --*) options="$options $1" ;; esac
done
[ "$note" = update ] || [ "$options" = " --no-install-recommends --no-remove" ] || note="$note$options"
echo "$note" >>"$CALLS"
case $note in $REFUSE) printf 'The following packages have unmet dependencies:\n stand-in : no\n' && exit 100 ;; esac
EOF
printf '#!/bin/sh\necho "dpkg $*" >>"$CALLS"\n' >"$work/bin/dpkg"
printf '#!/bin/sh\ncase $3 in $MISSING) exit 1 ;; esac\necho install ok installed\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\n[ "$WHO" != root ] || exec echo 0\necho 1000\n' >"$work/bin/id"
# WHO: root, user (with a sudo that lets it) or nosudo (a sudo that refuses, and notes the call).
printf '#!/bin/sh\n[ "$WHO" = user ] || { echo "sudo $*" >>"$CALLS"; exit 1; }\n[ "$1" != -n ] || shift\nexec "$@"\n' >"$work/bin/sudo"
failed=0
check() {  # [again: build/ as the row before left it] probe's status, MISSING, WHO, REFUSE, want
  if [ "$1" = again ]; then shift; else rm -rf "$work/build"; fi
  printf '#!/bin/sh\n[ %s = 0 ] || { echo "%s"; exit 1; }\n' "$1" "$kernel" >"$work/scripts/kernel-runs-i386.sh"
  chmod +x "$work/bin/"* "$work/scripts/kernel-runs-i386.sh"
  : >"$work/calls"
  PATH="$work/bin:$PATH" CALLS=$work/calls MISSING=$2 WHO=$3 REFUSE=$4 \
    "$work/scripts/install-deps.sh" </dev/null >"$work/out" 2>&1
  status=$?
  got="$status; $(paste -s -d ';' "$work/calls"); $(cat "$work/build/wine32-missing.txt" 2>/dev/null)"
  # A run that stops must end with its reason.
  [ "$status" = 0 ] || got="$got; $(sed -n '$s/^ *//p' "$work/out")"
  [ "$got" = "$5" ] && echo "ok   $got" && return
  failed=1
  printf 'FAIL %s\nwant %s\n' "$got" "$5"
  sed 's/^/  | /' "$work/out"
}
i386="dpkg --add-architecture i386;update;install cmake wine32:i386;install -t $codename cmake wine32:i386"
refused="wine32:i386 could not be installed: stand-in : no"
kernel="this kernel does not execute 32-bit programs"
#     probe missing    who    apt refuses                 status; apt calls; word on wine32[; last line]
check 0 '*'         root   'install cmake wine32:i386' "0; $i386; "
check 0 '*'         root   '*wine32:i386'              "0; $i386;install cmake; $refused"
check again 0 wine32:i386 user '*'                     "0; ; $refused"  # not asked again
check 0 '*'         user   'install*cmake*'            "100; $i386;install cmake; $refused; stand-in : no"
check 1 '*'         root   '*i386*'                    "0; update;install cmake; $kernel"
# Without root or sudo: nothing asked of apt; only what the build needs stops the set-up.
check 0 ''          nosudo '*' "0; ; "
check 0 wine32:i386 nosudo '*' "0; sudo -n true; wine32:i386 is not installed, and installing needs root or sudo"
check 1 wine32:i386 nosudo '*' "0; ; $kernel"
check 0 cmake       nosudo '*' "1; sudo -n true; ; installing these needs root or sudo: cmake"
exit $failed
