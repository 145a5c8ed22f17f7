#!/usr/bin/env bash
# Makes the release in dist/: halvik-<version>-win32.zip and halvik-<version>-win64.zip, each with
# halvik.exe, the user guide, the licence and a SHA256SUMS of them, and dist/SHA256SUMS of the
# zips. Each program is built twice from scratch with its release preset (release-win32,
# release-win64: tests off), in the preset's build directory build/release-*-a and again in -b;
# the release is made only when both builds give byte-identical programs that carry no path of
# this machine. Then scripts/sign.sh signs each program when the environment names a certificate
# (see there), before it is packaged, so that the zip, its SHA256SUMS and dist/SHA256SUMS hold the
# signed program; and packaging/write_manifests.py writes the Scoop and winget manifests of the
# zips into dist/, which it refuses to do while they would name a placeholder address, unless
# given --allow-placeholders.
# HALVIK_SIGN_PASSWORD reaches the signing step alone: it is taken out of the environment of
# everything else that this script starts. The signing step is started in the folder this script
# was started in, where the files that the environment names are found.
#   release.sh [--allow-placeholders]
set -euo pipefail
export -n HALVIK_SIGN_PASSWORD
callers_folder=$PWD
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
[ $# -eq 0 ] || [ "$*" = --allow-placeholders ] || fail "usage: release.sh [--allow-placeholders]"

./scripts/install-deps.sh || fail "the packages could not be installed (as root, or with sudo?)"

clean_build() {  # PRESET BUILD-DIRECTORY
  rm -rf "$2"
  build_preset "$1" -B "$2"
}

rm -rf dist
mkdir dist
for arch in win32 win64; do
  first=build/release-$arch-a
  second=build/release-$arch-b
  echo "== building the $arch halvik.exe twice: $first and $second"
  clean_build "release-$arch" "$first"
  clean_build "release-$arch" "$second"
  program=$first/bin/halvik.exe
  cmp -s "$program" "$second/bin/halvik.exe" ||
    fail "the two $arch builds of halvik.exe differ, so the build is not reproducible"
  ! grep -qF "$PWD" "$program" || fail "the $arch halvik.exe contains the path $PWD"
  echo "the two builds are byte-identical: halvik.exe $(sha256sum <"$program" | cut -d' ' -f1)"
  (export HALVIK_SIGN_PASSWORD && cd "$callers_folder" &&
    "$OLDPWD/scripts/sign.sh" "$OLDPWD/$program") || fail "halvik.exe could not be signed"
  (cd "$first" && cpack >/dev/null) || fail "cpack could not package $first"
  mv "$first"/halvik-*-"$arch".zip dist/
done
(cd dist && sha256sum halvik-*.zip >SHA256SUMS)
python3 packaging/write_manifests.py "$@" build/release-win64-a dist ||
  fail "the Scoop and winget manifests could not be written"

echo "== dist/"
find dist -type f -printf '%s bytes  %p\n' | sort -k3
echo "dist/SHA256SUMS:"
cat dist/SHA256SUMS
