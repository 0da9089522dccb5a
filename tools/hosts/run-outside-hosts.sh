#!/usr/bin/env bash
# The CLAP and VST3 builds in the outside hosts Debian 12 ships, run by
# hand (not in CI): Qtractor's plug-in scanner reads the CLAP build, and
# Ardour 7 (headless, "None (Dummy)" backend) inserts the VST3 build, lists
# and sets its parameters, reports its latency, saves the session and, in a
# second process, reopens it, reads the values back and exports two seconds
# of audio through it (and with it deactivated, to compare the levels). Needs the Debian
# packages qtractor and ardour, and a build in build/.
#
#   bash tools/hosts/run-outside-hosts.sh [rate]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
rate=${1:-48000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "=== Qtractor 0.9.31: qtractor_plugin_scan, one CLAP: line ==="
echo "CLAP:$root/build/QDXZelvo.clap" | /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

# Ardour finds VST3 plug-ins in its search path, ~/.vst3 among them, and
# loads what its scanner listed in its cache (a copy scanned elsewhere
# would leave a second entry of the same class behind).
echo "=== Ardour 7: the VST3 scanner on ~/.vst3/QDXZelvo.vst3 ==="
mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/QDXZelvo.vst3"
cp -r "$root/build/QDXZelvo.vst3" "$HOME/.vst3/"
# Ardour keeps a cache entry only if it is newer than the binary, in whole
# seconds: a scan in the same second as the copy would be ignored.
sleep 2
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -v -f "$HOME/.vst3/QDXZelvo.vst3" |
    grep -E "Class:|Found|bus:"

echo "=== Ardour 7: insert, parameters, latency, save (ardour7-lua) ==="
export ZELVO_SESSION=$work/session ZELVO_RATE=$rate
ardour7-lua tools/hosts/ardour-vst3-save.lua 2>&1 | grep -v '^\[WARNING\]'
# Reopening in the same process crashes Ardour 7.3's engine restart
# (Graph::reset_thread_list), with any plug-in: a second process reopens.
echo "=== Ardour 7: reopen the saved session, export through the plug-in ==="
ardour7-lua tools/hosts/ardour-vst3-reopen.lua 2>&1 | grep -v '^\[WARNING\]' | grep -v "^\[ERROR\]: Ignored format"
ZELVO_BYPASS=1 ardour7-lua tools/hosts/ardour-vst3-reopen.lua 2>&1 | grep "^exported"
# The exports' levels: the restored Drive raises the level (under the ceiling)
# against the same signal with the limiter deactivated.
python3 - "$work/session/limited.wav" "$work/session/bypassed.wav" <<'PY'
import math, struct, sys, wave
for path in sys.argv[1:]:
    with wave.open(path) as w:
        width, frames = w.getsampwidth(), w.readframes(w.getnframes())
        rate, channels = w.getframerate(), w.getnchannels()
    scale = float(1 << (8 * width - 1))
    if width == 3:
        values = [int.from_bytes(frames[i:i + 3], "little", signed=True) / scale for i in range(0, len(frames), 3)]
    else:
        values = [v / scale for v in struct.unpack("<%d%s" % (len(frames) // width, {2: "h", 4: "i"}[width]), frames)]
    peak = max(abs(v) for v in values)
    rms = math.sqrt(sum(v * v for v in values) / len(values))
    print("%s: %d Hz, %d ch, %d-bit, %.2f s, peak %.2f dBFS, RMS %.2f dBFS" % (path.split("/")[-1], rate, channels,
          8 * width, len(values) / channels / rate, 20 * math.log10(peak or 1e-12), 20 * math.log10(rms or 1e-12)))
PY
