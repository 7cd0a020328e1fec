#!/usr/bin/env bash
# Builds the differential XML fuzzer with clang (in build-fuzz/) and runs it on one core:
#   tools/fuzz-xml.sh [SECONDS]   (default 1800)
# It starts from the corpus the tests replay (tests/data/fuzz/xml); inputs it finds new go to
# build-fuzz/corpus, a failing input to build-fuzz/faults/. A fault input belongs in
# tests/data/fuzz/xml with its fix, where the corpus replay test keeps it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-1800}
"$root/tools/install-deps.sh" --fuzz
out="$root/build-fuzz"
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DKSV_FUZZ=ON >/dev/null
cmake --build "$out" -j2 --target fuzz_xml
mkdir -p "$out/corpus" "$out/faults"
cd "$out"
exec nice tests/xml/fuzz_xml -jobs=1 -workers=1 -max_total_time="$secs" -artifact_prefix=faults/ \
     corpus "$root/tests/data/fuzz/xml"
