#!/usr/bin/env bash
# Sets up, builds and runs every test, in four passes:
#   1. the plain build (build/), every test;
#   2. the same tests once more built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/), stopping at the first report;
#   3. each fuzz target for a bounded time (build-fuzz/, clang and libFuzzer);
#   4. the Debian package (build-package/): its files and control data, and its programs run
#      from a scratch folder it is unpacked into.
#
#   bash scripts/test.sh [--plain] [CTEST ARGS...]
#
# --plain runs the first pass only. Other arguments go to ctest in both test passes, e.g.
# bash scripts/test.sh --plain -R pathfields. QUORVANE_FUZZ_SECONDS sets the time per fuzz
# target (60 by default).
#
# A failing step is reported and counted, and the run goes on with the next pass: errexit is off,
# each step checks its own result. The last line always counts what passed and what failed.
set -uo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SANITIZERS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
# One fuzz target per fuzz/fuzz_*.cpp, as fuzz/CMakeLists.txt builds them.
FUZZ_TARGETS=()
for source in "$QUORVANE_ROOT"/fuzz/fuzz_*.cpp; do
    FUZZ_TARGETS+=("$(basename "$source" .cpp)")
done

# A step the rest of its pass needs: a failure is named and counted as one, and the caller
# stops its pass.
needed() {
    local what="$1"
    shift
    if ! "$@"; then
        say "$what: FAILED"
        QUORVANE_FAILED=$((QUORVANE_FAILED + 1))
        return 1
    fi
}

# One check: counted, and named when it fails.
check() {
    local what="$1"
    shift
    if "$@"; then
        say "$what: ok"
        QUORVANE_PASSED=$((QUORVANE_PASSED + 1))
    else
        say "$what: FAILED"
        QUORVANE_FAILED=$((QUORVANE_FAILED + 1))
        return 1
    fi
}

# One pass: a build tree with its own CMake arguments, then all its tests.
test_pass() {
    local dir="$1"
    shift
    needed "building $dir" build_tree "$dir" "$@" || return 1
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
}

build_fuzzers() {
    local dir="$QUORVANE_ROOT/build-fuzz"
    cmake -S "$QUORVANE_ROOT" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DQUORVANE_FUZZ=ON -DBUILD_TESTING=OFF &&
        cmake --build "$dir" --target fuzzers -j "${QUORVANE_JOBS:-2}"
}

fuzz_pass() {
    local name status=0
    needed "installing the fuzzing tools" install_packages "${QUORVANE_FUZZ_PACKAGES[@]}" &&
        needed "building the fuzz targets" build_fuzzers || return 1
    for name in "${FUZZ_TARGETS[@]}"; do
        check "fuzz: $name" fuzz_target "$name" "${QUORVANE_FUZZ_SECONDS:-60}" || status=1
    done
    return "$status"
}

# Every file the package installs, relative to the root; the manual page comes with help2man.
PACKAGE_FILES=(
    usr/bin/quorvane
    usr/bin/quorvane-cli
    usr/bin/quorvane-cli-plot
    usr/bin/quorvane-view
    usr/share/applications/quorvane.desktop
    usr/share/applications/quorvane-view.desktop
    usr/share/doc/quorvane/copyright
    usr/share/icons/hicolor/48x48/apps/quorvane.png
    usr/share/icons/hicolor/128x128/apps/quorvane.png
    usr/share/icons/hicolor/256x256/apps/quorvane.png
    usr/share/icons/hicolor/scalable/apps/quorvane.svg
    usr/share/mime/packages/quorvane.xml
    usr/share/quorvane/examples/README.md
    usr/share/quorvane/examples/vehicle.dbc
    usr/share/quorvane/examples/vehicle.json
    usr/share/quorvane/examples/vehicle.qvl
    usr/share/quorvane/images/foto.png
    usr/share/quorvane/images/logor.png
)

# One check of the package; the pass fails when any of them does.
package_check() {
    local what="$1"
    shift
    check "package: $what" "$@" || package_failed=true
}

holds_exactly_its_files() {
    local deb="$1" expected=("${PACKAGE_FILES[@]}")
    if command -v help2man >/dev/null; then
        expected+=(usr/share/man/man1/quorvane-cli.1.gz)
    fi
    diff <(printf '%s\n' "${expected[@]}" | sort) \
        <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort)
}

control_field() {
    dpkg-deb --field "$1" "$2"
}

control_is_complete() {
    local deb="$1"
    [ "$(control_field "$deb" Package)" = quorvane ] &&
        [ "$(control_field "$deb" Section)" = electronics ] &&
        [ "$(control_field "$deb" Maintainer)" = "The Quorvane developers" ] &&
        [ -n "$(control_field "$deb" Version)" ] &&
        control_field "$deb" Depends | grep -q '\blibqt6widgets6\b' &&
        control_field "$deb" Depends | grep -q '\blibqt6svg6\b'
}

