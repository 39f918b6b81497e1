#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when one is missing.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
      libbenchmark-dev libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev
      clang lld libclang-rt-14-dev libcairo2-dev libpango1.0-dev fonts-dejavu-core fonts-liberation2
      fonts-noto-cjk g++-mingw-w64-i686 binutils-mingw-w64-i686 ccache python3)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
