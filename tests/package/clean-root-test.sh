#!/usr/bin/env bash
# The .deb on a clean root: scripts/package builds it, dpkg-deb unpacks it into a
# temporary root, and the programs run from there with HOME and the XDG folders
# pointed at temporary folders:
#  - vormla-cli categories prints the shipped catalogue;
#  - vormla-cli run against the installed demo market writes the same CSV as
#    the build tree's copy;
#  - the demo market restarted on its port with --revision keeps its address
#    and CA, and a watch across the restart reports what SIGUSR1 gives;
#  - the window starts offscreen, loads, and on SIGTERM closes and writes its
#    settings under XDG_CONFIG_HOME; a second start restores settings it did not
#    write itself and saves them back unchanged.
#
#   tests/package/clean-root-test.sh BUILD_DIR
#
# BUILD_DIR is a build with the tests (for the build tree's vormla-cli).
set -euo pipefail
cd "$(dirname "$0")/../.."
SOURCE=$PWD
BUILD=$(cd "${1:?usage: clean-root-test.sh BUILD_DIR}" && pwd)

WORK=$(mktemp -d)
MARKET_PID=""
APP_PID=""
cleanup() {
  for pid in "$APP_PID" "$MARKET_PID"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    failed=$((failed + 1))
  fi
}

echo "== Package"
DIST_DIR="$WORK/dist" "$SOURCE/scripts/package" >"$WORK/package.log" 2>&1 || {
  cat "$WORK/package.log"
  echo "scripts/package failed" >&2
  exit 1
}
tail -n 1 "$WORK/package.log"
DEB=$(ls "$WORK"/dist/vormla-search_*.deb)

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
BIN="$ROOT/usr/bin"
mkdir -p "$WORK/home" "$WORK/config" "$WORK/data" "$WORK/cache" "$WORK/runtime" "$WORK/out"
chmod 700 "$WORK/runtime"
export HOME="$WORK/home"
export XDG_CONFIG_HOME="$WORK/config"
export XDG_DATA_HOME="$WORK/data"
export XDG_CACHE_HOME="$WORK/cache"
export XDG_RUNTIME_DIR="$WORK/runtime"
export VORMLA_PAUSE_SCALE=0
INI="$XDG_CONFIG_HOME/vormla-search/vm.ini"

files_in_place() {
  [ -x "$BIN/vormla-search" ] && [ -x "$BIN/vormla-cli" ] && [ -x "$BIN/vormla-results" ] && [ -x "$BIN/vormla-demo-market" ] &&
    [ -f "$ROOT/usr/share/vormla-search/vm_data.db" ] &&
    [ -f "$ROOT/usr/share/applications/vormla-search.desktop" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/48x48/apps/vormla-search.png" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/256x256/apps/vormla-search.png" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/scalable/apps/vormla-search.svg" ] &&
    [ -f "$ROOT/usr/share/applications/vormla-results.desktop" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/48x48/apps/vormla-results.png" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/256x256/apps/vormla-results.png" ] &&
    [ -f "$ROOT/usr/share/icons/hicolor/scalable/apps/vormla-results.svg" ] &&
    [ -f "$ROOT/usr/share/man/man1/vormla-results.1.gz" ] &&
    [ -f "$ROOT/usr/share/metainfo/jp.vormla.search.metainfo.xml" ] &&
    [ -f "$ROOT/usr/share/man/man1/vormla-cli.1.gz" ] &&
    [ -f "$ROOT/usr/share/man/man1/vormla-search.1.gz" ] &&
    [ -f "$ROOT/usr/share/man/man1/vormla-demo-market.1.gz" ] &&
    [ -f "$ROOT/usr/lib/systemd/user/vormla-watch@.service" ] &&
    [ -f "$ROOT/usr/lib/systemd/user/vormla-watch@.timer" ] &&
    [ ! -e "$BIN/db" ]
}
check "the package holds the four programs, the catalogue, entries, icons, metadata, man pages and systemd units" files_in_place

viewer_entry_valid() {
  desktop-file-validate "$ROOT/usr/share/applications/vormla-results.desktop" &&
    grep -qx 'Exec=vormla-results %f' "$ROOT/usr/share/applications/vormla-results.desktop" &&
    grep -qx 'Icon=vormla-results' "$ROOT/usr/share/applications/vormla-results.desktop" &&
    [ "$(file -b --mime-type "$ROOT/usr/share/icons/hicolor/48x48/apps/vormla-results.png")" = image/png ] &&
    zcat "$ROOT/usr/share/man/man1/vormla-results.1.gz" | grep -q '^vormla-results \\- look at Vormla results'
}
check "the viewer's menu entry is valid and names its program and icon; its manual page is there" viewer_entry_valid

units_verify() {
  # The units start the packaged program; verified on copies that name the
  # unpacked one, which is not installed on this machine.
  local units="$ROOT/usr/lib/systemd/user" copies="$WORK/units"
  grep -qx 'ExecStart=/usr/bin/vormla-cli watch --name %I --notify' "$units/vormla-watch@.service" || return 1
  mkdir -p "$copies" "$WORK/units-runtime" && chmod 700 "$WORK/units-runtime"
  for unit in service timer; do
    sed "s#^ExecStart=/usr/bin/vormla-cli #ExecStart=$BIN/vormla-cli #" "$units/vormla-watch@.$unit" \
      >"$copies/vormla-watch@demo.$unit"
  done
  local out
  out=$(XDG_RUNTIME_DIR="$WORK/units-runtime" systemd-analyze --user verify --man=no \
    "$copies/vormla-watch@demo.service" "$copies/vormla-watch@demo.timer" 2>&1) || { echo "$out"; return 1; }
  [ -z "$out" ] || { echo "$out"; return 1; }
}
check "systemd-analyze verify accepts the packaged units" units_verify

echo "== vormla-cli categories"
categories_match() {
  "$BIN/vormla-cli" categories >"$WORK/top.tsv" &&
    tail -n +2 "$SOURCE/tests/data/catalogue/vm_data.top.tsv" | cmp - "$WORK/top.tsv"
}
check "categories prints the shipped catalogue's top-level list" categories_match

echo "== vormla-cli run against the installed demo market"
# Starts the installed market with the given options (the CA in $WORK/ca.pem)
# and waits for its address in SITE_ROOT.
start_market() {
  "$BIN/vormla-demo-market" --ca-out "$WORK/ca.pem" "$@" >"$WORK/market.out" 2>"$WORK/market.err" &
  MARKET_PID=$!
  SITE_ROOT=""
  for _ in $(seq 1 100); do
    SITE_ROOT=$(head -n 1 "$WORK/market.out" 2>/dev/null || true)
    [ -n "$SITE_ROOT" ] && break
    kill -0 "$MARKET_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$SITE_ROOT" ] || { cat "$WORK/market.err" >&2; echo "the demo market did not start" >&2; return 1; }
}
stop_market() {
  kill -TERM "$MARKET_PID" && wait "$MARKET_PID"
  MARKET_PID=""
}
start_market --port 0 || exit 1
export VORMLA_SITE_ROOT="$SITE_ROOT"
export VORMLA_CA_FILE="$WORK/ca.pem"

