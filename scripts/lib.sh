# shellcheck shell=bash
# Shared steps of the setup, run and test scripts. Source it; it defines functions only.
#
#   install_packages [EXTRA...] installs whatever Debian packages are missing (apt-get), the
#                               project's own and any EXTRA ones, e.g. the fuzzing tools:
#                                 install_packages "${QUORVANE_FUZZ_PACKAGES[@]}"
#   build_tree DIR [ARGS...]    configures and builds into DIR (relative to the repository)
#                               with extra CMake arguments, e.g. a sanitizer build:
#                                 build_tree build-asan -DCMAKE_BUILD_TYPE=Debug \
#                                   "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
#   run_tests DIR [CTEST...]    runs every test of a built tree, offscreen
#   build_package               builds the Debian package in build-package/ (a Release tree
#                               installing into /usr) and prints the path of the .deb

QUORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything needed to build, test and run on Debian 12. qt6-svg-dev: quorvane-cli's plots in SVG;
# locales-all: tests convert under a German locale; xvfb and xauth: to run the window on a machine
# without a screen; fonts: so the window and the plots have readable text on a bare system.
QUORVANE_PACKAGES=(
    g++ cmake ninja-build
    qt6-base-dev qt6-svg-dev nlohmann-json3-dev
    locales-all
    xvfb xauth fonts-dejavu-core
)

# The fuzz targets need clang with its libFuzzer and sanitizer runtimes.
# shellcheck disable=SC2034 # for the scripts that source this one
QUORVANE_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Packaging: dpkg-shlibdeps (dpkg-dev) and file work out the package's dependencies, help2man
# writes quorvane-cli's manual page.
QUORVANE_PACKAGING_PACKAGES=(dpkg-dev file help2man)

# The package check validates the launchers (desktop-file-utils) and the logs' MIME type
# (shared-mime-info), and watches the window open its pictures (inotify-tools).
# shellcheck disable=SC2034 # for the scripts that source this one
QUORVANE_PACKAGE_CHECK_PACKAGES=(desktop-file-utils shared-mime-info inotify-tools)

say() {
    echo "quorvane: $*" >&2
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        say "need root rights to run: $*"
        say "run this script as root, or install sudo"
        return 1
    fi
}

missing_packages() {
    local package
    for package in "${QUORVANE_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
            echo "$package"
        fi
    done
}

install_packages() {
    if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
        say "this is not a Debian-like system: install by hand: ${QUORVANE_PACKAGES[*]} $*"
        return 0
    fi
    local missing
    missing="$(missing_packages "$@")"
    if [ -z "$missing" ]; then
        return 0
    fi
    say "installing: ${missing//$'\n'/ }"
    # apt-get talks on standard output, which callers such as build_package keep for the value
    # they hand on: its progress goes with the other messages, to standard error.
    # A machine just started often has apt busy with its own updates: wait for it a while.
    local wait=(-o DPkg::Lock::Timeout=600)
    # shellcheck disable=SC2086 # one word per package
    as_root apt-get "${wait[@]}" update >&2 &&
        as_root env DEBIAN_FRONTEND=noninteractive \
            apt-get "${wait[@]}" install -y --no-install-recommends $missing >&2
}

build_tree() {
    local dir="$QUORVANE_ROOT/$1"
    shift
    cmake -S "$QUORVANE_ROOT" -B "$dir" -G Ninja "$@" &&
        cmake --build "$dir" -j "${QUORVANE_JOBS:-2}"
}

# Counts of every test program run so far, for the one summary line at the end of a run.
QUORVANE_PASSED=0
QUORVANE_FAILED=0

run_tests() {
    local dir="$QUORVANE_ROOT/$1" output total failed
    shift
    output="$(mktemp)"
    local status=0
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@") | tee "$output" ||
        status=$?
    # "100% tests passed, 0 tests failed out of 24"
    read -r failed total < <(sed -n 's/.* \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$output")
    rm -f "$output"
    # ctest stopped before its summary (no tests found, a broken tree): one failure all the same.
    if [ "$status" -ne 0 ] && [ "${failed:-0}" -eq 0 ]; then
        failed=1
        say "ctest in $dir failed with status $status"
    fi
    QUORVANE_PASSED=$((QUORVANE_PASSED + ${total:-0} - ${failed:-0}))
    QUORVANE_FAILED=$((QUORVANE_FAILED + ${failed:-0}))
    return "$status"
}

build_package() {
    local dir="$QUORVANE_ROOT/build-package"
    # The launcher names the installed folders, so the tree is configured for the prefix the
    # package installs into. The tests are not part of an installation.
    # Chained, because callers take the path with $(...), where errexit does not reach; only
    # the path goes to standard output.
    install_packages "${QUORVANE_PACKAGING_PACKAGES[@]}" &&
        build_tree build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr >&2 &&
        rm -f "$dir"/quorvane_*.deb &&
        (cd "$dir" && cpack -G DEB) >&2 &&
        ls "$dir"/quorvane_*.deb
}
