#!/usr/bin/env bash
# The systemd user units as the build configured them, checked by
# `systemd-analyze --user verify` for one instance. The installed program is
# not on this machine, so the check runs on copies whose ExecStart names the
# built one instead (and without looking for the manual page they name); a copy
# naming a program that is not there must fail.
#
#   verify-units.sh UNIT_FOLDER INSTALLED_CLI BUILT_CLI
set -euo pipefail
UNITS=$1 INSTALLED=$2 BUILT=$3
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -m 700 "$WORK/runtime"
export XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK"

verify() {  # FOLDER: verify its demo instance, output into $WORK/verify.out
  systemd-analyze --user verify --man=no "$1/vormla-watch@demo.service" "$1/vormla-watch@demo.timer" >"$WORK/verify.out" 2>&1
}
copy() {  # FOLDER PROGRAM
  mkdir -p "$1"
  for unit in service timer; do
    grep -q "^ExecStart=$INSTALLED watch --name %I --notify\$" "$UNITS/vormla-watch@.service" ||
      { echo "the service does not start $INSTALLED"; exit 1; }
    sed "s#^ExecStart=$INSTALLED #ExecStart=$2 #" "$UNITS/vormla-watch@.$unit" >"$1/vormla-watch@demo.$unit"
  done
}

copy "$WORK/good" "$BUILT"
if ! verify "$WORK/good" || [ -s "$WORK/verify.out" ]; then
  echo "systemd-analyze verify refused the units:"
  cat "$WORK/verify.out"
  exit 1
fi
copy "$WORK/bad" "$WORK/no-such-program"
if verify "$WORK/bad"; then
  echo "systemd-analyze verify took a unit whose program is missing: the check proves nothing here"
  exit 1
fi
grep -q "no-such-program" "$WORK/verify.out"
echo "systemd-analyze verify accepts vormla-watch@.service and vormla-watch@.timer"
