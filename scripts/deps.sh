#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing) needs.
# Quiet when nothing is missing.
set -euo pipefail
build_pkgs=(cmake ninja-build g++ pkgconf qt6-base-dev libxcb1-dev libxcb-keysyms1-dev libxcb-shm0-dev
    libxcb-xfixes0-dev libxcb-randr0-dev libxcb-xtest0-dev libxcb-xinput-dev libx11-dev libjpeg62-turbo-dev libgif-dev
    libcanberra-dev libpng-dev ccache libgtest-dev libgmock-dev libbenchmark-dev)
run_pkgs=(xvfb icewm x11-utils xdotool x11-apps imagemagick)
test_pkgs=(xclip x11-xserver-utils libjpeg-turbo-progs giflib-tools gifsicle python3-pil libwmf-bin emf2svg)
# Printing: the CUPS client library to hand jobs to the queues; the tests run a
# private scheduler with a PDF queue and read its output with poppler; Arial's
# metric-compatible face for the footer.
build_pkgs+=(libcups2-dev)
build_pkgs+=(libdeflate-dev) # the PNG writer's compressor
run_pkgs+=(fonts-liberation)
# Qt's own French texts for its standard dialogs (file, colour, page set-up).
run_pkgs+=(qt6-translations-l10n)
test_pkgs+=(cups cups-client cups-filters poppler-utils)
# The Debian package and its checks (cpack runs dpkg-shlibdeps and file; the
# tests validate the desktop entry, the AppStream data and the manual page).
package_pkgs=(dpkg-dev file lintian desktop-file-utils appstream man-db)
test_pkgs+=("${package_pkgs[@]}")
test_pkgs+=(xfce4-clipman dbus-daemon scrot) # a clipboard manager for the hand-off at quit; scrot for the capture benchmark
# The peer tray agent of the idle-memory benchmark: only on request
# (scripts/deps.sh bench), since it brings a second toolkit with it.
bench_pkgs=(flameshot)
test_pkgs+=(xterm)
# Native Wayland capture: the client library and the protocol files (the wlr
# ones ship with the Rust crate's sources); its tests run a headless sway with
# grim, foot and wl-clipboard, and weston as a compositor without screencopy.
build_pkgs+=(libwayland-dev wayland-protocols librust-wayland-protocols-dev)
test_pkgs+=(sway grim wl-clipboard foot weston xwayland)
run_pkgs+=(qt6-wayland) # the agent's windows on a Wayland desktop
test_pkgs+=(wtype) # types keys through the compositor, as a user's press reaches its bindings
# A FUSE file system without exclusive rename, hard links or permissions, for the saving tests.
test_pkgs+=(libfuse3-dev)
test_pkgs+=(libglib2.0-bin) # gio launch: desktop entries run as a desktop runs them
# Global shortcuts on Wayland: the portal's D-Bus client is Qt's own; its tests
# run the portal with the KDE back-end (the one that serves GlobalShortcuts in
# Debian 12) and kglobalaccel, which keeps the shortcuts (88 packages, 18 MB).
test_pkgs+=(xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin)
# The Screenshot portal's tests: the desktop portals (wlr for Screenshot, gtk
# for the permission question) on a private bus, pipewire that the portal
# wants, and slurp, which the wlr portal runs as the desktop's own chooser.
test_pkgs+=(xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire slurp)
want=("${build_pkgs[@]}" "${run_pkgs[@]}")
[ "${1:-}" = "test" ] && want+=("${test_pkgs[@]}")
[ "${1:-}" = "package" ] && want+=("${package_pkgs[@]}")
[ "${1:-}" = "bench" ] && want+=("${bench_pkgs[@]}")

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
