#!/usr/bin/env bash
# Installs the built program into a temporary root and runs it there without a display,
# validates its desktop entry and icons, then builds the Debian package and looks inside.
#   install_check.sh BUILD-FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

files=(bin/KsvLangEditor share/applications/KsvLangEditor.desktop share/man/man1/KsvLangEditor.1
       share/icons/hicolor/scalable/apps/KsvLangEditor.svg)
for n in 16 22 24 32 48 64 128 256; do files+=("share/icons/hicolor/${n}x${n}/apps/KsvLangEditor.png"); done

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$tmp/root/usr"
for f in "${files[@]}"; do [ -f "$usr/$f" ] || fail "not installed: $f"; done
desktop-file-validate "$usr/share/applications/KsvLangEditor.desktop" || fail "desktop entry"
warnings=$(groff -man -ww -z "$usr/share/man/man1/KsvLangEditor.1" 2>&1)
[ -z "$warnings" ] || fail "manual page: $warnings"
# Each PNG is as large as the folder it sits in says.
python3 - "$usr/share/icons/hicolor" <<'PY' || fail "icon sizes"
import glob, struct, sys
for p in glob.glob(sys.argv[1] + "/*x*/apps/KsvLangEditor.png"):
    head = open(p, "rb").read(24)
    w, h = struct.unpack(">II", head[16:24])
    n = int(p.split("/")[-3].split("x")[0])
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and (w, h) == (n, n), (p, w, h)
PY

# The command line works with no display at all, and says what is wrong on one line.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/KsvLangEditor" "$@" >"$tmp/out" 2>"$tmp/err"; }
run --version || fail "--version exit $?"
grep -qx "Kestrova Lang Editor [0-9]*\.[0-9]*\.[0-9]*" "$tmp/out" || fail "--version printed: $(cat "$tmp/out")"
run --help || fail "--help exit $?"
grep -q "^Usage: KsvLangEditor \[SUITE-FOLDER | LANGUAGE-FILE\]" "$tmp/out" || fail "--help printed: $(cat "$tmp/out")"
for bad in --nonsense "$tmp/missing" "$tmp"; do
  rc=0
  run "$bad" || rc=$?
  [ "$rc" -eq 2 ] || fail "$bad: exit $rc"
  [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$bad: $(cat "$tmp/out" "$tmp/err")"
done

# The package holds the same files and asks for Qt 6 widgets and the archiver.
(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1) ||
  fail "cpack: $(tail -5 "$tmp/cpack.log")"
deb=$(ls "$tmp"/pkg/*.deb)
dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/list"
for f in "${files[@]}"; do grep -qx "./usr/$f" "$tmp/list" || fail "not in the package: $f"; done
deps=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 p7zip-full; do [[ $deps == *"$d"* ]] || fail "Depends lacks $d: $deps"; done
echo "install check passed"
