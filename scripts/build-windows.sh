#!/usr/bin/env bash
# Cross build for 64-bit Windows on Debian: installs the MinGW-w64 compiler, Wine and the
# GoogleTest sources when missing, builds GoogleTest with the cross compiler, then the programs
# (upgrade.exe on the Win32 window backend, upgrade-cli.exe) and the core tests into
# build/windows, statically linked, so that the .exe files need no DLL beyond the system's.
# The last two lines printed are the full paths of upgrade.exe and upgrade-cli.exe.
#   JOBS=N   parallel build jobs (default: the number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# fonts-wine: Wine's own MS Sans Serif and Tahoma, the faces the windows are laid out with (without
# them Wine stands in other faces and texts are clipped).
packages=(cmake make g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  # Wine's recommendations (fonts, sound, 32-bit support) are not needed for console programs.
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

out=$root/build/windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

if [ ! -f "$out/googletest-root/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "== GoogleTest for Windows (build/windows/googletest)"
  cmake -S /usr/src/googletest -B "$out/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/googletest-root" "${launcher[@]}" >/dev/null
  cmake --build "$out/googletest" -j"$jobs" >/dev/null
  cmake --install "$out/googletest" >/dev/null
fi

echo "== upgrade.exe, upgrade-cli.exe and the core tests (build/windows/tarvel)"
cmake -S . -B "$out/tarvel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DTARVEL_BUILD_GUI=ON -DTARVEL_WERROR=ON "${launcher[@]}" \
  -DGTest_DIR="$out/googletest-root/lib/cmake/GTest" >/dev/null
cmake --build "$out/tarvel" -j"$jobs"

# Statically linked: nothing but the system's own DLLs may be imported.
gui=$out/tarvel/upgrade.exe
cli=$out/tarvel/cli/upgrade-cli.exe
for exe in "$gui" "$cli"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
  echo "$(basename "$exe") imports: $dlls"
  for dll in $dlls; do
    case "${dll,,}" in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll | gdi32.dll | comctl32.dll | comdlg32.dll) ;;
      *) echo "$(basename "$exe") needs $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
  done
done

find "$out/tarvel/tests" -maxdepth 1 -name '*_tests.exe' | sort
echo "$gui"
echo "$cli"
