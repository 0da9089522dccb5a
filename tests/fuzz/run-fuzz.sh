#!/usr/bin/env bash
# Builds the preset and bank reader fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), writes a seed corpus of valid files made by the
# plug-in's own writers, and fuzzes for a bounded time. Exits non-zero on any
# crash, sanitizer report or violated property.
#
# Environment: FUZZ_SECONDS (default 60), ZELVO_FUZZ_BUILD (build folder,
# default build-fuzz in the source tree), JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${ZELVO_FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)

mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
    -DZELVO_SANITIZE=ON -DZELVO_BUILD_TESTS=OFF -DZELVO_BUILD_TOOLS=OFF -DZELVO_BUILD_BENCH=OFF \
    -DCMAKE_PROJECT_QDXZelvo_INCLUDE="$here/FuzzTargets.cmake" >"$build/fuzz-configure.log" 2>&1; then
  cat "$build/fuzz-configure.log"
  echo "fuzz: configure failed"
  exit 1
fi
if ! cmake --build "$build" --target fuzz_preset_readers -j "$jobs" >"$build/fuzz-build.log" 2>&1; then
  grep -E "error|Error" "$build/fuzz-build.log" | head -n 40
  echo "fuzz: build failed"
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/settings" "$work/findings"
# The effect reads its metering preferences at construction: give it an empty store.
export XDG_CONFIG_HOME="$work/settings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

ZELVO_FUZZ_SEEDS="$work/corpus" "$build/fuzz_preset_readers"
seeds=$(ls "$work/corpus" | wc -l)
echo "fuzz: $seeds seed files"

status=0
(cd "$work/findings" && "$build/fuzz_preset_readers" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 "$work/corpus") >"$work/fuzz.log" 2>&1 || status=$?

tail -n 30 "$work/fuzz.log"
executions=$(grep -E "stat::number_of_executed_units" "$work/fuzz.log" | awk '{print $2}' || true)
corpus=$(ls "$work/corpus" | wc -l)
crashes=$(ls "$work/findings" | grep -cE "^(crash|leak|timeout|oom)-" || true)
if [ "$status" -ne 0 ]; then
  mkdir -p "$root/build-fuzz-findings"
  cp "$work/findings"/* "$root/build-fuzz-findings/" 2>/dev/null || true
fi
echo "fuzz: ${executions:-0} executions, corpus ${corpus} files, ${crashes} crashes, exit status ${status}"
if [ "$status" -ne 0 ]; then
  echo "fuzz: FAILED (findings kept in build-fuzz-findings)"
  exit 1
fi
echo "fuzz: passed"