# Prints the value of a key of the launcher.
launcher_value() {
    sed -n "s/^$2=//p" "$1"
}

cli_runs() {
    local output
    output="$("$1/usr/bin/quorvane-cli" --help)" && grep -q '^Usage: quorvane-cli' <<<"$output"
}

manual_page_is_made() {
    zcat "$1/usr/share/man/man1/quorvane-cli.1.gz" | grep -q '^\.TH QUORVANE-CLI'
}

# Starts the launcher's program in the launcher's folder, both taken inside the unpacked tree,
# offscreen. It must still run after three seconds and have opened both pictures, which it names
# relative to that folder.
window_shows_its_pictures() {
    local root="$1" launcher="$1/usr/share/applications/quorvane.desktop"
    local folder program seen="$1.opened" status=0 watcher
    folder="$root$(launcher_value "$launcher" Path)"
    program="$root$(launcher_value "$launcher" Exec)"
    if [ ! -d "$folder/images" ]; then
        say "the launcher's folder $folder holds no images/"
        return 1
    fi
    inotifywait --monitor --event open --format %f "$folder/images" >"$seen" 2>"$seen.log" &
    watcher=$!
    for _ in $(seq 50); do
        grep -q 'Watches established' "$seen.log" && break
        sleep 0.1
    done
    (cd "$folder" && QT_QPA_PLATFORM=offscreen timeout 3 "$program") >"$seen.window" 2>&1 ||
        status=$?
    kill "$watcher"
    wait "$watcher" || true
    # timeout's status 124: the window was still up when it was stopped.
    if [ "$status" -ne 124 ] || ! grep -qx foto.png "$seen" || ! grep -qx logor.png "$seen"; then
        cat "$seen.window" >&2
        say "window status $status (124 expected); pictures opened: $(tr '\n' ' ' <"$seen")"
        return 1
    fi
}

# The viewer draws the example's engine speed into a PNG of the size asked for, without a display.
viewer_grabs() {
    local root="$1" examples="$1/usr/share/quorvane/examples" image="$1.view.png"
    QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane-view" "$examples/vehicle.qvl" \
        --candb "$examples/vehicle.json" --signals EngineSpeed --size 800x500 --grab "$image" &&
        file "$image" | grep -q 'PNG image data, 800 x 500'
}

# The MIME file gives .qvl files their type in a MIME database of their own, and the viewer's
# launcher opens that type.
logs_open_with_viewer() {
    local root="$1" database="$1.mime"
    rm -rf "$database"
    mkdir -p "$database/packages"
    cp "$root/usr/share/mime/packages/quorvane.xml" "$database/packages/" &&
        update-mime-database "$database" >"$database.log" 2>&1 &&
        grep -q ':application/x-quorvane-log:\*\.qvl$' "$database/globs2" &&
        launcher_value "$root/usr/share/applications/quorvane-view.desktop" MimeType |
        grep -q '^application/x-quorvane-log;$'
}

package_pass() {
    local deb root="$QUORVANE_ROOT/build-package/unpacked"
    needed "installing the package checks' tools" \
        install_packages "${QUORVANE_PACKAGE_CHECK_PACKAGES[@]}" || return 1
    deb="$(build_package)"
    needed "building the package" test -f "$deb" || return 1
    say "checking $deb"
    package_failed=false
    package_check "files" holds_exactly_its_files "$deb"
    package_check "control data" control_is_complete "$deb"
    rm -rf "$root"
    needed "unpacking the package" dpkg-deb --extract "$deb" "$root" || return 1
    package_check "launcher" desktop-file-validate "$root/usr/share/applications/quorvane.desktop"
    package_check "viewer's launcher" desktop-file-validate \
        "$root/usr/share/applications/quorvane-view.desktop"
    package_check "logs open with the viewer" logs_open_with_viewer "$root"
    if command -v help2man >/dev/null; then
        package_check "manual page" manual_page_is_made "$root"
    fi
    package_check "quorvane-cli --help" cli_runs "$root"
    package_check "window from the launcher's folder" window_shows_its_pictures "$root"
    package_check "quorvane-view --grab" viewer_grabs "$root"
    ! $package_failed
}

# Runs a pass and says how long it took, and whether it failed.
timed() {
    local started=$SECONDS status=0
    "$@" || status=$?
    say "$1 took $((SECONDS - started)) s$([ "$status" -eq 0 ] || echo ", FAILED")"
}

plain_only=false
if [ "${1:-}" = "--plain" ]; then
    plain_only=true
    shift
fi
ctest_args=("$@")
if needed "installing the project's packages" install_packages; then
    timed test_pass build
    if ! $plain_only; then
        timed sanitizer_pass
        timed fuzz_pass
        timed package_pass
    fi
fi
echo "quorvane: $QUORVANE_PASSED passed, $QUORVANE_FAILED failed"
[ "$QUORVANE_FAILED" -eq 0 ]
