#!/bin/sh
# install-deps.sh's decisions, run against stand-ins for apt-get, dpkg, dpkg-query, sudo and the
# kernel's probe: its status, the apt calls it makes, and what it says of 32-bit Wine.
set -u
work=$(mktemp -d) || exit 1  # the stand-ins must never land anywhere else
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/scripts"
ln -s "$(cd "$(dirname "$0")" && pwd)/install-deps.sh" "$work/scripts/"
# apt-get notes each call in brief, and refuses as apt does the calls that REFUSE (a glob) matches.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
note=$1
for word; do case $word in -t | cmake | wine32:i386) note="$note $word" ;; esac; done
echo "$note" >>"$CALLS"
case $note in $REFUSE) printf 'The following packages have unmet dependencies:\n stand-in : no\n' && exit 100 ;; esac
EOF
printf '#!/bin/sh\necho "dpkg $*" >>"$CALLS"\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"  # nothing is installed
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
failed=0
check() {  # the kernel probe's status, REFUSE, want: "status; calls; what is said of wine32"
  printf '#!/bin/sh\nexit %s\n' "$1" >"$work/scripts/kernel-runs-i386.sh"
  chmod +x "$work/bin/"* "$work/scripts/kernel-runs-i386.sh"
  rm -f "$work/calls"
  status=0
  PATH="$work/bin:$PATH" CALLS=$work/calls REFUSE=$2 "$work/scripts/install-deps.sh" \
    >"$work/out" 2>&1 || status=$?
  got="$status; $(paste -s -d ';' "$work/calls"); $(cat "$work/build/wine32-missing.txt" 2>/dev/null)"
  # A refusal that stops the set-up must end with apt's reason.
  [ "$status" = 0 ] || tail -n 1 "$work/out" | grep -q 'stand-in : no' || got="$got; no reason"
  [ "$got" = "$3" ] && echo "ok   $got" && return
  failed=1
  printf 'FAIL %s\nwant %s\n' "$got" "$3"
  sed 's/^/  | /' "$work/out"
}
i386="dpkg --add-architecture i386;update;install cmake wine32:i386;install -t cmake wine32:i386"
refused="wine32:i386 could not be installed: stand-in : no"
check 0 'install cmake wine32:i386' "0; $i386; "
check 0 '*wine32:i386' "0; $i386;install cmake; $refused"
check 0 'install*cmake*' "100; $i386;install cmake; $refused"
check 1 '*i386*' "0; update;install cmake; this kernel does not execute 32-bit programs"
exit $failed
