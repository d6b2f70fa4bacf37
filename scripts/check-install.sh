#!/usr/bin/env bash
# Installs a build into a temporary root (through DESTDIR, prefix /usr) and checks what the
# desktop reads from it: the desktop entry, the AppStream data, the MIME package and the content
# lookup it gives, the icons, the thumbnailer entry and the thumbnails it makes, the manual
# pages, the completion script and the programs' --help and --version.
# Usage: scripts/check-install.sh BUILD_DIR APP_ID
set -euo pipefail
build="$(cd "$1" && pwd)"
id="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
pass() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
# Runs a command; its output is shown only when it fails.
run() {
  local what="$1"
  shift
  if out="$("$@" 2>&1)"; then pass "$what"; else fail "$what"$'\n'"$out"; fi
}

# A Release build is installed stripped, as the package is, and its programs must carry the
# distribution's hardening.
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
hardened=false
if [ "$(cached CMAKE_BUILD_TYPE)" = Release ] && [ "$(cached VELLICOR_SANITIZE)" != ON ]; then
  hardened=true
fi
strip=()
if $hardened; then strip=(--strip); fi
DESTDIR="$work/root" cmake --install "$build" --prefix /usr "${strip[@]}" > "$work/install.log"
usr="$work/root/usr"
share="$usr/share"

for f in bin/vellicor bin/vellicor-cli; do
  if [ -x "$usr/$f" ]; then pass "$f installed"; else fail "$f missing"; fi
done
# Full RELRO (relocations read-only, bound at start), fortified and stack-protected calls, and
# no .comment (the compilers' version strings).
if $hardened; then
  for f in bin/vellicor bin/vellicor-cli; do
    [ -x "$usr/$f" ] || continue
    elf="$(readelf -lW -dW -SW --dyn-syms "$usr/$f" 2>&1)"
    missing=""
    grep -q GNU_RELRO <<< "$elf" || missing+=" RELRO"
    grep -q BIND_NOW <<< "$elf" || missing+=" BIND_NOW"
    grep -q '_chk@' <<< "$elf" || missing+=" _FORTIFY_SOURCE"
    grep -q __stack_chk_fail <<< "$elf" || missing+=" stack protector"
    grep -q '] \.comment ' <<< "$elf" && missing+=" (has .comment)"
    if [ -z "$missing" ]; then pass "$f hardened"; else fail "$f hardening:$missing"; fi
  done
else
  echo "skipped: hardening checks (not a Release build)"
fi
for f in "applications/$id.desktop" "mime/packages/$id.xml" "metainfo/$id.metainfo.xml" \
  "thumbnailers/$id.thumbnailer" "icons/hicolor/scalable/apps/$id.svg" \
  icons/hicolor/scalable/mimetypes/application-x-quv.svg \
  icons/hicolor/scalable/mimetypes/application-x-hpi.svg \
  man/man1/vellicor.1.gz man/man1/vellicor-cli.1.gz bash-completion/completions/vellicor-cli \
  doc/vellicor/copyright doc/vellicor/changelog.gz; do
  if [ -s "$share/$f" ]; then pass "$f installed"; else fail "$f missing"; fi
done
# Nothing may land outside the prefix.
if [ "$(ls "$work/root")" = usr ]; then pass "only /usr written"; else fail "files outside /usr"; fi

# PNG icons: the size in the folder name is the size of the picture.
for size in 16 22 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
  if [ -s "$png" ] && [[ "$(file -b "$png")" == "PNG image data, $size x $size,"* ]]; then
    pass "${size}px icon"
  else
    fail "${size}px icon missing or of the wrong size"
  fi
done

run "desktop-file-validate" desktop-file-validate "$share/applications/$id.desktop"
run "appstreamcli validate" appstreamcli validate --no-net --explain "$share/metainfo/$id.metainfo.xml"
run "xmllint (MIME package)" xmllint --noout "$share/mime/packages/$id.xml"
run "xmllint (metainfo)" xmllint --noout "$share/metainfo/$id.metainfo.xml"

