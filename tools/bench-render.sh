#!/usr/bin/env bash
# Times qdx-render mastering to the streaming target (-14 LUFS, -1 dBTP):
# one 4-minute stereo 44.1 kHz track delivered as WAV and as Opus (converted
# to 48 kHz, encoded, decoded and verified), then a batch of 8 such tracks
# with one worker and with one per core. The track is the demo signal looped
# with ffmpeg. Figures are wall time and processor time of all threads, as
# the renderer reports them; on a shared machine the wall time depends on
# the load, printed before each run. The goal: the WAV within 5 s on an idle
# 2-core machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
work=$(mktemp -d /tmp/zelvo-bench-render-XXXXXX)
trap 'rm -rf "$work"' EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }

"$build/qdx-render" --demo "$work/demo.wav" >/dev/null
ffmpeg -nostdin -hide_banner -loglevel error -stream_loop 29 -i "$work/demo-input.wav" -c copy "$work/track.wav"
for i in 1 2 3 4 5 6 7 8; do ln -s "$work/track.wav" "$work/track$i.wav"; done

echo "== one track of 240 s, 24-bit stereo 44.1 kHz, to WAV; load: $(load)"
"$build/qdx-render" --target streaming "$work/track.wav" "$work/master.wav" | grep -E '^(Pass|Done)'
echo "== the same track to Opus (--rate 48000, decoded and verified); load: $(load)"
"$build/qdx-render" --rate 48000 --target streaming "$work/track.wav" "$work/master.opus" |
  grep -E '^(Pass|Decoded|  encoding|Done)'
if [ "${1:-}" != "--single" ]; then
  for jobs in 1 2; do
    echo "== 8 tracks to WAV, --jobs $jobs; load: $(load)"
    "$build/qdx-render" --target streaming --jobs "$jobs" --out-dir "$work/out$jobs" "$work"/track?.wav | grep -E '^Done'
  done
fi
