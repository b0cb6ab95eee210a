#!/usr/bin/env bash
# Sets up, builds and runs every test. Arguments go to ctest, e.g.: bash scripts/test.sh -R path
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# One pass: a build tree with its own CMake arguments, then all its tests.
test_pass() {
    local dir="$1"
    shift
    build_tree "$dir" "$@"
    run_tests "$dir" "${ctest_args[@]}"
}

ctest_args=("$@")
install_packages
test_pass build
