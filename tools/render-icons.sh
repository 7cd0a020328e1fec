#!/usr/bin/env bash
# Renders data/icons/KsvLangEditor.svg into the PNG sizes kept beside it (run after
# changing the drawing; needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for n in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$n" -h "$n" KsvLangEditor.svg -o "KsvLangEditor-$n.png"
done
