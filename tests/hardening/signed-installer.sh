#!/usr/bin/env bash
# Signs both programs as a release pipeline does, with osslsigncode and a throw-away self-signed
# certificate (its key stays in OUT): the uninstaller written by `setupkit uninstaller` and signed, put
# into the product as UnInst.exe, the product packed (--strict: the trailer matches it) and the
# installer signed after packing. Authenticode covers the payload: a changed payload byte breaks the
# signature. setupkit verifies and lists the signed installer as the one packed with --uninstaller (the
# certificate table lies behind the payload, where the archive pass never reads; the uninstaller's
# trailer is read in front of its own signature) and refuses it as a stub. The uninstaller extracted
# from the installer still verifies. OUT/PebbleSetup.exe and its plan stay for the end-to-end tests.
set -euo pipefail
setupkit=$1 installer=$2 out=$3 uninst=$4 entries=$5
signed=$out/PebbleSetup.exe
fail() { echo "signed-installer: $*" >&2; exit 1; }
verified() { osslsigncode verify -CAfile "$out/cert.pem" -in "$1" 2>&1 | grep "Signature verification: ok" >/dev/null; }

rm -rf "$out" && mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup test signer" -keyout "$out/key.pem" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" -out "$out/cert.pem" >"$out/openssl.log" 2>&1 ||
  fail "openssl cannot make the certificate: $(cat "$out/openssl.log")"
sign() {
  osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Pebble Notes" -h sha256 -in "$1" -out "$2" \
    >"$out/sign.log" 2>&1 || fail "osslsigncode cannot sign $1: $(cat "$out/sign.log")"
  verified "$2" || fail "osslsigncode does not verify $2"
}
identity=(--product-code PBN --window-class PebbleNotesWindow --main-program Pebble.exe)

"$setupkit" uninstaller "${identity[@]}" --entries "$entries" --uninstaller-program "$uninst" \
  --out "$out/UnInst-unsigned.exe" >"$out/uninstaller.log" 2>&1 ||
  fail "setupkit uninstaller fails: $(cat "$out/uninstaller.log")"
sign "$out/UnInst-unsigned.exe" "$out/UnInst.exe"
# The sample's list (its sources are absolute paths) with the signed uninstaller added.
cp "$entries" "$out/entries.txt"
printf 'UnInst.exe\t%s\n' "$out/UnInst.exe" >>"$out/entries.txt"
"$setupkit" pack "${identity[@]}" --entries "$out/entries.txt" --date 2021-06-15 --strict \
  --stub "$(dirname "$uninst")/setup.exe" --out "$out/PebbleSetup-unsigned.exe" >"$out/pack.log" 2>&1 ||
  fail "setupkit pack refuses the product with its signed uninstaller: $(cat "$out/pack.log")"
sign "$out/PebbleSetup-unsigned.exe" "$signed"
"$setupkit" extract "$signed" "$out/extracted" >/dev/null
verified "$out/extracted/UnInst.exe" || fail "the uninstaller extracted from $signed does not verify"

magic=$(LC_ALL=C grep -obUaP '\xB6\x2C\xB6\x91' "$signed" | awk -F: '$1 >= 89999 { print $1; exit }')
[ -n "$magic" ] || fail "no payload magic in $signed"
# A copy with the byte just behind the magic inverted.
offset=$((magic + 16)) && byte=$(od -An -tu1 -j $offset -N1 "$signed") && cp "$signed" "$out/payload-changed.exe"
printf "\\$(printf '%03o' $((byte ^ 0xFF)))" | dd of="$out/payload-changed.exe" bs=1 seek=$offset conv=notrunc status=none
! verified "$out/payload-changed.exe" || fail "osslsigncode accepts a changed payload: it is not in the signed range"

"$setupkit" verify "$signed" >/dev/null || fail "setupkit verify fails on $signed"
# What the end-to-end install compares with: the signed uninstaller's size counts in the uninstall entry.
"$setupkit" plan "$signed" --dest 'C:\Apps\Pebble Notes' --json >"$out/SamplePlan.json" || fail "setupkit plan fails on $signed"
# Only the uninstaller's size differs, by its signature, and with it the total.
listed() { "$setupkit" list "$1" | grep -v -e ' UnInst.exe$' -e '^entries '; }
listed "$signed" | diff <(listed "$installer") - ||
  fail "the signed installer lists other entries or another uninstaller"

! "$setupkit" pack --stub "$signed" --out "$out/repacked.exe" --product-code PBN --from "$out" >"$out/pack.log" 2>&1 &&
  grep -q "is signed" "$out/pack.log" || fail "setupkit pack takes the signed installer as a stub: $(cat "$out/pack.log")"
echo "signed-installer: $signed and its uninstaller verified by osslsigncode and setupkit, refused as a stub"
