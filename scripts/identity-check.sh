#!/usr/bin/env bash
# Checks that a change to quorvel's internals changed nothing it writes or
# prints: runs a reference binary (with no QUORVEL_JOBS) and the binary under
# test (QUORVEL_JOBS=1, 2 and 3) on copies of one album tree, and compares every
# file byte for byte, standard output, standard error and the exit status.
#
#   [CURRENT=1] scripts/identity-check.sh [REF-BINARY] [TREE]
#
# REF-BINARY (or "") defaults to /tmp/qv-ref-3d13691/quorvel, built there from commit
# 3d13691 when missing. The binary under test is NEW (environment), else
# build-release/quorvel built from this tree. TREE is a tree of real photos;
# by default scripts/make-photo-tree.sh makes one of 40. MP3 files and
# videos from samples/music are added to a few of its directories, and copies
# of some photos under each Exif orientation to one more.
# The runs use six sets of options; each run starts in a directory of its own
# and names the tree by the same relative path, so pages that embed paths
# compare. cv.html is compared with the reference apart: it may name a version.
# Each set runs twice: the second run, over what the first made, is compared
# in the same way.
# Ends with status 0 when everything else is the same, 1 otherwise; KEEP=1
# (environment) keeps the runs for a look at what differs.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in identify jpegtran exiftool convert cwebp heif-enc avifenc; do
  command -v "$tool" >/dev/null || { echo "identity-check: $tool is missing (imagemagick, libjpeg-turbo-progs, libimage-exiftool-perl, webp, libheif-examples, libavif-bin)" >&2; exit 1; }
done
root="$(pwd)"
ref="${1:-/tmp/qv-ref-3d13691/quorvel}"
work="$(mktemp -d)"
trap '[[ -n "${KEEP:-}" ]] && echo "runs kept in $work" || rm -rf "$work"' EXIT

if [[ ! -x "$ref" ]]; then
  [[ -n "${1:-}" ]] && { echo "identity-check: no binary $ref" >&2; exit 2; }
  echo "building the reference from 3d13691 into $ref"
  mkdir -p "$work/ref-src" "$(dirname "$ref")"
  git archive 3d13691 | tar -x -C "$work/ref-src"
  cmake -S "$work/ref-src" -B "$work/ref-src/build" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
  cmake --build "$work/ref-src/build" -j2 --target quorvel >/dev/null
  cp "$work/ref-src/build/quorvel" "$ref"
  rm -rf "$work/ref-src"
fi
new="${NEW:-}"
if [[ -z "$new" ]]; then
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
  cmake --build build-release -j2 --target quorvel >/dev/null
  new="$root/build-release/quorvel"
fi

album="$work/album"
if [[ -n "${2:-}" ]]; then
  cp -a "$2" "$album"
else
  scripts/make-photo-tree.sh -n 40 "$album" >"$work/photo-tree.log" 2>&1 ||
    { cat "$work/photo-tree.log" >&2; exit 1; }
