#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages, only those missing),
# then configures and builds into build/. Safe to run again.
#   --deps-only     only the packages
#   --program-only  build only the program, not the tests and benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev sqlite3 libgtest-dev
  xvfb xauth
  # Qt's own texts in German (a run-time dependency of the package, too)
  qt6-translations-l10n
  # the install test validates the menu entry, the metadata and the completion
  desktop-file-utils appstream bash-completion
  # https: OpenSSL, which Qt's TLS plugin loads at run time, and the system's
  # certificate authorities; the tests make their certificates with openssl
  libssl3 ca-certificates openssl
)
# Callers may ask for more (the fuzz build needs clang and its runtime).
read -r -a extra <<< "${EXTRA_PACKAGES:-}"
packages+=("${extra[@]}")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installiere: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--deps-only" ] && exit 0

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja ${CMAKE_ARGS:-} >/dev/null
targets=()
[ "${1:-}" = "--program-only" ] && targets=(--target preisliste)
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
