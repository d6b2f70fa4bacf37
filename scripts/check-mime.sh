#!/usr/bin/env bash
# Reads files through a MIME database made of the system's types and the given package of ours,
# as a file manager does (gio): Quv files of every version are told by their first bytes, the
# other types keep their own magic, and a name ending in .quv wins over content.
# Usage: scripts/check-mime.sh MIME_PACKAGE  (exit 77: the tools are missing)
set -euo pipefail
package="$1"
for tool in update-mime-database gio; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool missing"; exit 77; }
done
system=/usr/share/mime/packages/freedesktop.org.xml
[ -f "$system" ] || { echo "skipped: $system missing"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime/packages" "$work/home" "$work/files"
cp "$system" "$work/data/mime/packages/"
cp "$package" "$work/data/mime/packages/vellicor.xml"
if ! out="$(update-mime-database "$work/data/mime" 2>&1)"; then
  echo "FAILED: update-mime-database: $out" >&2
  exit 1
fi

failures=0
# A file of 12 header bytes (given as printf escapes) and some image data behind them.
sample() {
  printf "$2" > "$work/files/$1"
  head -c 256 /dev/zero | tr '\0' '\1' >> "$work/files/$1"
}
expect() {
  local file="$1" want="$2" got
  got="$(HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_DATA_DIRS="$work/data" \
    gio info -a standard::content-type "$work/files/$file" |
    sed -n 's/^ *standard::content-type: //p')"
  if [ "$got" = "$want" ]; then
    echo "ok: $file is $got"
  else
    echo "FAILED: $file is '$got', not $want" >&2
    failures=$((failures + 1))
  fi
}

# Version words: the current one and others the reader opens with a warning, one image each.
sample version-1-1 '\x00\x01\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00'
sample version-2-1 '\x00\x02\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00'
sample version-1-2 '\x00\x01\x02\x00\x01\x00\x00\x00\x00\x00\x00\x00'
sample version-0-2 '\x00\x00\x02\x00\x00\x01\x00\x00\x00\x00\x00\x00'
sample version-255-255 '\x00\xff\xff\x00\x10\x00\x00\x00\x00\x00\x00\x00'
for version in 1-1 2-1 1-2 0-2 255-255; do expect "version-$version" application/x-quv; done
# Not a Quv file: a zero version word, a negative entry count, a word of another shape.
sample zero-version '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00'
sample negative-count '\x00\x02\x01\x00\x01\x00\x00\x80\x00\x00\x00\x00'
sample other-word '\x01\x02\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00'
for file in zero-version negative-count other-word; do expect "$file" application/octet-stream; done
# A Windows icon (00 00 01 00, a count, and no zero byte 5) stays an icon...
sample icon '\x00\x00\x01\x00\x01\x00\x10\x10\x00\x00\x01\x00'
expect icon image/vnd.microsoft.icon
# ...but a file named as a Quv file is one, whatever its first bytes.
cp "$work/files/icon" "$work/files/icon.quv"
cp "$work/files/zero-version" "$work/files/SPRITE.QUV"
expect icon.quv application/x-quv
expect SPRITE.QUV application/x-quv

echo "MIME package: $failures failures"
[ "$failures" -eq 0 ]
