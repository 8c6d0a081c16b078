#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build tree, checks it with lintian and apt, then
# unpacks it, runs the packaged quemador1-calc once and starts the packaged program
# under the X server in DISPLAY.
# Usage: check_package.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "$build/package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(ls "$work"/quemador1_*.deb)
echo "built $(basename "$deb")"

TMPDIR=$work lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb"
echo "lintian: clean"

apt-get install --simulate "$deb" >/dev/null
echo "apt: installable"

# Without dpkg-shlibdeps the package would carry only the hand-written dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
  [[ $depends == *"$library "* ]] || { echo "FAIL: Depends lacks $library: $depends"; exit 1; }
done
echo "depends: $depends"

dpkg-deb -x "$deb" "$work/root"
bash "$here/check_runpath.sh" --none "$work/root/usr/bin"
# Debian's hardening, in each program: full RELRO with BIND_NOW, the stack protector,
# fortified library functions.
for program in quemador1 quemador1-calc; do
  binary="$work/root/usr/bin/$program"
  readelf -lW "$binary" | grep -q GNU_RELRO || { echo "FAIL: $program has no RELRO"; exit 1; }
  readelf -dW "$binary" | grep -qE 'BIND_NOW|FLAGS.*NOW' || { echo "FAIL: $program is not BIND_NOW"; exit 1; }
  symbols=$(readelf --dyn-syms -W "$binary")
  grep -q __stack_chk_fail <<< "$symbols" || { echo "FAIL: $program has no stack protector"; exit 1; }
  grep -qE '__[a-z]+_chk@' <<< "$symbols" || { echo "FAIL: $program has no fortified functions"; exit 1; }
done
echo "hardening: RELRO, BIND_NOW, stack protector and fortified functions in both programs"
calc=$("$work/root/usr/bin/quemador1-calc" --combustible gas --o2 3 --temp 300 | head -n 2)
[ "$calc" = "$(printf 'Exceso de aire (%%):  15.66\nEficiencia (%%):      83.94')" ] || {
  echo "packaged quemador1-calc printed: $calc"; exit 1; }
echo "quemador1-calc: calculates"
bash "$here/e2e.sh" "$work/root/usr/bin/quemador1"
