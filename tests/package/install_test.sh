#!/usr/bin/env bash
# A staged `make install` and the Debian package hold the tool, this tree's 32-bit stubs and the 64-bit ones the
# native tree ships (SETUP_SHIPPED_STUBS_X64 in its cache); the installed tool packs with them without --stub, by
# --arch, and a copy away from share/ names the stub it did not find.
#   install_test.sh NATIVE_BUILD_DIR SETUP_EXE UNINST_EXE
set -euo pipefail
native=$1 setup=$2 uninst=$3 work=$(mktemp -d)
x64=$(sed -n 's/^SETUP_SHIPPED_STUBS_X64:PATH=//p' "$native/CMakeCache.txt")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
DESTDIR=$work/root cmake --install "$native" --prefix /opt/sk >/dev/null
(cd "$native" && cpack -G DEB -B "$work/deb" >/dev/null) && dpkg-deb -x "$work"/deb/setupkit_*.deb "$work/deb"
for share in "$work/root/opt/sk/share/setupkit" "$work/deb/usr/share/setupkit"; do
  cmp "$setup" "$share/setup.exe" && cmp "$uninst" "$share/uninst.exe" || fail "$share: not this tree's stubs"
  cmp "$x64/setup.exe" "$share/x64/setup.exe" && cmp "$x64/uninst.exe" "$share/x64/uninst.exe" ||
    fail "$share/x64: not the 64-bit stubs of $x64"
done
[ -x "$work/deb/usr/bin/setupkit" ] || fail "the package has no usr/bin/setupkit"
mkdir "$work/product" "$work/bin" && printf 'Zq Tool v1\r\n' >"$work/product/FILE_ID.DIZ" && printf 'MZ' >"$work/product/EZq.exe"
"$work/root/opt/sk/bin/setupkit" pack --out "$work/setup.exe" --product-code ZQT --from "$work/product" --uninstaller
cmp -n "$(stat -c %s "$setup")" "$setup" "$work/setup.exe" || fail "the installer does not start with the installed stub"
"$work/root/opt/sk/bin/setupkit" list "$work/setup.exe" | grep -q 'UnInst.exe' || fail "no uninstaller in the installer"
"$work/root/opt/sk/bin/setupkit" pack --arch x64 --out "$work/setup64.exe" --product-code ZQT --from "$work/product" \
  --uninstaller >/dev/null
cmp -n "$(stat -c %s "$x64/setup.exe")" "$x64/setup.exe" "$work/setup64.exe" || fail "--arch x64 did not take the 64-bit stub"
"$work/root/opt/sk/bin/setupkit" list "$work/setup64.exe" | grep -q '^architecture  x64$' || fail "not listed as x64"
cp "$work/root/opt/sk/bin/setupkit" "$work/bin/setupkit"
! "$work/bin/setupkit" pack --out "$work/x.exe" --product-code ZQT --from "$work/product" 2>"$work/err" || fail "found a stub"
grep -qF "no stub is installed with setupkit ($work/share/setupkit/setup.exe)" "$work/err" || fail "$(cat "$work/err")"
