#!/usr/bin/env bash
# The soak benchmark (manual, not part of CI): builds the plug-in and the soak
# host, then plays MINUTES of generated audio at 192 kHz through the plug-in
# with the automation of tools/soak/automation.txt, checking that it never
# allocates in its audio callbacks, does not grow in memory and never gives a
# sample that is not finite or beyond full scale. With --asan the same run
# uses the AddressSanitizer build, whose LeakSanitizer reports leaks at exit.
#
#   tools/soak/run-soak.sh [--minutes 60] [--asan] [--double] [--block 512]
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes=60
build=build
configure=(-DCMAKE_BUILD_TYPE=Release)
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --asan) build=build-asan
            configure=(-DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE=ON -DZELVO_BUILD_BENCH=OFF
                       -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
            shift ;;
    --double) extra+=(--double); shift ;;
    --block) extra+=(--block "$2"); shift 2 ;;
    *) echo "usage: $0 [--minutes M] [--asan] [--double] [--block N]" >&2; exit 2 ;;
  esac
done
cmake -S . -B "$build" "${configure[@]}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target QDXZelvo qdx-soak >/dev/null
# A generous margin for allocator bookkeeping; a leak per block would be far more.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  /usr/bin/time -v "$build/qdx-soak" --minutes "$minutes" --rate 192000 \
  --script tools/soak/automation.txt --max-growth-kib 2048 "${extra[@]}" 2> "$build/soak-time.log"
status=$?
grep -E "Maximum resident|Elapsed" "$build/soak-time.log" || true
exit $status
