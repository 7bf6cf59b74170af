#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert,
# Debian package librsvg2-bin). Run after changing the SVG and commit the
# PNGs with it; the install rules take the SVG as the scalable size.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
ID=org.quvexa.Quvexa
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" "$ID.svg" -o "hicolor/${size}x${size}/apps/$ID.png"
done
echo "Icons written under $(pwd)/hicolor"
