#!/usr/bin/env bash
# Walks vellicor-cli's --help and each command's --help as a user finds the commands, and checks
# that the manual page (as man shows it) describes every command with each of its options, and
# that the bash completion offers every command, every option and the values an option names.
# Usage: scripts/check-cli-reference.sh VELLICOR_CLI MANUAL_PAGE COMPLETION  (exit 77: no man)
set -euo pipefail
cli="$1"
page="$2"
completion="$3"
bash_completion=/usr/share/bash-completion/bash_completion
command -v man > /dev/null || { echo "skipped: man missing"; exit 77; }
[ -f "$bash_completion" ] || { echo "skipped: $bash_completion missing"; exit 77; }

failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
# The first words of the lines under a heading of --help ("Options:", "Subcommands:").
listed() {
  awk -v heading="$1:" '$0 == heading { on = 1; next } /^[^ ]/ { on = 0 } on && /^  [^ ]/' |
    awk '{ print $1, $2 }'
}
# What the completion offers for the words after "vellicor-cli", the last one being completed.
offered() {
  bash --norc -c '
    source "$1"; source "$2"; shift 2
    COMP_WORDS=(vellicor-cli "$@"); COMP_CWORD=$#; COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    _vellicor_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$completion" "$@"
}
# The block of a command in the rendered page: its sub-section up to the next heading.
block() {
  awk -v heading="   $1" '$0 == heading { on = 1; next } on && /^(   )?[^ ]/ { exit } on'
}

rendered="$(LC_ALL=C.UTF-8 MANWIDTH=400 man -l "$page" 2> /dev/null)" || true
[ -n "$rendered" ] || fail "man -l $page shows nothing"
paths=("")
while [ ${#paths[@]} -gt 0 ]; do
  path="${paths[0]}"
  paths=("${paths[@]:1}")
  # shellcheck disable=SC2086 # the path is the words of the command
  help="$("$cli" $path --help)"
  commands="$(listed Subcommands <<< "$help" | awk '{ print $1 }')"
  got="$(offered $path "")"
  for command in $commands; do
    paths+=("${path:+$path }$command")
    grep -qx -- "$command" <<< "$got" || fail "completion of '$path' lacks $command"
  done
  text="$rendered"
  if [ -n "$path" ] && [ -z "$commands" ]; then
    text="$(block "$path" <<< "$rendered")"
    grep -q "vellicor-cli $path" <<< "$text" || fail "man page: no section on '$path'"
  fi
  got="$(offered $path -)"
  while read -r names type; do
    for option in ${names//,/ }; do
      grep -qx -- "$option" <<< "$got" || fail "completion of '$path' lacks $option"
      case "$option" in
        -h | --help) grep -qw -- "$option" <<< "$rendered" || fail "man page lacks $option" ;;
        *) grep -qw -- "$option" <<< "$text" || fail "man page on '$path' lacks $option" ;;
      esac
    done
    # The values an option names ("TEXT:{bmp,png}") are offered after it.
    if [[ $type =~ \{([^}]*)\} ]]; then
      values="$(offered $path "${names##*,}" "")"
      for value in ${BASH_REMATCH[1]//,/ }; do
        grep -qx -- "$value" <<< "$values" || fail "completion of '$path ${names##*,}' lacks $value"
      done
    fi
  done < <(listed Options <<< "$help")
done

echo "command reference: $failures failures"
[ "$failures" -eq 0 ]
