#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; does nothing when
# they are all present. Used by run.sh and test.sh. The install test checks the desktop entry
# (desktop-file-utils) and the manual page (groff-base) and builds the package (dpkg-dev);
# openbox, x11-apps and xdotool serve the title-bar screenshot (tools/titlebar-shot.sh). The
# spelling tests and the demo use the English, French, German and Brazilian dictionaries.
set -euo pipefail

pkgs=(g++ cmake ninja-build qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
      libpugixml-dev libhunspell-dev hunspell-en-us hunspell-fr hunspell-de-de hunspell-pt-br
      p7zip-full xvfb xauth curl fonts-dejavu-core
      desktop-file-utils groff-base dpkg-dev openbox x11-apps xdotool)
# --fuzz: also clang and its runtime for the differential fuzzer (tools/fuzz-xml.sh); the
# normal build and tests do without them.
[ "${1:-}" = "--fuzz" ] && pkgs+=(clang libclang-rt-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
command -v python3 >/dev/null 2>&1 || missing+=(python3)

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq "${missing[@]}"
