#!/usr/bin/env bash
# Builds the Debian package of Quorvane in build-package/, installing whatever the build needs.
#
#   bash scripts/package.sh
#
# Prints the package's path from the current folder, e.g. build-package/quorvane_0.1_amd64.deb;
# install it with apt-get install ./build-package/quorvane_0.1_amd64.deb
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

package="$(build_package)"
realpath --relative-to=. "$package"
