#!/usr/bin/env bash
# Builds the Debian package preisliste_<version>_<arch>.deb in the project
# folder: a Release build of the program alone, cpack -G DEB (dependencies
# from shlibdeps), the installed menu entry and metadata validated, then
# lintian's findings printed. Lintian only reports; it never fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
EXTRA_PACKAGES="dpkg-dev file desktop-file-utils appstream lintian" bash scripts/setup.sh --deps-only

# Debian's hardening flags, as a package built by debhelper gets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

build_dir=${BUILD_DIR:-build-package}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DPREISLISTE_BUILD_TESTS=OFF -DPREISLISTE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build_dir"/preisliste_*.deb | head -n 1)
cp "$deb" .
deb=$(basename "$deb")

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml

echo "Abhängigkeiten: $(dpkg-deb -f "$deb" Depends)"
echo "Lintian:"
lintian --info --display-info --tag-display-limit 0 "$deb" || true
echo "Paket: $deb  (installieren: sudo apt install ./$deb)"
