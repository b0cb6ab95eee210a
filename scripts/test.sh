#!/usr/bin/env bash
# Sets up, builds and runs every test, in three passes:
#   1. the plain build (build/), every test;
#   2. the same tests once more built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/), stopping at the first report;
#   3. each fuzz target for a bounded time (build-fuzz/, clang and libFuzzer).
#
#   bash scripts/test.sh [--plain] [CTEST ARGS...]
#
# --plain runs the first pass only. Other arguments go to ctest in both test passes, e.g.
# bash scripts/test.sh --plain -R pathfields. QUORVANE_FUZZ_SECONDS sets the time per fuzz
# target (60 by default).
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SANITIZERS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
FUZZ_TARGETS=(fuzz_candb fuzz_conversion fuzz_configrecord fuzz_plottable fuzz_dbc fuzz_logtext)

# One pass: a build tree with its own CMake arguments, then all its tests.
test_pass() {
    local dir="$1"
    shift
    build_tree "$dir" "$@"
    run_tests "$dir" "${ctest_args[@]}"
}

# The whole suite under the sanitizers: any report ends the test with a failure. Leak checking
# stays on for the window's tests too.
sanitizer_pass() {
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    test_pass build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS=-O1 $SANITIZERS"
}

# Runs one fuzz target from its committed seeds and what earlier runs found. A crash, a broken
# invariant or a sanitizer report fails the pass; the input is kept under build-fuzz/artifacts.
fuzz_target() {
    local dir="$QUORVANE_ROOT/build-fuzz" name="$1" seconds="$2"
    local seeds="$QUORVANE_ROOT/fuzz/corpus/${name#fuzz_}"
    local found="$dir/corpus/${name#fuzz_}" log="$dir/logs/$name.log"
    mkdir -p "$found" "$dir/artifacts" "$dir/logs"
    say "fuzzing $name for $seconds s"
    if ! "$dir/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name-" \
        "$found" "$seeds" >"$log" 2>&1; then
        tail -n 80 "$log"
        say "$name failed; the input is in $dir/artifacts/, the whole output in $log"
        return 1
    fi
    grep '^Done ' "$log" || true
    QUORVANE_PASSED=$((QUORVANE_PASSED + 1))
}

fuzz_pass() {
    install_packages "${QUORVANE_FUZZ_PACKAGES[@]}"
    local dir="$QUORVANE_ROOT/build-fuzz" name
    cmake -S "$QUORVANE_ROOT" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DQUORVANE_FUZZ=ON -DBUILD_TESTING=OFF
    cmake --build "$dir" --target fuzzers -j "${QUORVANE_JOBS:-2}"
    for name in "${FUZZ_TARGETS[@]}"; do
        fuzz_target "$name" "${QUORVANE_FUZZ_SECONDS:-60}"
    done
}

# Runs a pass and says how long it took.
timed() {
    local started=$SECONDS
    "$@"
    say "$1 took $((SECONDS - started)) s"
}

plain_only=false
if [ "${1:-}" = "--plain" ]; then
    plain_only=true
    shift
fi
ctest_args=("$@")
install_packages
timed test_pass build
if ! $plain_only; then
    timed sanitizer_pass
    timed fuzz_pass
fi
echo "quorvane: $QUORVANE_PASSED passed, $QUORVANE_FAILED failed"
