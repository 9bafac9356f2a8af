#!/usr/bin/env bash
# make demo: packs the sample product (examples/sample-product) with setupkit,
# once as a 32-bit installer (--arch x86) and once as a 64-bit one (--arch x64),
# and runs each under Wine in a fresh prefix (build/demo/prefix-x86, -x64).
# With a reachable display the installer opens for you; without one the dialog
# is driven on a virtual display by the project's automation (setup-drive):
# it installs into the proposed folder. Either way the script then prints what
# was installed: files, registry values and shortcuts. Then it runs the
# uninstaller that pack added, silently, as the system's list of installed
# programs names it, and prints what is left: nothing. The 32-bit installer
# lands in Program Files (x86) and the 32-bit registry view (WOW6432Node), the
# 64-bit one in Program Files and the 64-bit view. A host that cannot run
# 32-bit code shows the 64-bit installer only.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-env.sh
root=$PWD
demo=$root/build/demo
setupkit=$root/build/native/setupkit
mkdir -p "$demo/home"
export HOME="$demo/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

display_reachable() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1
    return
  fi
  case $DISPLAY in
    :*) local number=${DISPLAY#:}; [ -S "/tmp/.X11-unix/X${number%%.*}" ] ;;
    *) return 0 ;;  # a remote display: let Wine try it
  esac
}

windows_path() { echo "Z:${1//\//\\}"; }

# show_architecture x86|x64 BUILD: packs the sample with BUILD's stub, installs, shows, uninstalls.
show_architecture() {
  local arch=$1 build=$2
  local entries=$build/examples/sample-product/entries.txt drive=$build/tests/e2e/setup-drive.exe
  local installer=$demo/PebbleSetup-$arch.exe
  for needed in "$setupkit" "$build/setup.exe" "$entries" "$drive"; do
    [ -e "$needed" ] || { echo "demo: $needed is missing; run 'make build' first" >&2; exit 1; }
  done
  use_wine_for "$build/setup.exe"

  echo "== Packing the sample product as the $arch installer"
  echo "\$ setupkit pack --arch $arch --stub ${build#"$root"/}/setup.exe --entries entries.txt --product-code PBN \\"
  echo "      --window-class PebbleNotesWindow --main-program Pebble.exe --date 2021-06-15 --uninstaller \\"
  echo "      --out build/demo/PebbleSetup-$arch.exe"
  "$setupkit" pack --arch "$arch" --stub "$build/setup.exe" --entries "$entries" --product-code PBN \
    --window-class PebbleNotesWindow --main-program Pebble.exe --date 2021-06-15 --uninstaller --out "$installer"
  "$setupkit" list "$installer"
  "$setupkit" verify "$installer"

  echo "== A fresh Wine prefix"
  local template prefix=$demo/prefix-$arch
  template=$(bash scripts/wine-template.sh "$demo/wine-$arch")
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  export WINEPREFIX=$prefix
  echo "$prefix"

  shot=$demo/setup-dialog-$arch.png
  bitmap=$demo/setup-dialog-$arch.bmp
  rm -f "$shot" "$bitmap"

  if display_reachable; then
    echo "== Opening the installer on $DISPLAY: install, or cancel, and close it to see what was installed"
    # A real desktop has a window manager: let it manage the windows again.
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
    wine "$installer" || true
    wineserver -w
  else
    echo "== No display: driving the dialog on a virtual display"
    xvfb-run -a -s '-screen 0 1024x768x24' bash -c \
      'wine "$1" start "$2" dialog dump shot "$3" press 99 message answer wait-exit; status=$?; wineserver -w; exit $status' \
      _ "$drive" "$(windows_path "$installer")" "$(windows_path "$bitmap")"
  fi

  # A 32-bit installer on 64-bit Wine lands in "Program Files (x86)" and the 32-bit registry view, as on 64-bit
  # Windows; `wine reg` runs with the installer's loader, so it reads the view the installer wrote.
  destination="$prefix/drive_c/Program Files/Pebble Notes"
  [ "$arch" = x64 ] || [ ! -d "$prefix/drive_c/Program Files (x86)" ] ||
    destination="$prefix/drive_c/Program Files (x86)/Pebble Notes"
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pebble Notes'

  # What the installation put on the machine: files, registry values, shortcuts.
  show_installation() {
    echo "== $1 files"
    if [ -d "$destination" ]; then
      (cd "$destination" && ls -l --time-style=+'%Y-%m-%d %H:%M' | tail -n +2)
    else
      echo "(none: $destination does not exist)"
    fi

    echo "== Registry values"
    local key values
    # The maker's key as the stub was configured (cmake/maker-identity.cmake).
    local maker_key
    maker_key=$(sed -n 's/^SETUP_MAKER_KEY:STRING=//p' "$build/CMakeCache.txt")
    for key in "HKCU\\$maker_key" "$uninstall_key"; do
      if values=$(wine reg query "$key" 2>/dev/null); then
        echo "$values" | tr -d '\r' | grep -v '^$'
      else
        echo "(no key $key)"
      fi
    done

    echo "== Shortcuts"
    local found=0 link target
    while IFS= read -r -d '' link; do
      # The target path is stored in the shortcut as plain text.
      target=$(tr -c '[:print:]' '\n' <"$link" | grep -m1 -E '^[A-Z]:\\' || true)
      echo "${link#"$prefix"/} -> $target"
      found=1
    done < <(find "$prefix/drive_c" -name '*.lnk' -path '*Pebble*' -print0)
    [ "$found" = 1 ] || echo "(none)"
  }

  show_installation Installed

  # The command a deployment tool runs to remove the product without questions: the
  # quoted uninstaller and /S.
  command=$(wine reg query "$uninstall_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *QuietUninstallString *REG_SZ *//p' || true)
  if [ -n "$command" ]; then
    echo "== Uninstalling: $command"
    program=${command#\"}
    program=${program%%\"*}
    status=0
    wine "$program" /S || status=$?
    # The uninstaller's copy in the temporary folder removes it once it has ended.
    wineserver -w
    echo "exit code $status"
    show_installation "Remaining"
  fi

  wineserver -k 2>/dev/null || true
  if [ -f "$bitmap" ]; then
    # The automation writes BMPs; ImageMagick makes a small PNG of it.
    if command -v convert >/dev/null 2>&1 && convert "$bitmap" -strip "$shot"; then rm "$bitmap"; else shot=$bitmap; fi
    echo "== Screenshot of the dialog: $shot"
  fi
}

if why=$(host_runs_i386); then
  show_architecture x86 "$root/build/mingw"
else
  echo "demo: this host cannot run 32-bit code ($why): showing the 64-bit installer only"
fi
# The 64-bit installer's environment (its loader) stays for the rest: it comes last.
show_architecture x64 "$root/build/mingw64"
