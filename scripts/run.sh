#!/usr/bin/env bash
# Builds everything and starts the program. The application itself is not part of the tree
# yet; until it is, this builds the libraries and tests and says so.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
make --no-print-directory build
echo
echo "Zumbrel: the application is not built yet; the libraries and tests are in build/."
