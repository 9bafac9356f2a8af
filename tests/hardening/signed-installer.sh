#!/usr/bin/env bash
# Signs a packed installer as a packager does, after packing, with osslsigncode
# and a throw-away self-signed code-signing certificate made here by openssl
# (its key stays in OUT), then checks:
# - osslsigncode verifies the signature: Authenticode hashes the payload, which
#   lies before the certificate table, so changing one payload byte breaks it;
# - the payload did not move, and setupkit verifies, lists and extracts the
#   signed installer as the unsigned one; with a byte of the certificate table
#   changed too, since the archive pass never reads past its stream;
# - setupkit pack refuses the signed installer, and a signed bare stub, as stubs.
# The signed installer stays in OUT/PebbleSetup.exe for the end-to-end install.
#
#   signed-installer.sh SETUPKIT STUB INSTALLER ENTRIES OUT
set -euo pipefail

setupkit=$1
stub=$2
installer=$3
entries=$4
out=$5
signed="$out/PebbleSetup.exe"

fail() {
  echo "signed-installer: $*" >&2
  exit 1
}

# Little-endian 32-bit value at a byte offset.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# Inverts the byte at an offset, in place.
flip() {
  local value
  value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $((value ^ 0xFF)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

sign() {
  osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Pebble Notes" -h sha256 -in "$1" -out "$2" \
    >>"$out/osslsigncode.log" 2>&1 || { cat "$out/osslsigncode.log"; fail "osslsigncode cannot sign $1"; }
}

# osslsigncode's verdict on a file, trusting only the throw-away certificate.
signature_ok() { osslsigncode verify -CAfile "$out/cert.pem" -in "$1" >"$out/verify.log" 2>&1; }

rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup test signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$out/key.pem" -out "$out/cert.pem" >"$out/openssl.log" 2>&1 ||
  { cat "$out/openssl.log"; fail "openssl cannot make the certificate"; }
sign "$installer" "$signed"

signature_ok "$signed" || { cat "$out/verify.log"; fail "osslsigncode does not verify $signed"; }
grep -q "Signature verification: ok" "$out/verify.log" || { cat "$out/verify.log"; fail "no verified signature"; }

# The certificate table (security directory entry of the PE32 optional header)
# starts behind the whole unsigned installer.
size=$(stat -c %s "$installer")
optional=$(($(u32 "$signed" 60) + 24))
table=$(u32 "$signed" $((optional + 128)))
table_size=$(u32 "$signed" $((optional + 132)))
[ "$table" -ge "$size" ] && [ $((table + table_size)) -eq "$(stat -c %s "$signed")" ] ||
  fail "certificate table at $table ($table_size bytes) is not behind the $size-byte installer"
# Signing changed nothing before it but the header's checksum and that entry.
while read -r offset _; do
  offset=$((offset - 1))
  if ! { [ "$offset" -ge $((optional + 64)) ] && [ "$offset" -lt $((optional + 68)) ]; } &&
     ! { [ "$offset" -ge $((optional + 128)) ] && [ "$offset" -lt $((optional + 136)) ]; }; then
    fail "signing changed byte $offset of the installer"
  fi
done < <(cmp -l "$installer" <(head -c "$size" "$signed") || true)

"$setupkit" verify "$signed" >"$out/setupkit.log" 2>&1 || { cat "$out/setupkit.log"; fail "setupkit verify fails"; }
"$setupkit" list "$installer" >"$out/list-unsigned.txt"
"$setupkit" list "$signed" >"$out/list-signed.txt" || fail "setupkit list fails"
diff "$out/list-unsigned.txt" "$out/list-signed.txt" || fail "the signed installer lists other entries"
"$setupkit" extract "$signed" "$out/extracted" >>"$out/setupkit.log" 2>&1 ||
  { cat "$out/setupkit.log"; fail "setupkit extract fails"; }
count=0
while IFS=$'\t' read -r name source; do
  [ -n "$name" ] || continue
  cmp -s "$source" "$out/extracted/${name//\\//}" || fail "extracted $name differs from $source"
  count=$((count + 1))
done <"$entries"
[ "$count" -gt 0 ] || fail "no entries in $entries"

# A changed byte in the certificate table: the signature breaks, the archive does not.
cp "$signed" "$out/table-changed.exe"
flip "$out/table-changed.exe" $((table + table_size / 2))
! signature_ok "$out/table-changed.exe" || fail "osslsigncode accepts a changed certificate table"
"$setupkit" verify "$out/table-changed.exe" >>"$out/setupkit.log" 2>&1 ||
  { cat "$out/setupkit.log"; fail "setupkit verify reads the certificate table"; }

# A changed byte in the payload, just behind its magic: the signature breaks.
magic=$(LC_ALL=C grep -obUaP '\xB6\x2C\xB6\x91' "$signed" | awk -F: '$1 >= 89999 { print $1; exit }')
[ -n "$magic" ] || fail "no payload magic in $signed"
cp "$signed" "$out/payload-changed.exe"
flip "$out/payload-changed.exe" $((magic + 16))
! signature_ok "$out/payload-changed.exe" || fail "osslsigncode accepts a changed payload: it is not in the signed range"

# Signed files are no stubs.
refused() {
  if "$setupkit" pack --stub "$1" --out "$out/repacked.exe" --product-code PBN --from "$out/extracted" \
       >"$out/pack.log" 2>&1; then
    fail "setupkit pack takes the signed $1 as a stub"
  fi
  grep -q "is signed" "$out/pack.log" || { cat "$out/pack.log"; fail "setupkit pack refuses $1 for another reason"; }
  [ ! -e "$out/repacked.exe" ] || fail "setupkit pack wrote an installer from the signed $1"
}
refused "$signed"
sign "$stub" "$out/setup-signed.exe"
refused "$out/setup-signed.exe"

echo "signed-installer: $signed verified by osslsigncode and setupkit ($count entries);" \
     "certificate table at $table behind the payload; signed stubs refused"
