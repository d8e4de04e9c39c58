#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts Quorvel; its accounts are kept in
# build/default/peizhi.ini, beside the executable.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j2 --target quorvel
exec build/default/quorvel "$@"
