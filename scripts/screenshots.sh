#!/usr/bin/env bash
# Pictures of the desktop window with charts, of the main dialog's four pages and of the field
# relation dialog, taken under Xvfb from the real program, into docs/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs}"
preset="${PRESET:-debug}"
program="build/${preset}/app/kartoplot-desktop"
if [ ! -x "$program" ]; then
  cmake --preset "$preset"
  cmake --build --preset "$preset" --target kartoplot-desktop
fi
# Leaks inside the X and D-Bus client libraries are not ours; keep the sanitizers' report quiet.
ASAN_OPTIONS=detect_leaks=0 xvfb-run -a -s "-screen 0 1600x1000x24" "$program" --screenshots "$out"
