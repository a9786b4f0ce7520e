#!/usr/bin/env bash
# The folders under src/ are layers, lowest first. A folder includes only itself
# and folders below it, every folder it includes is a link its CMake target
# declares, and the folders below the windows include no Qt.
set -u
src=${1:-$(dirname "$0")/../../src}
layers=(text files net catalogue conditions settings engine run results cli shell viewer)
qt_free=(text files net catalogue conditions settings engine run results cli)
status=0

rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

for dir in "$src"/*/; do
  folder=$(basename "$dir")
  own=$(rank "$folder")
  if [ "$own" -lt 0 ]; then
    echo "src/$folder: a folder that is no layer (add it to ${0##*/})"
    status=1
    continue
  fi
  links=$(tr '\n' ' ' < "$dir/CMakeLists.txt" | grep -o "target_link_libraries(vormla_$folder[^)]*)" | grep -o 'vormla_[a-z_]*' | sort -u)
  used=$(grep -rhoE '^#include "[a-z]+/' "$dir" | sed -E 's/#include "([a-z]+)\//\1/' | sort -u)
  for other in $used; do
    [ "$other" = "$folder" ] && continue
    theirs=$(rank "$other")
    if [ "$theirs" -lt 0 ] || [ "$theirs" -gt "$own" ]; then
      echo "src/$folder includes $other/, a folder above it:"
      grep -rn "^#include \"$other/" "$dir" | sed 's/^/    /'
      status=1
    elif ! grep -qx "vormla_$other" <<< "$links"; then
      echo "src/$folder includes $other/ but vormla_$folder does not link vormla_$other"
      status=1
    fi
  done
  for free in "${qt_free[@]}"; do
    if [ "$folder" = "$free" ] && grep -rnE '^#include <Q[A-Za-z]*>' "$dir" | sed 's/^/    /' | grep .; then
      echo "src/$folder includes Qt above, yet is below the windows"
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "layers: ${layers[*]}: every include goes down and is a declared link"
exit "$status"
