#!/bin/sh
# Renders the icon's PNG sizes from its SVG source (needs rsvg-convert from
# librsvg2-bin); the PNGs are committed so the build needs no SVG renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 256; do
    rsvg-convert -w "$size" -h "$size" tsumugiya.svg -o "tsumugiya-$size.png"
done
