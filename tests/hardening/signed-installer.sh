#!/usr/bin/env bash
# Signs a packed installer as a packager does, after packing, with osslsigncode and a throw-away
# self-signed certificate (its key stays in OUT). Authenticode covers the payload: a changed payload
# byte breaks the signature. setupkit verifies and lists the signed installer as the unsigned one (the
# certificate table lies behind the payload, where the archive pass never reads) and refuses it as a
# stub. OUT/PebbleSetup.exe stays for the end-to-end install.
set -euo pipefail
setupkit=$1 installer=$2 out=$3
signed=$out/PebbleSetup.exe
fail() { echo "signed-installer: $*" >&2; exit 1; }
verified() { osslsigncode verify -CAfile "$out/cert.pem" -in "$1" 2>&1 | grep "Signature verification: ok" >/dev/null; }

rm -rf "$out" && mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup test signer" -keyout "$out/key.pem" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" -out "$out/cert.pem" >"$out/openssl.log" 2>&1 ||
  fail "openssl cannot make the certificate: $(cat "$out/openssl.log")"
osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Pebble Notes" -h sha256 -in "$installer" \
  -out "$signed" >"$out/sign.log" 2>&1 || fail "osslsigncode cannot sign: $(cat "$out/sign.log")"
verified "$signed" || fail "osslsigncode does not verify $signed"

magic=$(LC_ALL=C grep -obUaP '\xB6\x2C\xB6\x91' "$signed" | awk -F: '$1 >= 89999 { print $1; exit }')
[ -n "$magic" ] || fail "no payload magic in $signed"
# A copy with the byte just behind the magic inverted.
offset=$((magic + 16)) && byte=$(od -An -tu1 -j $offset -N1 "$signed") && cp "$signed" "$out/payload-changed.exe"
printf "\\$(printf '%03o' $((byte ^ 0xFF)))" | dd of="$out/payload-changed.exe" bs=1 seek=$offset conv=notrunc status=none
! verified "$out/payload-changed.exe" || fail "osslsigncode accepts a changed payload: it is not in the signed range"

"$setupkit" verify "$signed" >/dev/null || fail "setupkit verify fails on $signed"
"$setupkit" list "$signed" | diff <("$setupkit" list "$installer") - || fail "the signed installer lists other entries"

! "$setupkit" pack --stub "$signed" --out "$out/repacked.exe" --product-code PBN --from "$out" >"$out/pack.log" 2>&1 &&
  grep -q "is signed" "$out/pack.log" || fail "setupkit pack takes the signed installer as a stub: $(cat "$out/pack.log")"
echo "signed-installer: $signed verified by osslsigncode and setupkit, refused as a stub"
