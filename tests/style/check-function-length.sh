#!/usr/bin/env bash
# No function under src/ is longer than 80 lines, from its first line to its
# closing brace (universal-ctags finds both ends).
set -u
src=${1:-$(dirname "$0")/../../src}
limit=80

if ! command -v ctags > /dev/null || ! ctags --version 2>/dev/null | grep -q Universal; then
  echo "universal-ctags is missing (scripts/install-deps.sh installs it)"
  exit 1
fi

long=$(cd "$src" && ctags -x -R --languages=C++ --langmap=C++:+.h --kinds-C++=f \
  --_xformat='%{input} %{line} %{end} %{name}' . |
  awk -v limit="$limit" '$3 != "" && $3 - $2 + 1 > limit { sub(/^\.\//, "", $1); print "src/" $1 ": " $4 " has " $3 - $2 + 1 " lines" }')

if [ -n "$long" ]; then
  echo "functions over $limit lines:"
  echo "$long"
  exit 1
fi
echo "function length: none over $limit lines"
