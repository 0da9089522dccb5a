#!/usr/bin/env bash
# The soak benchmark (manual, not part of CI): builds the plug-in and the soak
# host, then plays MINUTES of generated audio at 192 kHz through the plug-in
# with the automation of tools/soak/automation.txt, checking that it never
# allocates in its audio callbacks, does not grow in memory and never gives a
# sample that is not finite or beyond full scale. With --asan the same run
# uses the AddressSanitizer build, whose LeakSanitizer reports leaks at exit.
#
#   tools/soak/run-soak.sh [--minutes 60] [--asan] [--double] [--block 512] [--build DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes=60
build=build
configure=(-DCMAKE_BUILD_TYPE=Release)
extra=()
custom_build=
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --asan) build=build-asan
            configure=(-DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE=ON -DZELVO_BUILD_BENCH=OFF
                       -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
            shift ;;
    --double) extra+=(--double); shift ;;
    --build) custom_build=$2; shift 2 ;;
    --block) extra+=(--block "$2"); shift 2 ;;
    *) echo "usage: $0 [--minutes M] [--asan] [--double] [--block N] [--build DIR]" >&2; exit 2 ;;
  esac
done
[ -n "$custom_build" ] && build=$custom_build
cmake -S . -B "$build" "${configure[@]}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target QDXZelvo qdx-soak >/dev/null
# A generous margin for allocator bookkeeping; a leak per block would be far more.
timer=()
[ -x /usr/bin/time ] && timer=(/usr/bin/time -v -o "$build/soak-time.log")
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  "${timer[@]}" "$build/qdx-soak" --minutes "$minutes" --rate 192000 \
  --script tools/soak/automation.txt --max-growth-kib 2048 "${extra[@]}" || status=$?
[ -f "$build/soak-time.log" ] && grep -E "Maximum resident|Elapsed" "$build/soak-time.log"
exit $status
