#!/usr/bin/env bash
# Installs the Debian packages Quorvane needs (with sudo when not root) and builds it in build/.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

install_packages
build_tree build