fi
# Music and videos beside the photos of two albums (one also with an .avi,
# which is only linked), and in a directory of their own with no pictures.
mapfile -t dirs < <(find "$album" -iname '*.jpg' -printf '%h\n' | sort -u | head -2)
(( ${#dirs[@]} == 2 )) || { echo "identity-check: the tree needs photos in two directories" >&2; exit 1; }
cp samples/music/*.mp3 samples/music/*.mp4 samples/music/*.mpg "${dirs[0]}/"
cp samples/music/*.mp3 "${dirs[1]}/"
cp samples/music/mire.mpg "${dirs[1]}/clip.avi"
mkdir -p "$album/musique"
cp samples/music/* "$album/musique/"
# Photos under every Exif orientation (the tag only: the scans are the same
# bytes): the smallest of each sampling and scan kind in the tree, and one cut
# to a size that ends inside a block.
mkdir -p "$album/orientations"
find "$album" -iname '*.jpg' -print0 |
  xargs -0 identify -format '%[fx:w*h] %[jpeg:sampling-factor]/%[interlace] %d/%f\n' 2>/dev/null |
  LC_ALL=C sort -n | LC_ALL=C awk '!seen[$2]++ { sub(/^[^ ]+ [^ ]+ /, ""); print }' >"$work/kinds"
i=0
while IFS= read -r photo; do
  i=$((i + 1))
  cp "$photo" "$work/kind$i.jpg"
done <"$work/kinds"
jpegtran -copy all -crop 1283x967+0+0 -outfile "$work/kind0.jpg" "$work/kind1.jpg"
for k in 1 2 3 4 5 6 7 8; do
  for f in "$work"/kind*.jpg; do cp "$f" "$album/orientations/$(basename "$f" .jpg)-$k.jpg"; done
  exiftool -q -q -n -Orientation="$k" -overwrite_original "$album"/orientations/kind*-"$k".jpg
done
# Pictures the libraries have words for, so that both streams and the status
# are compared on failures too: one cut short (warnings, then made), one with
# a second frame header in its scan (a library error: left out, status 1),
# and one whose header claims 30000 x 30000 (refused before decoding).
mkdir -p "$album/damaged"
python3 - "$work/kind1.jpg" "$album/damaged" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
out = sys.argv[2]
# The file's own segments, walked by their lengths (an Exif thumbnail
# holds markers of its own): the frame header, then the first scan.
at, frame = 2, None
while data[at + 1] != 0xDA:
    if data[at + 1] in (0xC0, 0xC1, 0xC2):
        frame = at
    at += 2 + int.from_bytes(data[at + 2:at + 4], 'big')
sof = bytes.fromhex('ffc00011080010001003012200021101031101')
open(out + '/broken.jpg', 'wb').write(data[:at + 400] + sof + data[at + 400:])
huge = bytearray(data)
huge[frame + 5:frame + 9] = bytes([0x75, 0x30, 0x75, 0x30])
open(out + '/huge.jpg', 'wb').write(bytes(huge))
open(out + '/cut.jpg', 'wb').write(data[:len(data) * 2 // 3])
EOF
# GIFs (one cut short, which gd has words for) beside the photos, and a
# directory of every format -allpics reads, a damaged PNG among them.
mkdir -p "$album/formats"
small="$work/small.png"
convert "$work/kind1.jpg" -resize 900x700 "$small"
convert "$small" "$album/damaged/plain.gif"
convert "$small" -resize 50x40 "$album/damaged/tiny.gif"
head -c 3000 "$album/damaged/plain.gif" >"$album/damaged/cutgif.gif"
# An image 0 pixels wide in its descriptor: gd has words for it.
python3 - "$album/damaged/plain.gif" "$album/damaged/zero.gif" <<'PYEOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = 13 + ((3 << ((data[10] & 7) + 1)) if data[10] & 0x80 else 0)
while data[at] == 0x21:  # an extension: its label, then sub-blocks up to an empty one
    at += 2
    while data[at]:
        at += data[at] + 1
    at += 1
assert data[at] == 0x2C
data[at + 5:at + 7] = b'\0\0'
open(sys.argv[2], 'wb').write(bytes(data))
PYEOF
cp "$work/kind1.jpg" "$album/formats/photo.jpeg"
cp "$small" "$album/formats/rgb.png"
convert "$small" -alpha set -channel A -evaluate set 60% +channel -interlace PNG "$album/formats/alpha-interlaced.png"
convert "$small" -depth 16 "$album/formats/deep.png"
convert "$small" -colors 64 -type Palette "$album/formats/palette.png"
head -c 20000 "$small" >"$album/formats/cut.png"
cwebp -quiet -q 80 "$small" -o "$album/formats/lossy.webp"
cwebp -quiet -lossless "$small" -o "$album/formats/lossless.webp"
heif-enc -q 60 -o "$album/formats/phone.heic" "$small" >/dev/null
avifenc -j 1 "$small" "$album/formats/phone.avif" >/dev/null
cp samples/music/mire.mp4 "$album/formats/"
# A damaged file of every added format, so that their libraries' own lines
# (the AV1 decoder's among them) are compared in walk order too.
head -c 6000 "$album/formats/lossy.webp" >"$album/formats/cut.webp"
head -c 9000 "$album/formats/phone.heic" >"$album/formats/cut.heic"
# The AV1 decoder's own words: the first coded unit of an AVIF without
# metadata (else the Exif comes first in its data) given a type it knows not.
avifenc -j 1 --ignore-exif --ignore-xmp "$small" "$work/plain.avif" >/dev/null
python3 - "$work/plain.avif" "$album/formats/obu.avif" <<'PYEOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[data.find(b'mdat') + 4] = 0
open(sys.argv[2], 'wb').write(bytes(data))
PYEOF
echo "tree: $(find "$album" -iname '*.jpg' | wc -l) photos, $(find "$album" -type d | wc -l) directories; reference $ref; new $new"

fail=0
check() {  # check LABEL A B [cv]: compares the runs A and B
  local label="$1" a="$2" b="$3" what=()
  cd "$work"
  if [[ "${4:-}" == cv ]]; then
    diff -rq -x cv.html "$a" "$b" >diff || what+=("files")
    cmp -s "$a/cv.html" "$b/cv.html" || echo "  note: cv.html differs between $a and $b ($(cmp "$a/cv.html" "$b/cv.html" | head -1))"
  else
    diff -rq "$a" "$b" >diff || what+=("files")
  fi
  for s in out err status; do cmp -s "$a.$s" "$b.$s" || what+=("std$s"); done
  if (( ${#what[@]} )); then
    fail=1
    echo "  FAIL $label: ${what[*]} differ"
    sed 's/^/    /' diff | head -20
    for s in out err status; do cmp -s "$a.$s" "$b.$s" || diff "$a.$s" "$b.$s" | sed 's/^/    /' | head -10; done
  else
    echo "  same $label: every file, stdout ($(wc -l <"$a.out") lines), stderr ($(wc -l <"$a.err") lines), status $(cat "$a.status")"
  fi
  cd "$root"
}
n=0
# The last sets hold options the reference may not know: their runs are only
# compared with each other, unless CURRENT=1 (environment) says the reference
# is a recent build that knows every option.
# Sets with -nav or -hidpi write what the reference never wrote (-nav's own
# pages change, videos stand among the pictures; -hidpi's files, -exif over
# the added formats): their runs are only compared with each other.
for opts in "-mp3 -video -shadow" "-notree -date -mp3 -mp3KoMo -video" "-exif -mp3" "-nav -exif -video" \
  "-allpics -nav -video" "-allpics -exif -hidpi -nav" "-today"; do
  n=$((n + 1)); set_="set$n"
  echo "options $opts:"
  # Then a second run over what the first made: it makes nothing, and
  # takes what it can from the files the first run left.
  for pass in "" -warm; do
    for run in ref j1 j2 j3; do
      if [[ -z "$pass" ]]; then
        mkdir -p "$work/$set_-$run"
        cp -a "$album" "$work/$set_-$run/album"
      else
        mv "$work/$set_-$run" "$work/$set_-$run$pass"
      fi
      case "$run" in
        ref) bin="$ref"; jobs= ;;
        j1) bin="$new"; jobs=1 ;;
        j2) bin="$new"; jobs=2 ;;
        j3) bin="$new"; jobs=3 ;;
      esac
      status=0
      # shellcheck disable=SC2086 # the options are words
      (cd "$work/$set_-$run$pass" && env -u QUORVEL_JOBS ${jobs:+QUORVEL_JOBS=$jobs} "$bin" album $opts \
        >"$work/$set_-$run$pass.out" 2>"$work/$set_-$run$pass.err") || status=$?
      echo "$status" >"$work/$set_-$run$pass.status"
    done
    [[ ( -z "${CURRENT:-}" && ( "$opts" == -exif* || "$opts" == -nav* || "$opts" == -allpics* ) ) ||
      "$opts" == *-hidpi* || "$opts" == *-nav* || "$opts" == -today ]] ||
      check "new with QUORVEL_JOBS=1 against the reference${pass:+, second run}" "$set_-ref$pass" "$set_-j1$pass" cv
    check "new with QUORVEL_JOBS=2 against QUORVEL_JOBS=1${pass:+, second run}" "$set_-j1$pass" "$set_-j2$pass"
    check "new with QUORVEL_JOBS=3 against QUORVEL_JOBS=1${pass:+, second run}" "$set_-j1$pass" "$set_-j3$pass"
  done
done
if (( fail )); then echo "identity check: FAIL"; exit 1; fi
echo "identity check: PASS"
