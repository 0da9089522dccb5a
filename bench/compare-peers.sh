#!/bin/bash
# Times this limiter side by side with the stereo limiter of Debian's
# lsp-plugins-vst and a pass-through effect, all through one host, on one
# core: ns per stereo frame for each mode at 44.1, 96 and 192 kHz, the
# ratios, and the worst block against the median one.
#
#   bash bench/compare-peers.sh [RESULTS_FILE] [extra compare_peers options]
#
# --paths avx2,avx512 times ours on each of those instruction sets in the
# same run (a path the processor lacks runs narrower; the path each ran is
# printed); without it ours runs the path it picks itself.
#
# Builds what it needs in build/ (Release). The machine's load is noted in
# the results: compare only figures of one run.
set -euo pipefail
cd "$(dirname "$0")/.."
results=${1:-bench/results.txt}
shift || true

peer=/usr/lib/vst/lsp-plugins/limiter-stereo.so
if [ ! -f "$peer" ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y lsp-plugins-vst >/dev/null || { apt-get update >/dev/null && apt-get install -y lsp-plugins-vst >/dev/null; }
  else
    sudo apt-get install -y lsp-plugins-vst >/dev/null
  fi
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build build -j2 --target compare_peers >/dev/null

# The last core, so that the interrupts usually served by core 0 stay away.
core=$(( $(nproc) - 1 ))
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; pinned to core $core"
  echo "instruction sets: $(grep -m1 '^flags' /proc/cpuinfo | grep -o -w 'avx512f\|avx2\|fma' | sort -u | tr '\n' ' ')"
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
} > "$results.head"
cat "$results.head"
taskset -c "$core" build/compare_peers --ours build/QDXZelvo.so --peer "$peer" \
  --pass-through build/bench_passthrough.so --out "$results.body" "$@"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$results.body"
cat "$results.head" "$results.body" > "$results"
rm -f "$results.head" "$results.body"
echo "written to $results"
