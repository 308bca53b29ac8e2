#!/usr/bin/env bash
# A staged install (DESTDIR) puts exactly the expected files where the
# freedesktop and Debian conventions want them, and the desktop entry, the
# AppStream data, the icons and the manual page each pass their own checker.
# Usage: install_layout_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?usage: install_layout_test.sh BUILD_DIR SOURCE_DIR}
src=${2:?}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/install.XXXXXX")
trap 'rm -rf "$work"' EXIT
dest="$work/root"
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
diff -u "$here/expected_files.txt" <(cd "$dest" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) \
    || fail "the installed files differ from the expected list"

# The installed binary runs on its own: no search path back into the build folder.
if readelf -d "$dest/usr/bin/kaptivus2000" | grep -E 'R(UN)?PATH' | grep -qF "$(cd "$build" && pwd)"; then
    fail "the installed binary still looks for libraries in the build folder"
fi
[ "$("$dest/usr/bin/kaptivus2000" --version)" = "Kaptivus 2000 5.10" ] || fail "--version"

app="$dest/usr/share/applications/org.kaptivus.kaptivus2000.desktop"
desktop-file-validate "$app" || fail "desktop-file-validate"
for line in "Name=Kaptivus 2000" "Exec=kaptivus2000" "Icon=kaptivus2000" "Categories=Graphics;Utility;" \
    "StartupNotify=false" "Type=Application"; do
    grep -qxF "$line" "$app" || fail "desktop entry lacks $line"
done
grep -q '^Comment=' "$app" && grep -q '^Comment\[fr\]=' "$app" || fail "desktop entry lacks its English or French comment"

appstreamcli validate --no-net "$dest/usr/share/metainfo/org.kaptivus.kaptivus2000.metainfo.xml" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$dest" >/dev/null || fail "appstreamcli validate-tree: the AppStream data, desktop entry and icons do not fit together"
grep -q '<launchable type="desktop-id">org.kaptivus.kaptivus2000.desktop</launchable>' "$dest"/usr/share/metainfo/*.xml \
    || fail "the AppStream data does not launch the installed desktop entry"

# Each theme icon is the program's own icon enlarged pixel for pixel: scaled
# back down by sampling it gives the original exactly.
for size in 16 32 48 64 128 256; do
    icon="$dest/usr/share/icons/hicolor/${size}x${size}/apps/kaptivus2000.png"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $size has the wrong size"
    if (( size % 32 == 0 )); then base=32; else base=16; fi
    convert "$icon" -sample ${base}x${base} -alpha on "$work/back.png"
    convert "$src/resources/kaptivus$base.png" -alpha on "$work/original.png"
    diff=$(compare -metric AE "$work/back.png" "$work/original.png" null: 2>&1 || true)
    [ "$diff" = 0 ] || fail "icon $size is not the program's $base-pixel icon enlarged ($diff pixels differ)"
done

man="$dest/usr/share/man/man1/kaptivus2000.1.gz"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page has formatting problems: $warnings"
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$man" 2>/dev/null)
for needle in OPTIONS FILES HOTKEYS "--autostart on|off" "--version" "Print Screen" "Alt+Print Screen" \
    "Kaptivus2000/registry.reg" "autostart/org.kaptivus.kaptivus2000.desktop" "registry.reg.bad"; do
    [[ $text == *"$needle"* ]] || fail "the manual page does not mention $needle"
done
echo "install layout: $(wc -l < "$here/expected_files.txt") files in place and valid"
