#!/usr/bin/env bash
# Builds Ardmon and the demo terminal, sets up a copy of the demo workstation
# (the shipped folder is never changed) and starts Ardmon in it.
#
#   examples/run-demo.sh                 build, set up a fresh copy, start Ardmon
#   examples/run-demo.sh --setup DIR     build and set up DIR only (used by the screenshots)
#
# HALVO_DEMO_BUILD_DIR overrides the build folder (default: build/ at the top).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HALVO_DEMO_BUILD_DIR:-$ROOT/build}

log() { printf '==> %s\n' "$*" >&2; }

setup_only=""
if [ "${1:-}" = "--setup" ]; then
  setup_only=${2:?usage: run-demo.sh --setup DIR}
fi

log "building Ardmon and the demo terminal in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(ardmon)
if cmake --build "$BUILD" --target help 2>/dev/null | grep '^halvo_terminal:' >/dev/null; then
  targets+=(halvo_terminal)
fi
cmake --build "$BUILD" --parallel "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"

if [ -n "$setup_only" ]; then
  demo=$setup_only
  mkdir -p "$demo"
else
  demo=$(mktemp -d "${TMPDIR:-/tmp}/halvo-demo.XXXXXX")
fi
log "demo workstation: $demo"
cp -R "$ROOT/examples/workstation/." "$demo/"
chmod -R u+w "$demo"

terminal="$BUILD/examples/terminal/halvo-terminal"
if [ -x "$terminal" ]; then
  install -m 0755 "$terminal" "$demo/VovuvAvavar.exe"
else
  # Without the demo terminal a script stands in for it.
  log "the demo terminal is not built; a script stands in for VovuvAvavar.exe"
  cat > "$demo/VovuvAvavar.exe" <<'SCRIPT'
#!/bin/sh
echo "Halvo Trader (demo) started in $(pwd)"
sed -n '/^\[HALVO_LAUNCHER\]/,/^\[/p' halvoclient.ini
SCRIPT
  chmod 0755 "$demo/VovuvAvavar.exe"
fi

[ -n "$setup_only" ] && exit 0

log "starting Ardmon (the copy stays in $demo)"
cd "$demo"
exec "$BUILD/launcher/windows/ardmon"
