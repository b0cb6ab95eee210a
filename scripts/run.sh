#!/usr/bin/env bash
# Sets up and builds Quorvane, then starts it from the repository, where images/ is found.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

install_packages
build_tree build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    say "no display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot open."
    say "Start it from a desktop session, or over ssh with X forwarding (ssh -X),"
    say "or on a virtual screen: xvfb-run -a bash scripts/run.sh"
    exit 2
fi

cd "$QUORVANE_ROOT"
exec "$QUORVANE_ROOT/build/src/app/quorvane" "$@"
