#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what desktops and packagers need:
# the programs, a valid desktop entry, its icon, valid AppStream metadata, the manual pages.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null

for f in bin/zep bin/zepctl bin/zep-sim \
         share/applications/net.zep.Zep.desktop \
         share/icons/hicolor/scalable/apps/net.zep.Zep.svg \
         share/metainfo/net.zep.Zep.metainfo.xml \
         share/man/man1/zep.1 share/man/man1/zepctl.1 share/man/man1/zep-sim.1 \
         share/bash-completion/completions/zepctl; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
[ -x "$prefix/bin/zep" ] && [ -x "$prefix/bin/zep-sim" ] || { echo "programs not executable"; exit 1; }
desktop-file-validate "$prefix/share/applications/net.zep.Zep.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/net.zep.Zep.metainfo.xml" > /dev/null
# The manual pages format without warnings.
for page in zep zepctl zep-sim; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null || true)
  [ -z "$out" ] || { echo "$page.1: $out"; exit 1; }
done
# The installed program answers without a display.
env -u DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/zep" --version | grep -q "zep"
"$prefix/bin/zepctl" --version | grep -q "zepctl"
bash -n "$prefix/share/bash-completion/completions/zepctl"
echo "install check passed"
