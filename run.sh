#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it on the demo suite.
#   ./run.sh           keeps the demo suite of earlier runs (your edits survive)
#   ./run.sh --reset   starts from a fresh copy of demo/suite
set -euo pipefail
cd "$(dirname "$0")"

reset=0
for a in "$@"; do
  case "$a" in
    --reset) reset=1 ;;
    *) echo "usage: $0 [--reset]" >&2; exit 2 ;;
  esac
done

./tools/install-deps.sh

gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
if [ -f build/CMakeCache.txt ] && ! grep -q "CMAKE_GENERATOR:INTERNAL=${gen[1]:-Unix Makefiles}" build/CMakeCache.txt; then
  rm -rf build
fi
cmake -S . -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target KsvLangEditor

suite=build/demo-suite
if [ "$reset" = 1 ]; then rm -rf "$suite"; fi
if [ ! -f "$suite/Kestrova.exe" ]; then
  mkdir -p "$suite"
  cp -R demo/suite/. "$suite/"
fi
# The editor belongs in the suite's KestrovaTools folder, as translators are told to put it.
cp build/app/KsvLangEditor "$suite/KestrovaTools/KsvLangEditor"
exec "$suite/KestrovaTools/KsvLangEditor"
