#!/usr/bin/env bash
# Asks the shell completions of quillmore-cli what they offer after a typed
# line, as the shell would on Tab, and checks that they know every option the
# program and its manual page name.
#
#   tst_completion.sh bash SOURCE_DIR PROGRAM
#   tst_completion.sh zsh SOURCE_DIR       (exits 77, skipped, without zsh)
set -uo pipefail

shell=$1 source=$(cd "$2" && pwd) program=${3:-}
completion_dir="$source/resources/completion"
work=$(mktemp -d "${TMPDIR:-/tmp}/tst_completion.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A folder to complete file names in: tables in either case, a plain list, a
# name with a space, and a folder to go down into.
files="$work/files"
mkdir -p "$files/sub"
touch "$files/a.csv" "$files/b.TSV" "$files/c.xlsx" "$files/notes.txt" "$files/my list.txt"

# The options the completions should offer: those of the manual page, whose
# entries in OPTIONS begin ".B \-\-name" or ".BI \-\-name", short forms
# included; --journal is described there only to say it is refused.
manual_options() {
  sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$source/resources/packaging/quillmore-cli.1" |
    awk 'after_tp { print; after_tp = 0 } /^\.TP/ { after_tp = 1 }' |
    grep -oE '(\\-){1,2}[a-z][a-z\\-]*' | sed 's/\\-/-/g' | grep -vx -- '--journal' | sort -u
}

sorted() { tr ' ' '\n' | grep -v '^$' | sort -u; }

# --- bash -----------------------------------------------------------------
# bash_offers WORD... : the candidates for the last WORD (the word under the
# cursor, possibly empty), one a line, sorted.
bash_offers() {
  (
    cd "$files" || exit 1
    # shellcheck source=/dev/null
    source "$completion_dir/quillmore-cli.bash" || exit 1
    COMP_WORDS=(quillmore-cli "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _quillmore_cli quillmore-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | grep -v '^$' | sort
  )
}

# expect_bash 'EXPECTED CANDIDATES' WORD... (the expected list space-separated,
# file names with a space written with %20)
expect_bash() {
  local expected=$1 got want
  shift
  want=$(sorted <<<"$expected" | sed 's/%20/ /g')
  got=$(bash_offers "$@")
  [ "$got" = "$want" ] ||
    fail "bash: quillmore-cli $* <Tab> offers [$(tr '\n' ' ' <<<"$got")], expected [$(tr '\n' ' ' <<<"$want")]"
}

check_bash() {
  local all_files='a.csv b.TSV c.xlsx notes.txt my%20list.txt sub'
  local option

  bash -n "$completion_dir/quillmore-cli.bash" || fail "bash -n: the completion does not parse"
  grep -q '^[[:space:]]*complete -F _quillmore_cli quillmore-cli' "$completion_dir/quillmore-cli.bash" ||
    fail "bash: the completion is not registered for quillmore-cli"

  expect_bash '--format --forget' --for
  expect_bash '--column' --col
  expect_bash '--column --country-column' --co
  expect_bash '--quiet' --q
  expect_bash '' --jo
  expect_bash 'csv jsonl text' --format ''
  expect_bash 'jsonl' --format j
  expect_bash 'csv jsonl text' --format = ''
  expect_bash 'jsonl' --format = j
  expect_bash '--format=jsonl' --format=j
  expect_bash 'csv jsonl' --history --format ''
  expect_bash 'csv jsonl' --history --output x --format ''
  for option in --pause --parallel --rate --max-failures --reuse --since --region --column --country-column; do
    expect_bash '' "$option" ''
    expect_bash '' "$option" = ''
  done
  for option in --output --key-file --summary; do
    expect_bash "$all_files" "$option" ''
    expect_bash 'notes.txt' "$option" n
  done
  expect_bash "$all_files" ''
  expect_bash "$all_files" --parallel 4 ''
  expect_bash 'my%20list.txt' --dry-run my
  expect_bash 'b.TSV' b
  expect_bash '' --forget ''
  expect_bash '' --forget '+1 413 592 3823' ''
  expect_bash '' --history ''
  expect_bash '--since' --history --si
  # After "--" a word beginning with a dash is a file name.
  touch "$files/-odd.csv"
  expect_bash '-odd.csv' -- -o
  expect_bash '--output' --o
  rm -f "$files/-odd.csv"

  # Every option of the manual page, and no other, is offered.
  local offered named
  offered=$(bash_offers -)
  named=$(manual_options)
  [ -n "$named" ] || fail "no options found in the manual page"
  [ "$offered" = "$named" ] ||
    fail "bash offers [$(tr '\n' ' ' <<<"$offered")], the manual page names [$(tr '\n' ' ' <<<"$named")]"

  # Every long option the program's own help names is offered. Short forms
  # are left to the manual page, and --help-all is the command-line parser's
  # own, about Qt's generic options rather than the program.
  if [ -n "$program" ]; then
    local help
    if ! help=$("$program" --help 2>&1); then
      fail "$program --help failed: $help"
    fi
    local in_help
    in_help=$(grep -oE '^[[:space:]]+(-[^ ,]+, )*--[a-z][a-z-]*' <<<"$help" |
      grep -oE -- '--[a-z][a-z-]*' | grep -vx -e '--journal' -e '--help-all' | sort -u)
    [ -n "$in_help" ] || fail "no options found in $program --help"
    for option in $in_help; do
      grep -qx -- "$option" <<<"$offered" || fail "bash does not offer $option, which --help names"
    done
  fi
}

# --- zsh ------------------------------------------------------------------
# zsh_offers LINE: the matches offered on Tab after LINE, one a line, sorted.
zsh_offers() {
  local out="$work/zsh-matches"
  if ! zsh -f "$source/tests/packaging/zsh-complete.zsh" "$completion_dir" "$files" "$out" "quillmore-cli $1"; then
    fail "zsh: no completion ran after 'quillmore-cli $1'"
  fi
  grep -vx -e '<done>' -e '' "$out" | sort -u
}

# expect_zsh LINE 'MUST OFFER' 'MUST NOT OFFER'
expect_zsh() {
  local line=$1 got word
  got=$(zsh_offers "$line")
  for word in $2; do
    word=${word//%20/\\ }
    grep -qxF -- "$word" <<<"$got" || fail "zsh: quillmore-cli $line<Tab> does not offer $word (offers: $(tr '\n' ' ' <<<"$got"))"
  done
  for word in $3; do
    word=${word//%20/\\ }
    grep -qxF -- "$word" <<<"$got" && fail "zsh: quillmore-cli $line<Tab> offers $word (offers: $(tr '\n' ' ' <<<"$got"))"
  done
}

# zsh lists a file name with a space as it would insert it, escaped.
check_zsh() {
  if ! command -v zsh >/dev/null; then
    echo "SKIP: zsh is not installed"
    exit 77
  fi
  if ! zsh -c 'zmodload zsh/zpty' 2>/dev/null; then
    zsh -n "$completion_dir/_quillmore-cli" || fail "zsh -n: the completion does not parse"
    echo "SKIP: this zsh has no zsh/zpty to type into; only the syntax was checked"
    [ "$failures" -eq 0 ] && exit 77
    exit 1
  fi
  zsh -n "$completion_dir/_quillmore-cli" || fail "zsh -n: the completion does not parse"
  head -n1 "$completion_dir/_quillmore-cli" | grep -qx '#compdef quillmore-cli' ||
    fail "zsh: the completion does not begin with #compdef quillmore-cli"

  local files_='a.csv b.TSV c.xlsx notes.txt my%20list.txt sub'
  expect_zsh '--for' '--format --forget' '--force --formats'
  expect_zsh '--col' '--column' '--country-column --format'
  expect_zsh '--format ' 'csv jsonl text' 'a.csv'
  expect_zsh '--format=j' 'jsonl' 'csv text'
  expect_zsh '--history --format ' 'csv jsonl' 'text'
  local option
  for option in --pause --parallel --column --country-column --region; do
    expect_zsh "$option " '' "$files_ --output"
  done
  expect_zsh '--output n' 'notes.txt' 'a.csv'
  expect_zsh '' "$files_" '--journal'
  expect_zsh '--forget 1 ' '' "$files_"
  expect_zsh '--jo' '' '--journal'

  # Every option of the manual page, and no other, is offered.
  local offered named
  offered=$(zsh_offers '-' | grep -- '^-')
  named=$(manual_options)
  [ "$offered" = "$named" ] ||
    fail "zsh offers [$(tr '\n' ' ' <<<"$offered")], the manual page names [$(tr '\n' ' ' <<<"$named")]"
}

case $shell in
bash) check_bash ;;
zsh) check_zsh ;;
*)
  echo "usage: tst_completion.sh bash|zsh SOURCE_DIR [PROGRAM]" >&2
  exit 2
  ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "$shell completion passed"
