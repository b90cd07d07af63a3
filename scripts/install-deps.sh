#!/usr/bin/env bash
# Installs every Debian package Kartoplot needs to build, test and run, and
# generates the two locales the number tests use. Safe to run again: it only
# installs what is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

PACKAGES=(
  cmake ninja-build g++ make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  qt6-base-dev qt6-svg-dev libqt6svg6-dev libgl-dev
  libgdal-dev gdal-bin
  zlib1g-dev  # PNG files compressed in bands
  fonts-liberation fonts-dejavu-core
  locales
  xvfb xauth
  clang libclang-rt-14-dev libfuzzer-14-dev  # the fuzz build (make fuzz)
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "install-deps: all packages present"
fi

# Locales used by the decimal-separator tests and by Russian users.
need_gen=0
for loc in ru_RU.UTF-8 en_US.UTF-8; do
  norm=$(echo "$loc" | tr 'A-Z' 'a-z' | sed 's/-//g')
  if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/-//g' | grep -qx "$norm"; then
    need_gen=1
    if ! grep -q "^$loc UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
  fi
done
if [ "$need_gen" -eq 1 ]; then
  echo "install-deps: generating locales"
  $SUDO locale-gen >/dev/null
fi
