#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when something is missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
      qt6-base-dev libhidapi-dev libudev-dev
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      nlohmann-json3-dev libcli11-dev fonts-wqy-microhei)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
