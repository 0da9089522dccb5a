#!/usr/bin/env bash
# Builds everything and runs every test: the Linux tests, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threading tests
# under ThreadSanitizer, the file-reader fuzzer, and the Windows build's
# tests under Wine. Installs the Debian packages it needs first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}

# Processor seconds (user + system) of the finished child processes so far,
# into cpu. The times builtin must run in this shell, not in a subshell
# (whose children are not ours), so it writes to a file.
times_file=$(mktemp)
cpu_seconds() {
  times >"$times_file"
  cpu=$(sed -n 2p "$times_file" | tr 'ms' '  ' | awk '{printf "%d", $1 * 60 + $2 + $3 * 60 + $4}')
}
stage_start() { stage_wall=$SECONDS; cpu_seconds; stage_cpu=$cpu; }
stage_end() { # name
  cpu_seconds
  echo "$1: $((SECONDS - stage_wall)) s, processor $((cpu - stage_cpu)) s"
}

stage_start
bash tools/ci/install-packages.sh || { echo "package installation failed"; exit 1; }
stage_end "Packages"

passed=0
failed=0
stage_failed=0

# Layout first: it takes seconds and names the files a formatter would change.
echo "=== Source format ==="
stage_start
if bash tools/check-format.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); stage_failed=1; fi
stage_end "Source format"
record() { # ctest log
  local line
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$1" | tail -n 1)
  if [ -n "$line" ]; then
    local total bad
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
}

# The editor and window tests need an X server of their own: they move and
# click the pointer, which must not meet a desktop or another test run.
display_number=99
while [ -e "/tmp/.X${display_number}-lock" ] || [ -e "/tmp/.X11-unix/X${display_number}" ]; do
  display_number=$((display_number + 1))
done
export DISPLAY=":${display_number}"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -f "$times_file"' EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY"; exit 1; }

run_stage() { # name build-dir ctest-args... (configure arguments in the array configure)
  local name=$1 dir=$2; shift 2
  echo "=== $name ==="
  stage_start
  if ! cmake -S . -B "$dir" "${configure[@]}" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "$name: configure failed"; stage_failed=1; return
  fi
  local targets=()
  if [ -n "${only_label:-}" ]; then
    # Build just the plug-in and the tests that carry the label.
    targets=(--target QDXZelvo $(cd "$dir" && ctest -N -L "$only_label" | sed -n -E 's/^ *Test +#[0-9]+: +([^ ]+).*/\1/p'))
  fi
  if ! cmake --build "$dir" -j "$jobs" "${targets[@]}" >"$dir.build.log" 2>&1; then
    grep -E "error|Error" "$dir.build.log" | head -n 40; echo "$name: build failed"; stage_failed=1; return
  fi
  echo "$name: build $((SECONDS - stage_wall)) s"
  # Tests run two at a time; those sharing the X server hold its lock.
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$dir.ctest.log"
  record "$dir.ctest.log"
  grep -q "100% tests passed" "$dir.ctest.log" || stage_failed=1
  stage_end "$name"
}

mkdir -p build
configure=(-DCMAKE_BUILD_TYPE=Release)
run_stage "Linux tests" build

# The leak checker stays off in this stage: on these machines its tracer
# (ptrace) crashes now and then ("Tracer caught signal 11"), in test
# processes and in the programs they start, whatever the compiler. Leaks are
# checked by the soak's allocation counter and by running it with
# tools/soak/run-soak.sh --asan where ptrace works.
# Stays at -O0: at -O1 this GCC's AddressSanitizer build takes twice the
# processor time and its linker drops sections the LV2 bundle generator
# still refers to.
configure=(-DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE=ON -DZELVO_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=gcc
  -DCMAKE_CXX_COMPILER=g++)
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_stage "AddressSanitizer and UndefinedBehaviorSanitizer" build-asan

configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVO_TSAN=ON -DZELVO_BUILD_BENCH=OFF -DZELVO_BUILD_TOOLS=OFF
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
only_label=threads TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp" run_stage "ThreadSanitizer (threading tests)" build-tsan -L threads

if [ -x tests/fuzz/run-fuzz.sh ]; then
  echo "=== Fuzzing the preset and bank readers ==="
  stage_start
  if bash tests/fuzz/run-fuzz.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); stage_failed=1; fi
  stage_end "Fuzzing"
fi

if [ -f tools/build-windows.sh ]; then
  echo "=== Windows build and tests under Wine ==="
  stage_start
  bash tools/build-windows.sh 2>&1 | tee build-win.ctest.log
  record build-win.ctest.log
  grep -q "100% tests passed" build-win.ctest.log || stage_failed=1
  stage_end "Windows build and tests under Wine"
fi

echo
echo "all: $passed passed, $failed failed"
[ "$stage_failed" -eq 0 ] && [ "$failed" -eq 0 ]
