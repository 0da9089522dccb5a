#!/usr/bin/env bash
# The Windows build in one command: cross-compiles with mingw-w64 the VST 2.4
# plug-in build-win/QDXZelvo.dll, the VST3 bundle build-win/QDXZelvo.vst3
# (Contents/x86_64-win/QDXZelvo.vst3), the CLAP plug-in build-win/QDXZelvo.clap
# and the tests, checks that each binary imports only system DLLs and exports
# its format's entry points, and runs the tests under Wine through CTest.
#
#   bash tools/build-windows.sh [extra ctest arguments]
#
# Installs nothing: a missing tool stops it with the Debian package to install
# (tools/ci/install-packages.sh installs them all). The skin generator must
# run on this machine, so it is built natively first in build-winhost/
# (or taken from $ZELVO_SKIN_GENERATOR). JOBS sets the build's parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
build=$root/build-win
hostbuild=$root/build-winhost
prefix=$build/wineprefix

fail() { echo "build-windows: $*" >&2; exit 1; }

# Tool, then the Debian package that brings it.
missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2 (for $1)"); }
need cmake cmake
need make make
need c++ g++
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix
need x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
need x86_64-w64-mingw32-objdump binutils-mingw-w64-x86-64
need flock util-linux
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1 || missing+=("wine64 (the 64-bit Wine loader)")
[ -x /usr/lib/wine/wineserver ] || command -v wineserver >/dev/null 2>&1 || missing+=("wine (wineserver)")
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=("googletest (GoogleTest sources in /usr/src/googletest)")
if [ ${#missing[@]} -gt 0 ]; then
    printf 'build-windows: missing, install with apt-get:\n' >&2
    printf '  %s\n' "${missing[@]}" >&2
    exit 1
fi
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

start=$SECONDS

# 1. The skin generator for this machine.
generator=${ZELVO_SKIN_GENERATOR:-}
if [ -z "$generator" ]; then
    echo "=== Skin generator (native, $hostbuild) ==="
    mkdir -p "$hostbuild"
    cmake -S . -B "$hostbuild" -DCMAKE_BUILD_TYPE=Release -DZELVO_BUILD_TESTS=OFF -DZELVO_BUILD_TOOLS=OFF \
        -DZELVO_BUILD_BENCH=OFF >"$hostbuild/zelvo-configure.log" 2>&1 ||
        { cat "$hostbuild/zelvo-configure.log"; fail "configuring the native tree failed"; }
    cmake --build "$hostbuild" -j "$jobs" --target zelvo_skin_generator >"$hostbuild/zelvo-build.log" 2>&1 ||
        { tail -n 40 "$hostbuild/zelvo-build.log"; fail "building the skin generator failed"; }
    generator=$hostbuild/tools/zelvo_skin_generator
fi
[ -x "$generator" ] || fail "no skin generator at $generator"

# 2. The cross build: the DLL and the test executables.
echo "=== Windows build ($build) ==="
mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DZELVO_BUILD_TOOLS=OFF -DZELVO_BUILD_BENCH=OFF -DZELVO_SKIN_GENERATOR="$generator" \
    >"$build/zelvo-configure.log" 2>&1 || { cat "$build/zelvo-configure.log"; fail "configure failed"; }
if ! cmake --build "$build" -j "$jobs" >"$build/zelvo-build.log" 2>&1; then
    grep -E "error|Error" "$build/zelvo-build.log" | head -n 40
    fail "build failed (log: $build/zelvo-build.log)"
fi
grep -E "warning:" "$build/zelvo-build.log" | sort -u | head -n 20 || true
echo "build: $((SECONDS - start)) s"

# 3. Each plug-in binary as a host sees it: system DLLs only, its format's
# entry points exported.
check_binary() { # file entry-point...
    local file=$1; shift
    [ -f "$file" ] || fail "no $file"
    local dump=$build/zelvo-objdump-$(basename "$file").txt
    x86_64-w64-mingw32-objdump -p "$file" >"$dump"
    local imports name entry
    imports=$(sed -n 's/^\s*DLL Name: //p' "$dump")
    echo "$(basename "$file") imports: $(echo $imports)"
    for name in $imports; do
        case "$(echo "$name" | tr '[:upper:]' '[:lower:]')" in
        kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | comdlg32.dll | shell32.dll | ole32.dll | \
            oleaut32.dll | msimg32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*) ;;
        *) fail "$(basename "$file") imports $name, which Windows does not ship (link the runtime statically)" ;;
        esac
    done
    for entry in "$@"; do
        grep -Eq "^\s*\[ *[0-9]+\] $entry\$" "$dump" || fail "$(basename "$file") does not export $entry"
    done
    echo "$(basename "$file") exports: $*"
}
check_binary "$build/QDXZelvo.dll" VSTPluginMain main
check_binary "$build/QDXZelvo.vst3/Contents/x86_64-win/QDXZelvo.vst3" GetPluginFactory InitDll ExitDll
check_binary "$build/QDXZelvo.clap" clap_entry

# 4. The tests under Wine, with a wineserver of this run only.
echo "=== Tests under Wine ==="
export WINEPREFIX=$prefix
"$wineserver" -k >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$prefix/.zelvo-prefix-ready" ]; then
    prefix_start=$SECONDS
    "$root/tools/wine/run-under-wine.sh" --prefix "$prefix" cmd /c exit 0 >/dev/null ||
        fail "could not create the Wine prefix $prefix"
    echo "new Wine prefix: $((SECONDS - prefix_start)) s"
fi
test_start=$SECONDS
status=0
(cd "$build" && ctest --output-on-failure "$@") || status=$?
echo "tests under Wine: $((SECONDS - test_start)) s; all: $((SECONDS - start)) s"
exit $status
