#!/usr/bin/env bash
# Builds the Debian package of an existing build and checks it as a user
# would meet it: its Depends and file list, lintian, then the sample album made with
# the binary and the modern theme taken out of the package, then the album
# cleaner, after which the tree must equal samples/ again.
#
#   scripts/package-test.sh <build-dir>
set -euo pipefail

if (($# != 1)); then
  echo "usage: $0 <build-dir>" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
cd "$(dirname "$0")/.."
samples="$(pwd)/samples"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}

rm -f "$build"/quorvel_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/quorvel_*_*.deb)
((${#debs[@]} == 1)) && [[ -f "${debs[0]}" ]] || fail "cpack made no quorvel_<version>_<arch>.deb"
deb="${debs[0]}"
echo "package: ${deb##*/}"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# libjpeg is linked (shlibdeps names it); the loaded libraries come from their table.
mapfile -t loaded < <(awk '/^[A-Za-z]/ { print $4 }' src/img/format_libraries.list)
((${#loaded[@]})) || fail "no library in src/img/format_libraries.list"
for lib in libjpeg62-turbo "${loaded[@]}"; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends names no $lib"
done

files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)"
expected="./usr/bin/quorvel
./usr/share/doc/quorvel/changelog.gz
./usr/share/doc/quorvel/copyright
./usr/share/man/man1/quorvel.1.gz
./usr/share/quorvel/clean-album.sh
./usr/share/quorvel/themes/dark.conf
./usr/share/quorvel/themes/modern.conf"
[[ "$files" == "$expected" ]] || fail "the package holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected"

# Debian's own checks of a package: no error may stand (lintian warns that
# it runs as root, which the CI does).
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian finds errors"

dpkg-deb -x "$deb" "$work/root"
# The interruption test's kill hook belongs to test builds only.
! grep -q QUORVEL_TEST_KILL "$work/root/usr/bin/quorvel" || fail "the packaged binary holds the test hook"
cp -r "$samples" "$work/album"
(cd "$work" && root/usr/bin/quorvel album -mp3 -video -conf:root/usr/share/quorvel/themes/modern.conf \
  >/dev/null)
grep -q 'name="viewport"' "$work/album/quorvelFrameset.html" || fail "the album does not wear the theme"
grep -q '<video src="mire.mp4"' "$work/album/music/quorvelVideo.html" || fail "mire.mp4 has no player"

(cd "$work" && root/usr/share/quorvel/clean-album.sh album)
[[ ! -e "$work/cv.html" ]] || fail "the cleaner left cv.html"
diff -r "$samples" "$work/album" || fail "after the cleaner the album differs from samples/"
echo "# package: pass"
