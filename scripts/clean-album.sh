#!/usr/bin/env bash
# Removes every file that quorvel wrote into an album tree, and nothing else:
# the derived pictures (.vi.jpg, .vr.jpg, .md.jpg), the picture pages
# (name.html or name.md.html beside a picture name.jpg or name.gif), the
# quorvel*.html pages, the play lists liste.m3u and the temporaries an
# interrupted run may leave (.quorvel-tmp-XXXXXXXXXX, and name.quorvel-tmp
# from earlier versions); and cv.html in the current directory when it is
# quorvel's. Run it where you ran quorvel.
#
#   clean-album.sh <album-dir>
set -euo pipefail

if (($# != 1)) || [[ ! -d "$1" ]]; then
  echo "usage: $0 <album-dir>" >&2
  exit 2
fi

# A page name.html (or name.md.html) belongs to quorvel only when the picture
# it shows lies beside it; a page of the user's own is kept. Extensions are
# matched without regard to case, as quorvel matches them.
shopt -s nullglob
is_picture_page() {
  local base="${1%.html}"
  base="${base%.md}"
  local pictures=("$base".[Jj][Pp][Gg] "$base".[Gg][Ii][Ff])
  ((${#pictures[@]} > 0))
}

# Listed first, removed after: a page is judged while its picture is there.
doomed=()
while IFS= read -r -d '' f; do
  case "${f##*/}" in
    *.vi.jpg | *.vr.jpg | *.md.jpg | *.quorvel-tmp | .quorvel-tmp-* | quorvel*.html | liste.m3u) doomed+=("$f") ;;
    *.html) is_picture_page "$f" && doomed+=("$f") ;;
  esac
done < <(find "$1" -type f \( -name '*.jpg' -o -name '*.quorvel-tmp' -o -name '.quorvel-tmp-*' -o -name '*.html' -o -name liste.m3u \) -print0)

if ((${#doomed[@]})); then rm -f -- "${doomed[@]}"; fi
# cv.html is quorvel's by quorvel's own rule (it rewrites only such a page):
# a regular file of at most 64 KiB holding the marker line, or byte for byte
# the page of quorvel 1.0.0, known by its size and 64-bit FNV-1a hash. One
# whose marker line the user removed is the user's now, and stays.
fnv1a() {
  local hash=-3750763034362895579 byte  # 0xcbf29ce484222325, as bash's signed 64 bits
  for byte in $(od -An -v -tu1 -- "$1"); do hash=$(((hash ^ byte) * 0x100000001b3)); done
  printf '%016x' "$hash"
}
is_own_cv() {
  [[ -f cv.html && ! -L cv.html ]] || return 1
  local size
  size=$(stat -c %s cv.html)
  ((size <= 65536)) || return 1
  grep -qF -- '<!-- quorvel-about-page:' cv.html && return 0
  ((size == 1781)) && [[ "$(fnv1a cv.html)" == 013ccf67028cef18 ]]
}
if is_own_cv; then rm -f cv.html; fi
