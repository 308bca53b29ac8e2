#!/usr/bin/env bash
# The Debian package, made by CPack from this build, carries the expected files
# and computed library dependencies, installs with apt-get, runs from the
# installed path, and its removal leaves nothing behind. Lintian finds no error
# and no missing hardening.
# Usage: deb_test.sh BUILD_DIR   (needs root, or sudo without a password)
set -euo pipefail
build=$(cd "${1:?usage: deb_test.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && sudo -n true 2>/dev/null \
        || skip "installing a package needs root, and sudo without a password is not available"
    as_root=(sudo -n)
fi
command -v apt-get >/dev/null && command -v dpkg-shlibdeps >/dev/null || skip "not a Debian system with dpkg-dev"
dpkg-query -W -f='${Status}' kaptivus2000 2>/dev/null | grep -q 'install ok installed' \
    && skip "kaptivus2000 is installed on this machine already; this test does not touch a package it did not install"

work=$(mktemp -d "${TMPDIR:-/tmp}/deb.XXXXXX")
chmod 755 "$work"
installed=0
cleanup() {
    if [ $installed -eq 1 ]; then "${as_root[@]}" apt-get remove --purge -y -qq kaptivus2000 >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300)

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/kaptivus2000_5.10_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$work")"

[ "$(dpkg-deb -f "$deb" Package)" = kaptivus2000 ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 5.10 ] || fail "version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqt6gui6 libjpeg62-turbo libxcb1 qt6-translations-l10n; do
    [[ $depends == *"$lib "* || $depends == *"$lib,"* || $depends == *"$lib" ]] || fail "Depends lacks $lib: $depends"
done
diff -u "$here/expected_files.txt" <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort) \
    || fail "the package's files differ from the expected list"

if command -v lintian >/dev/null; then
    HOME="$work" lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 \
        || { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }
    cat "$work/lintian.log"
    # Hardening flags reach the packaged binary; fortify only where the build optimises without sanitizers.
    cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
    unhardened='hardening-no-(relro|bindnow|pie|stackprotector)'
    case "$(cache_value CMAKE_BUILD_TYPE)/$(cache_value KAPTIVUS_SANITIZE)" in
        Release/OFF|RelWithDebInfo/OFF|MinSizeRel/OFF) unhardened='hardening-' ;;
    esac
    ! grep -E "$unhardened" "$work/lintian.log" || fail "lintian finds the program built without hardening"
fi

# Directories present now stay; everything else the package brought must go.
while read -r path; do
    d="/$path"
    while d=$(dirname "$d"); [ "$d" != / ]; do [ -d "$d" ] && echo "$d"; done
done < "$here/expected_files.txt" | sort -u > "$work/dirs-before"
echo /. >> "$work/dirs-before"

installed=1
"${apt[@]}" install "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install"; }
version=$(env -i PATH=/usr/bin:/bin kaptivus2000 --version) || fail "the installed program does not run"
[ "$(command -v kaptivus2000)" = /usr/bin/kaptivus2000 ] || fail "kaptivus2000 is not on the path as /usr/bin/kaptivus2000"
[ "$version" = "Kaptivus 2000 5.10" ] || fail "installed --version says: $version"
env -i PATH=/usr/bin:/bin kaptivus2000 --help | grep -q -- "--capture" || fail "the installed --help does not list --capture"
dpkg -L kaptivus2000 > "$work/listed"
grep -qx /usr/share/applications/org.kaptivus.kaptivus2000.desktop "$work/listed" || fail "dpkg -L does not list the desktop entry"

"${apt[@]}" remove --purge kaptivus2000 >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get remove"; }
installed=0
! dpkg -L kaptivus2000 >/dev/null 2>&1 || fail "dpkg still lists kaptivus2000 after removal"
left=()
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    [ -d "$path" ] && grep -qxF "$path" "$work/dirs-before" && continue
    left+=("$path")
done < "$work/listed"
[ ${#left[@]} -eq 0 ] || fail "left behind after removal: ${left[*]}"
echo "package: built, installed, ran ($version) and removed without a trace"
