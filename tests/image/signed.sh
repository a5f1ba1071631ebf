#!/bin/sh
# Each file signed as a signing service would, with a throwaway certificate made here: it must
# verify, and no longer once a byte of its code changes. Packed from the signed files, the
# release must find each to be the built one once its signature is off; a file changed after
# signing must stop it, named. OUT keeps the signed files (signed/win-ARCH/FILE) for the checks
# that run them. usage: signed.sh OUT VERSION EXE...
set -eu
out=$1 version=$2
shift 2
pack=$(dirname "$0")/../../scripts/pack-release.sh
rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/key.pem" -out "$out/cert.pem" -days 1 \
  -subj '/CN=mapcue throwaway' -addext extendedKeyUsage=codeSigning 2>/dev/null
verify() { osslsigncode verify -CAfile "$out/cert.pem" -in "$1" >"$out/verify.txt" 2>&1; }
status=0
for exe; do
  win=win-$(basename "$(dirname "$exe")") name=$(basename "$exe")
  mkdir -p "$out/signed/$win" "$out/tested/$win"
  cp "$exe" "$out/tested/$win/"
  signed=$out/signed/$win/$name
  osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -in "$exe" -out "$signed" >/dev/null
  # The first byte of .text, changed after signing.
  at=$(/usr/bin/python3 -c 'import pefile, sys
print(pefile.PE(sys.argv[1]).sections[0].PointerToRawData)' "$signed")
  cp "$signed" "$out/$name"
  printf '\377' | dd of="$out/$name" bs=1 seek="$at" conv=notrunc 2>/dev/null
  verify "$signed" && ! verify "$out/$name" || { echo "FAIL $name: signature" && status=1; }
  echo "$name: $(wc -c <"$signed") bytes signed; verified, and refused with .text changed"
done
# As the release job packs them: for a repository, whose manifests name it.
export MAPCUE_TESTED="$out/tested" MAPCUE_SIGNED="$out/signed" GITHUB_REPOSITORY=owner/mapcue
"$pack" "$version" "$out/dist" "$@" >"$out/pack.txt" || status=1
tail -n 2 "$out/pack.txt"
# The last file changed after signing, in the zip in its place.
mv "$signed" "$out/good.exe"
cp "$out/$name" "$signed"
"$pack" "$version" "$out/changed" "$@" 2>&1 | grep "FAIL $name in the zip is not what" ||
  { echo "FAIL a file changed after signing was released" && status=1; }
mv "$out/good.exe" "$signed"
exit $status
