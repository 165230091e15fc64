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
if [[ -f cv.html ]] && grep -q '<title>quorvel</title>' cv.html; then rm -f cv.html; fi
