#!/usr/bin/env bash
# A screenshot of the installed editor on a copy of the demo suite, under a virtual display
# with a window manager that draws window icons in the title bar (openbox):
#   tools/titlebar-shot.sh INSTALL-PREFIX OUT.png
set -euo pipefail
prefix=$(cd "$1" && pwd)
out=$2
here=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -R "$here/demo/suite" "$tmp/suite"

HOME="$tmp" xvfb-run -a -s "-screen 0 1000x680x24" bash -c '
  openbox & sleep 1
  "$1/bin/KsvLangEditor" "$2" & app=$!
  sleep 4
  xdotool key Return  # the read-me: "I have read and understood..."
  sleep 1
  xwd -root -silent >"$3"
  kill $app
' _ "$prefix" "$tmp/suite" "$tmp/shot.xwd"

# xwd (TrueColor, 24 or 32 bits a pixel) to PNG, with nothing but the standard library.
python3 - "$tmp/shot.xwd" "$out" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
f = struct.unpack(">25I", data[:100])
header, width, height, order, bpp, stride, ncolors = f[0], f[4], f[5], f[7], f[11], f[12], f[19]
assert bpp in (24, 32), bpp
n = bpp // 8
pixels = data[header + ncolors * 12:]
rows = []
for y in range(height):
    line = pixels[y * stride:y * stride + width * n]
    rgb = bytearray(width * 3)
    if order == 0:  # least significant byte first: B G R (x)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::n], line[1::n], line[0::n]
    else:
        rgb[0::3], rgb[1::3], rgb[2::3] = line[n - 3::n], line[n - 2::n], line[n - 1::n]
    rows.append(b"\0" + bytes(rgb))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
echo "$out"
