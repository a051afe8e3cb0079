#!/usr/bin/env bash
# Installs what is missing, builds and starts ソラフ.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "ソラフを表示する画面がありません（DISPLAY も WAYLAND_DISPLAY も設定されていません）。" >&2
    echo "No display found: start ./run.sh from a desktop session (or under xvfb-run)." >&2
    exit 1
fi
exec "./$BUILD_DIR/sorafu"
