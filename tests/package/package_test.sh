#!/usr/bin/env bash
# Package test: builds the Debian package and the tarball from a build folder,
# checks the Debian package with lintian, unpacks it into a temporary root,
# checks what it holds and converts the sample log with the installed binary,
# the names piped in; checks that the tarball holds the same files.
#
# Usage: package_test.sh <build folder>
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 <build folder>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
sample=$repo/samples/pv-log.csv

work=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

passes=0
failures=0
# check <description> <command...>: runs the command and counts the outcome.
check() {
  local description=$1
  shift
  if "$@"; then
    echo "ok: $description"
    passes=$((passes + 1))
  else
    echo "FAIL: $description"
    failures=$((failures + 1))
  fi
}

# ---- Build and unpack the package -------------------------------------------

if ! (cd "$build" && cpack -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not build the packages"
  exit 1
fi
shopt -s nullglob
packages=("$work"/out/*.deb)
tarballs=("$work"/out/*.tar.gz)
if [ ${#packages[@]} -ne 1 ] || [ ${#tarballs[@]} -ne 1 ]; then
  echo "FAIL: expected one package and one tarball, found ${#packages[@]} and ${#tarballs[@]}"
  exit 1
fi
package=${packages[0]}
tarball=${tarballs[0]}
root=$work/root
dpkg -x "$package" "$root"

# ---- Control fields and file name --------------------------------------------

field() { dpkg-deb -f "$package" "$1"; }
name=$(basename "$package")
depends=$(field Depends)
check "file name $name" [ "$name" = "lumetra_$(field Version)_$(dpkg --print-architecture).deb" ]
check "package name $(field Package)" [ "$(field Package)" = lumetra ]
check "section $(field Section)" [ "$(field Section)" = utils ]
check "maintainer $(field Maintainer)" [ -n "$(field Maintainer)" ]
check "description" [ -n "$(field Description)" ]
# The dependencies come from the libraries the binary links.
check "computed dependencies: $depends" [ "${depends/libc6/}" != "$depends" ]

# lintian's errors fail the test; its other findings are shown.
if command -v lintian >/dev/null; then
  status=0
  lintian --fail-on error --pedantic "$package" >"$work/lintian.log" 2>&1 || status=$?
  sed 's/^/  lintian: /' "$work/lintian.log"
  check "lintian reports no error" [ "$status" -eq 0 ]
fi

# ---- Contents ----------------------------------------------------------------

binary=$root/usr/bin/lumetra
manual=$root/usr/share/man/man1/lumetra.1.gz
documents=$root/usr/share/doc/lumetra
files_under() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort | tr '\n' ' '); }
files=$(files_under "$root")
check "package files: $files" [ "$files" = "usr/bin/lumetra usr/share/doc/lumetra/changelog.gz \
usr/share/doc/lumetra/copyright usr/share/man/man1/lumetra.1.gz " ]
check "binary is executable" [ -x "$binary" ]
check "manual page is gzip-compressed" gzip -t "$manual"
check "changelog is gzip-compressed" gzip -t "$documents/changelog.gz"

changelog_starts_with_version() { zcat "$documents/changelog.gz" | head -n 1 | grep -qF "lumetra ($(field Version))"; }
check "changelog starts with the package's version" changelog_starts_with_version
signed_by_maintainer() { zcat "$documents/changelog.gz" | grep -qF " -- $(field Maintainer)  "; }
check "changelog signed by the maintainer" signed_by_maintainer
check "copyright file in the machine-readable format" \
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$documents/copyright"

manual_title() { zcat "$manual" | grep -q '^\.TH LUMETRA 1 '; }
check "manual page title" manual_title
if command -v groff >/dev/null; then
  warnings=$(zcat "$manual" | groff -man -Tutf8 -ww 2>&1 >/dev/null || true)
  check "manual page formats without warnings: $warnings" [ -z "$warnings" ]
fi

# ---- The installed binary converts the sample --------------------------------

run=$work/run
mkdir "$run"
cp "$sample" "$run/pv-log.csv"
status=0
printf 'pv-log.csv\npv-log.txt\n' | (cd "$run" && "$binary") >"$work/stdout" 2>"$work/stderr" || status=$?
check "exit status $status $(cat "$work/stderr")" [ "$status" -eq 0 ]

# Every line after the header that holds a ";" is one record.
records=$(tail -n +2 "$sample" | grep -c ';' || true)
summary=$(printf '  Vorgang abgeschlossen. Es wurden %s Datens\x84tze geschrieben.\r' "$records")
check "summary reports $records records" env LC_ALL=C grep -qxF "$summary" "$work/stdout"
written=$(LC_ALL=C grep -c $'^\\$1;1;-\\?[0-9]\\+;[^;]*;[^;]*;[^;]*;0\r$' "$run/pv-log.txt" || true)
check "target holds $written records" [ "$written" -eq "$records" ]

# ---- The tarball holds the same files under one folder ----------------------

unpacked=$work/tarball
mkdir "$unpacked"
tar -xzf "$tarball" -C "$unpacked"
top=$(basename "$tarball" .tar.gz)
tar_files=$(files_under "$unpacked/$top")
check "tarball $top.tar.gz files: $tar_files" [ "$tar_files" = "bin/lumetra share/doc/lumetra/changelog.gz \
share/doc/lumetra/copyright share/man/man1/lumetra.1.gz " ]
version_answer=$("$unpacked/$top/bin/lumetra" --version)
check "tarball's binary answers --version: $version_answer" [ "$version_answer" = "lumetra $(field Version)" ]

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
