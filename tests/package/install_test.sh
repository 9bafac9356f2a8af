#!/usr/bin/env bash
# What `make install` and `make package` ship, checked from a staged install of
# the native tree: the tool and this tree's stubs, pack taking the installed
# stubs without --stub (and not from anywhere else), and the Debian package.
#   install_test.sh NATIVE_BUILD_DIR SETUP_EXE UNINST_EXE
set -euo pipefail
native=$1 setup=$2 uninst=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$work/root cmake --install "$native" --prefix /opt/sk >/dev/null
tool=$work/root/opt/sk/bin/setupkit
cmp "$setup" "$work/root/opt/sk/share/setupkit/setup.exe" || fail "installed setup.exe is not $setup"
cmp "$uninst" "$work/root/opt/sk/share/setupkit/uninst.exe" || fail "installed uninst.exe is not $uninst"

mkdir "$work/product"
printf 'Zq Tool v1\r\n' >"$work/product/FILE_ID.DIZ"
printf 'MZ' >"$work/product/EZq.exe"
"$tool" pack --out "$work/setup.exe" --product-code ZQT --from "$work/product" --uninstaller >/dev/null
cmp -n "$(stat -c %s "$setup")" "$setup" "$work/setup.exe" || fail "the installer does not start with the installed stub"
"$tool" list "$work/setup.exe" | grep -q 'UnInst.exe' || fail "no uninstaller from the installed uninst.exe"
"$tool" verify "$work/setup.exe" >/dev/null || fail "verify refused the installer"

# Moved away from its share/ folder, the tool finds no stub and says where it looked.
mkdir "$work/bin" && cp "$tool" "$work/bin/setupkit"
if "$work/bin/setupkit" pack --out "$work/x.exe" --product-code ZQT --from "$work/product" 2>"$work/err"; then
  fail "pack found a stub that is not installed"
fi
grep -q "no stub is installed with setupkit ($work/share/setupkit/setup.exe)" "$work/err" || fail "$(cat "$work/err")"

(cd "$native" && cpack -G DEB -B "$work/deb" >/dev/null)
dpkg-deb -x "$work"/deb/setupkit_*.deb "$work/unpacked"
cmp "$setup" "$work/unpacked/usr/share/setupkit/setup.exe" || fail "the package's setup.exe is not $setup"
cmp "$uninst" "$work/unpacked/usr/share/setupkit/uninst.exe" || fail "the package's uninst.exe is not $uninst"
[ -x "$work/unpacked/usr/bin/setupkit" ] || fail "the package has no usr/bin/setupkit"
echo "install and package: ok"
