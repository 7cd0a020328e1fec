#!/usr/bin/env bash
# Renders the drawings in data/icons into the PNG sizes kept beside them (run after changing
# a drawing; needs rsvg-convert from librsvg2-bin). Sizes up to 24 come from the drawing made
# for small sizes.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for n in 16 22 24 32 48 64 128 256; do
  svg=KsvLangEditor.svg
  [ "$n" -le 24 ] && svg=KsvLangEditor-small.svg
  rsvg-convert -w "$n" -h "$n" "$svg" -o "KsvLangEditor-$n.png"
done
