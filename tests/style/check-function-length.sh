#!/usr/bin/env bash
# No function under src/ is longer than 80 lines, from its first line to its
# closing brace (universal-ctags finds both ends). The few listed below are
# being shortened; an entry that is no longer too long must go from the list.
set -u
src=${1:-$(dirname "$0")/../../src}
limit=80
known=(
  cli/CliCommandLine.cpp:ParseCommandLine
  cli/CliOptions.cpp:PrepareRun
  shell/MainWindowLayout.cpp:CreateControls
)

if ! command -v ctags > /dev/null || ! ctags --version 2>/dev/null | grep -q Universal; then
  echo "universal-ctags is missing (scripts/install-deps.sh installs it)"
  exit 1
fi

long=$(cd "$src" && ctags -x -R --languages=C++ --langmap=C++:+.h --kinds-C++=f \
  --_xformat='%{input} %{line} %{end} %{name}' . |
  awk -v limit="$limit" '$3 != "" && $3 - $2 + 1 > limit { sub(/^\.\//, "", $1); print $1 ":" $4, $3 - $2 + 1 }')

status=0
while read -r where lines; do
  [ -z "$where" ] && continue
  if printf '%s\n' "${known[@]}" | grep -qxF "$where"; then
    echo "known: src/${where} has $lines lines"
  else
    echo "src/${where/:/: } has $lines lines, over $limit"
    status=1
  fi
done <<< "$long"
for entry in "${known[@]}"; do
  if ! grep -q "^$entry " <<< "$long"; then
    echo "src/${entry/:/: } is no longer over $limit lines: take it off the list in ${0##*/}"
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "function length: none over $limit lines but the ${#known[@]} known"
exit "$status"
