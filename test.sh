#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600
