#!/usr/bin/env bash
# Installs the peers `make bench` measures against (7zz, makensis, xz) and the Wine
# its silent install runs under (the 64-bit loader; the 32-bit one comes with
# scripts/deps.sh); only what is missing. Idempotent and non-interactive.
set -euo pipefail

packages=(xz-utils 7zip nsis wine wine64)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bench-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Try without refreshing the package lists first: a fresh machine may not need it.
if ! sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
  sudo_ apt-get update -qq
  sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
