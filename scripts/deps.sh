#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need; only what is missing.
# Idempotent and non-interactive, so CI and a fresh machine run it every time.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  lzma-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb xauth
  libgtest-dev googletest
  imagemagick osslsigncode openssl
  xz-utils
  clang libclang-rt-14-dev llvm
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
  updated=
else
  updated=no
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ -z "$updated" ] || ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
  sudo_ apt-get update -qq
  sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
