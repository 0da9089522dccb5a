#!/bin/sh
# Runs one Windows program of the cross build under Wine, as CTest's
# emulator: run-under-wine.sh [--prefix DIR] program.exe [arguments...]
#
# The Wine prefix (the simulated C: drive and registry) lives in the build
# tree, so a test run never touches the user's ~/.wine and a clean build
# starts from a clean registry. The first run creates it (some seconds).
# A persistent wineserver keeps Wine's services up between the tests:
# without it every test pays Wine's start-up again (seconds, not a fraction
# of one). It leaves ZELVO_WINESERVER_LINGER seconds (default 60) after the
# last program; `wineserver -k` with the same WINEPREFIX stops it at once.
# Display driver of a new prefix: ZELVO_WINE_GRAPHICS (default null, no X
# server needed; "x11" shows windows on $DISPLAY).
set -eu

prefix=
if [ "${1:-}" = "--prefix" ]; then
    prefix=$2
    shift 2
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 [--prefix DIR] program.exe [arguments...]" >&2
    exit 2
fi
if [ -z "$prefix" ]; then
    prefix=${WINEPREFIX:-}
fi
if [ -z "$prefix" ]; then
    echo "$0: no Wine prefix: pass --prefix DIR or set WINEPREFIX" >&2
    exit 2
fi

# The 64-bit loader directly: the `wine` launcher looks for a 32-bit Wine
# first, which a 64-bit-only installation does not have.
wine=
for candidate in "${ZELVO_WINE:-}" /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null || true)" \
                 "$(command -v wine 2>/dev/null || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wine=$candidate
        break
    fi
done
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver 2>/dev/null || true)
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "$0: Wine is not installed (Debian packages: wine wine64)" >&2
    exit 127
fi

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, no Mono or Gecko installers: the tests need none of
# them, and the installers would wait for a network that is not there.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d;mscoree=d;mshtml=d"
case "$wine" in
    */wine64) export WINELOADER="$wine" ;;
esac

# Fails harmlessly when a server for this prefix already runs.
"$wineserver" "-p${ZELVO_WINESERVER_LINGER:-60}" >/dev/null 2>&1 || true

# Two tests started at once must not both create the prefix.
ready="$prefix/.zelvo-prefix-ready"
if [ ! -f "$ready" ]; then
    (
        flock 9
        if [ ! -f "$ready" ]; then
            # Wine's null display driver: windows and GDI work without an X
            # server. Without a driver, every program that touches user32
            # waits some seconds for a desktop that never comes.
            if "$wine" wineboot --init >/dev/null 2>&1 &&
               "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "${ZELVO_WINE_GRAPHICS:-null}" /f \
                   >/dev/null 2>&1; then
                touch "$ready"
            fi
        fi
    ) 9>"$prefix.lock"
    if [ ! -f "$ready" ]; then
        echo "$0: could not create the Wine prefix $prefix" >&2
        exit 1
    fi
fi

# Wine's background processes (the desktop, device services) start from the
# first program that needs them and inherit its output. Were that CTest's
# pipe, CTest would wait for them to quit (some twenty seconds) after every
# test: the program writes to a file instead, shown when it ends.
output=$(mktemp "${TMPDIR:-/tmp}/zelvo-wine-output.XXXXXX")
trap 'rm -f "$output"' EXIT
status=0
"$wine" "$@" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
if [ "$status" -eq 53 ]; then
    # Wine's answer when the loader cannot resolve the program's imports.
    echo "$0: $1 could not start: a DLL it imports is missing (WINEDEBUG=err+module shows which)" >&2
fi
exit "$status"
