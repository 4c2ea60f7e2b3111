#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that the programs and the
# desktop integration land where desktops look for them.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: install_test.sh BUILD_DIR}"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
executable() { [ -x "$prefix/$1" ] && [ -f "$prefix/$1" ] || fail "$1 is not an installed program"; }
present() { [ -s "$prefix/$1" ] || fail "$1 is missing or empty"; }
line() { grep -qxF "$2" "$prefix/$1" 2>/dev/null || fail "$1 lacks the line '$2'"; }

executable bin/vellicor
# The command-line checker is installed whenever the build has it.
if [ -e "$build/cli/vellicor-check" ]; then executable bin/vellicor-check; fi
if [ -e "$build/repair/vellicor-repair" ]; then executable bin/vellicor-repair; fi
if [ -e "$build/anonymize/vellicor-anonymize" ]; then executable bin/vellicor-anonymize; fi

present share/doc/Vellicor/LICENSE

desktop=share/applications/vellicor.desktop
present "$desktop"
line "$desktop" "[Desktop Entry]"
line "$desktop" "Type=Application"
line "$desktop" "Exec=vellicor %f"
line "$desktop" "Icon=vellicor"
line "$desktop" "MimeType=application/edf;application/x-bdf;"

mime=share/mime/packages/vellicor-edf.xml
present "$mime"
for size in 16 24 32 48 64 128 256; do
  icon="share/icons/hicolor/${size}x${size}/apps/vellicor.png"
  present "$icon"
  # PNG signature and the stated size in the header (bytes 16-23).
  if [ -s "$prefix/$icon" ]; then
    [ "$(head -c 8 "$prefix/$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
      fail "$icon is not a PNG"
    dims=$(od -An -tu1 -j16 -N8 "$prefix/$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "$icon is $dims"
  fi
done
present share/icons/hicolor/scalable/apps/vellicor.svg

# The file type must be understood by the desktop's own tools, when present.
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database rejects $mime"
  # Globs are matched without regard to case, so *.EDF is folded into *.edf.
  grep -qxF "application/edf:*.edf" "$prefix/share/mime/globs" 2>/dev/null ||
    fail "no glob *.edf for application/edf"
  grep -qxF "application/x-bdf:*.bdf" "$prefix/share/mime/globs" 2>/dev/null ||
    fail "no glob *.bdf for application/x-bdf"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects $desktop"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install layout OK"
