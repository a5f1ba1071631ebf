#!/bin/sh
# install-deps.sh's decisions, run against stand-ins for apt-get, dpkg, dpkg-query and the
# kernel's probe: the apt calls it makes, its status, and what it says of 32-bit Wine.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/scripts"
ln -s "$(cd "$(dirname "$0")" && pwd)/install-deps.sh" "$work/scripts/"
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/bin/sh
# Notes the call in brief, and refuses it as apt does where REFUSE (a glob) matches the note.
note=$1
for word; do case $word in -t | cmake | wine32:i386) note="$note $word" ;; esac; done
echo "$note" >>"$CALLS"
case $note in $REFUSE) printf 'The following packages have unmet dependencies:\n stand-in : no\n' && exit 100 ;; esac
STAND_IN
printf '#!/bin/sh\necho "dpkg $*" >>"$CALLS"\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"  # nothing is installed
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*
failed=0
check() {  # kernel's probe status, REFUSE, want status, want calls, want said of wine32
  printf '#!/bin/sh\nexit %s\n' "$1" >"$work/scripts/kernel-runs-i386.sh"
  chmod +x "$work/scripts/kernel-runs-i386.sh"
  rm -rf "$work/build" "$work/calls"
  status=0
  PATH="$work/bin:$PATH" CALLS=$work/calls REFUSE=$2 "$work/scripts/install-deps.sh" \
    >"$work/out" 2>&1 || status=$?
  calls=$(paste -s -d ';' "$work/calls") said=$(cat "$work/build/wine32-missing.txt" 2>/dev/null)
  # A refusal that stops the set-up must end with apt's reason.
  if [ "$status" = "$3" ] && [ "$calls" = "$4" ] && [ "$said" = "$5" ] &&
    { [ "$status" = 0 ] || tail -n 1 "$work/out" | grep -q 'stand-in : no'; }; then
    echo "ok   refusing [$2]: status $status; $calls"
  else
    failed=1
    printf 'FAIL refusing [%s]: status %s (want %s)\n  calls %s\n  want  %s\n  said [%s] want [%s]\n' \
      "$2" "$status" "$3" "$calls" "$4" "$said" "$5"
    sed 's/^/  | /' "$work/out"
  fi
}
i386="dpkg --add-architecture i386;update;install cmake wine32:i386"
check 0 'install cmake wine32:i386' 0 "$i386;install -t cmake wine32:i386" ""
check 0 '*wine32:i386' 0 "$i386;install -t cmake wine32:i386;install cmake" \
  "wine32:i386 could not be installed: stand-in : no"
check 0 'install*cmake*' 100 "$i386;install -t cmake wine32:i386;install cmake" \
  "wine32:i386 could not be installed: stand-in : no"
check 1 '*i386*' 0 "update;install cmake" "this kernel does not execute 32-bit programs"
exit $failed