# The MIME database of a data folder of its own, with the system's types and ours.
data="$work/data"
mkdir -p "$data/mime/packages" "$work/home"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/$id.xml" "$data/mime/packages/"
run "update-mime-database" update-mime-database "$data/mime"
mkdir -p "$work/files"
cp "$build/samples/sample.quv" "$work/files/sprite"
cp "$build/samples/sample.hpi" "$work/files/archive"
cp "$build/samples/sample.hpi" "$work/files/pack.ufo"
printf 'not a sprite' > "$work/files/named.quv"
content_type() {
  HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_DATA_DIRS="$data" \
    gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/^ *standard::content-type: //p'
}
expect_type() {
  local file="$1" want="$2" got
  got="$(content_type "$work/files/$file")"
  if [ "$got" = "$want" ]; then pass "gio: $file is $got"; else fail "gio: $file is '$got', not $want"; fi
}
expect_type sprite application/x-quv
expect_type archive application/x-hpi
expect_type pack.ufo application/x-hpi
expect_type named.quv application/x-quv

thumbnailer="$share/thumbnailers/$id.thumbnailer"
if grep -qx 'Exec=vellicor-cli thumbnail %i %o --size %s' "$thumbnailer" &&
  grep -qx 'MimeType=application/x-quv;application/x-hpi;' "$thumbnailer"; then
  pass "thumbnailer entry"
else
  fail "thumbnailer entry"
fi

# The installed thumbnailer as a file manager runs it: a Quv file and an archive without their
# extensions give PNG pictures that fit the size asked for (and, small sprites being enlarged by
# whole factors, fill more than half of it); a broken file fails, quickly, and leaves no picture.
thumbnail() {
  timeout -s KILL 20 "$usr/bin/vellicor-cli" thumbnail "$1" "$2" --size "$3" 2> "$work/thumbnail.err"
}
for input in sprite archive; do
  png="$work/$input.png"
  if thumbnail "$work/files/$input" "$png" 128 &&
    [[ "$(file -b "$png")" =~ ^PNG\ image\ data,\ ([0-9]+)\ x\ ([0-9]+),\ 8-bit/color\ RGBA ]] &&
    ((BASH_REMATCH[1] <= 128 && BASH_REMATCH[2] <= 128)) &&
    ((BASH_REMATCH[1] > 64 || BASH_REMATCH[2] > 64)); then
    pass "thumbnail of $input: ${BASH_REMATCH[1]} x ${BASH_REMATCH[2]}"
  else
    fail "thumbnail of $input: $(file -b "$png" 2>&1) $(cat "$work/thumbnail.err")"
  fi
done
code=0
thumbnail "$work/files/named.quv" "$work/broken.png" 128 || code=$?
if [ "$code" -eq 1 ] && [ -s "$work/thumbnail.err" ] && [ ! -e "$work/broken.png" ]; then
  pass "thumbnail of a broken file fails"
else
  fail "thumbnail of a broken file: exit $code, $(ls "$work"/broken.png* 2>&1)"
fi

for page in vellicor vellicor-cli; do
  file="$share/man/man1/$page.1.gz"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 > "$work/$page.txt")" || true
  if [ -z "$warnings" ] && grep -q "^NAME" "$work/$page.txt"; then
    pass "man -l $page.1"
  else
    fail "man -l $page.1: $warnings"
  fi
done

# The completion script loads, registers itself and completes a command and its options.
completions="$(bash --norc -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  complete -p vellicor-cli > /dev/null || exit 1
  COMP_WORDS=(vellicor-cli ex); COMP_CWORD=1; COMP_LINE="vellicor-cli ex"; COMP_POINT=${#COMP_LINE}
  _vellicor_cli; echo "${COMPREPLY[*]}"
  COMP_WORDS=(vellicor-cli export x --bi); COMP_CWORD=3; COMP_LINE="vellicor-cli export x --bi"
  COMP_POINT=${#COMP_LINE}
  _vellicor_cli; echo "${COMPREPLY[*]}"
' _ "$share/bash-completion/completions/vellicor-cli" 2>&1)" || true
if [ "$completions" = $'export\n--bits' ]; then pass "bash completion"; else fail "bash completion: $completions"; fi

# --help and --version of both programs, without a display.
for program in vellicor vellicor-cli; do
  version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/$program" --version 2>&1)" || true
  if [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+ ]]; then
    pass "$program --version: $version"
  else
    fail "$program --version: $version"
  fi
  help="$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/$program" --help 2>&1)" || true
  if [[ $help == *--version* ]]; then pass "$program --help"; else fail "$program --help: $help"; fi
done
if help="$(env -u DISPLAY "$usr/bin/vellicor" --help 2>&1)" && [[ $help == *--settings* ]] &&
  [[ $help == *--sample* ]]; then
  pass "vellicor --help lists --settings and --sample"
else
  fail "vellicor --help lists --settings and --sample"
fi

echo "install check: $failures failures"
[ "$failures" -eq 0 ]
