#!/usr/bin/env bash
# Builds the Debian package: a Release build in build/package (through ccache when it is there),
# then cpack. Prints the package's path as its last line.
#   JOBS=N   parallel build jobs (default: the number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

bash scripts/install-deps.sh >&2

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "== Release build (build/package)" >&2
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DTARVEL_BUILD_TESTS=OFF \
      -DCMAKE_EXE_LINKER_FLAGS=-s "${launcher[@]}" >&2
cmake --build build/package -j"$jobs" >&2

echo "== cpack" >&2
rm -f build/package/*.deb
(cd build/package && cpack -G DEB >&2)
deb=$(ls build/package/*.deb)
[ "$(echo "$deb" | wc -l)" -eq 1 ] || { echo "expected one package, found: $deb" >&2; exit 1; }
echo "$root/$deb"
