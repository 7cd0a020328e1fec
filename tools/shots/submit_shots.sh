#!/bin/sh
# End-to-end run of the submission dialog on the demo suite under a virtual display:
# screenshots of both pages, then the packed archive as 7z lists it.
# Usage: submit_shots.sh <build folder> [output folder]
set -eu
build=${1:?build folder}
out=${2:-$build/submit_shots}
here=$(cd "$(dirname "$0")" && pwd)
suite="$here/../../../demo/suite"
mkdir -p "$out"
rm -f "$out"/KSVLangPack_*.7z
xvfb-run -a "$build/tools/shots/ksv_submit_shots" "$suite" "$out" fr | tee "$out/run.log"
archive=$(sed -n 's/^archive: //p' "$out/run.log")
7z l "$archive"
