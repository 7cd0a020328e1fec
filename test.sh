#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh

gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
if [ -f build/CMakeCache.txt ] && ! grep -q "CMAKE_GENERATOR:INTERNAL=${gen[1]:-Unix Makefiles}" build/CMakeCache.txt; then
  rm -rf build
fi
cmake -S . -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j2
cd build
ctest --output-on-failure -j2 --timeout 900