RUN_ARGS=(--top 1 --nodes 1,2 --keyword タオル --sort 2)
run_writes_csv() {
  local status=0
  "$BIN/vormla-cli" run --output "$WORK/out/installed" "${RUN_ARGS[@]}" 2>"$WORK/run.err" || status=$?
  [ "$status" -eq 0 ] || { echo "exit $status"; cat "$WORK/run.err"; return 1; }
  local rows=$(($(grep -c $'\r$' "$WORK/out/installed.csv") - 1))
  echo "  $rows rows"
  [ "$rows" -gt 0 ] &&
    "$BUILD/bin/vormla-cli" run --output "$WORK/out/build-tree.csv" "${RUN_ARGS[@]}" 2>/dev/null &&
    cmp "$WORK/out/build-tree.csv" "$WORK/out/installed.csv"
}
check "run writes the same CSV as the build tree's copy" run_writes_csv

watch_by_name() {
  # What vormla-watch@towels.service runs: conditions from the user's watch
  # folder (the same ones as above), results into the user's data folder. A
  # configuration folder of its own, so the window's first start below finds none.
  local config="$WORK/watch-config" nodes
  nodes=$("$BIN/vormla-cli" categories --top 1 | wc -l)
  mkdir -p "$config/vormla-search/watch"
  printf '[Config]\r\nWord=タオル\r\nSort=2\r\nCategory=1\r\nTreeList=0110%s\r\n' \
    "$(printf '%*s' $((nodes - 4)) '' | tr ' ' 0)" >"$config/vormla-search/watch/towels.ini"
  local status=0
  XDG_CONFIG_HOME="$config" "$BIN/vormla-cli" watch --name towels 2>"$WORK/watch.err" || status=$?
  [ "$status" -eq 0 ] || { echo "exit $status"; cat "$WORK/watch.err"; return 1; }
  local results=("$XDG_DATA_HOME"/vormla-search/watch/towels/vormla-*.csv)
  [ ${#results[@]} -eq 1 ] && [ -f "${results[0]}" ] &&
    cmp "${results[0]}" "$WORK/out/installed.csv"
}
check "watch --name reads the user's watch settings and writes into the user's data folder" watch_by_name

viewer_opens_watch() {
  # The installed viewer on the watch just run, offscreen: once the newest result
  # has loaded it records the folder among the last opened (in a configuration
  # folder of its own, so the window's first start below finds none).
  "$BIN/vormla-results" --help | grep -q -- '--name NAME' || return 1
  local config="$WORK/viewer-config" i
  XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen "$BIN/vormla-results" --name towels >"$WORK/viewer.out" 2>&1 &
  APP_PID=$!
  for i in $(seq 1 100); do
    grep -q "folder:$XDG_DATA_HOME/vormla-search/watch/towels" "$config/vormla-search/vormla-results.ini" 2>/dev/null && break
    sleep 0.1
  done
  local alive=0
  kill -0 "$APP_PID" 2>/dev/null || alive=1
  kill -TERM "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
  [ "$alive" -eq 0 ] && grep -q "folder:$XDG_DATA_HOME/vormla-search/watch/towels" "$config/vormla-search/vormla-results.ini" ||
    { cat "$WORK/viewer.out"; return 1; }
}
check "the installed viewer opens that watch by name" viewer_opens_watch

watch_across_restart() {
  # The README's two ways to move the goods on between two runs of a watch: a
  # restart with --revision on the same port and CA file, and SIGUSR1. Both must
  # report the same changes (a new address would make every item new and gone).
  local port=${VORMLA_SITE_ROOT##*:} restarted signalled
  "$BIN/vormla-cli" watch --dir "$WORK/restarted" "${RUN_ARGS[@]}" 2>/dev/null || return 1
  stop_market && start_market --port "$port" --revision 1 || return 1
  [ "$SITE_ROOT" = "$VORMLA_SITE_ROOT" ] || { echo "new address $SITE_ROOT"; return 1; }
  [ "$(stat -c %a "$WORK/ca.pem.key")" = 600 ] || { echo "the CA's key is not private"; return 1; }
  restarted=$("$BIN/vormla-cli" watch --dir "$WORK/restarted" "${RUN_ARGS[@]}" 2>&1 | grep '新規') || return 1
  stop_market && start_market --port "$port" || return 1
  "$BIN/vormla-cli" watch --dir "$WORK/signalled" "${RUN_ARGS[@]}" 2>/dev/null || return 1
  kill -USR1 "$MARKET_PID"
  for _ in $(seq 1 50); do grep -q '^revision 1$' "$WORK/market.out" && break; sleep 0.1; done
  signalled=$("$BIN/vormla-cli" watch --dir "$WORK/signalled" "${RUN_ARGS[@]}" 2>&1 | grep '新規') || return 1
  echo "  restart: $restarted"
  echo "  SIGUSR1: $signalled"
  [ "$restarted" = "$signalled" ] && [ "$restarted" != "vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0" ]
}
check "a watch across a restart with --revision on the same port reports what SIGUSR1 gives" watch_across_restart

echo "== The window, offscreen"
export QT_QPA_PLATFORM=offscreen
# Starts the window, waits until it holds its lock, asks it to close with SIGTERM
# and waits for a clean end (exit 0).
start_and_close() {
  "$BIN/vormla-search" >"$WORK/window.out" 2>&1 &
  APP_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -e "$XDG_RUNTIME_DIR/Vormla_Search.lock" ] && break
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$APP_PID" 2>/dev/null || true
  for i in $(seq 1 100); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$APP_PID" 2>/dev/null; then
    echo "the window did not close within 10 s (a message box up?)"
    kill -KILL "$APP_PID"
  fi
  local status=0
  wait "$APP_PID" || status=$?
  APP_PID=""
  [ "$status" -eq 0 ] || { echo "window exit $status"; cat "$WORK/window.out"; return 1; }
}

# The settings file as the window writes it: every key in order, UTF-8, CR LF.
ini_text() {  # WORD PRICE1 SELL1 SORT CATEGORY TREELIST
  printf '[Config]\r\nWord=%s\r\nPrice1=%s\r\nPrice2=\r\nPrice3=\r\nPrice4=\r\nDir=%s/\r\n' \
    "$1" "$2" "$HOME"
  printf 'Sell1=%s\r\nSell2=0\r\nImgSave=0\r\nSort=%s\r\nCategory=%s\r\nTreeList=%s\r\n' "$3" "$4" "$5" "$6"
}
zeros() { printf '%*s' "$1" '' | tr ' ' 0; }

first_close_saves() {
  [ ! -e "$XDG_CONFIG_HOME/vormla-search" ] || return 1
  start_and_close || return 1
  [ "$(stat -c %a "$XDG_CONFIG_HOME/vormla-search")" = 700 ] || return 1
  local nodes
  nodes=$("$BIN/vormla-cli" categories --top 0 | wc -l)
  ini_text "" "" 0 0 0 "$(zeros "$nodes")" | cmp - "$INI"
}
check "the first close makes the settings folder and saves the loaded defaults" first_close_saves

second_start_restores() {
  # Conditions the window did not write: only a restore brings them back into
  # what it saves.
  local nodes marks
  nodes=$("$BIN/vormla-cli" categories --top 1 | wc -l)
  marks="0110$(zeros $((nodes - 4)))"
  ini_text "タオル" 100 1 2 1 "$marks" >"$WORK/stored.ini"
  cp "$WORK/stored.ini" "$INI"
  start_and_close && cmp "$WORK/stored.ini" "$INI"
}
check "a second start restores the settings and saves them back unchanged" second_start_restores

no_portable_files() { [ ! -e "$ROOT/usr/bin/db/vm.ini" ] && [ ! -e "$ROOT/usr/share/vormla-search/vm.ini" ]; }
check "nothing was saved inside the installed tree" no_portable_files

echo "package test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
