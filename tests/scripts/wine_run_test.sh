#!/usr/bin/env bash
# Tests of scripts/wine-run with the helper programs of wine_run_helper.c.
#
#   wine_run_test.sh <wine-run> <wine_run_helper.exe>
#
# Runs in the current directory (scratch folders are made there); exit status 0 when every
# check passed.
set -uo pipefail

run="$1" helper="$2"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# A Unix path as the program sees it (Wine's drive Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

scratch="$(mktemp -d "$PWD/wine-run-test.XXXXXX")"
# Whatever happens, let a left-over "hold" process go.
trap 'touch "$scratch"/*/release 2>/dev/null; sleep 0.5; rm -rf "$scratch"' EXIT

echo "== a crash ends the program at once, with a failure status and Wine's report"
# With a debugger started for it, winedbg's crash dialog would wait on the display until
# `timeout` (124), and winedbg letting go of the program may end it with status 0. Several
# runs: the status must be a failure every time.
for attempt in 1 2 3; do
  out="$(timeout -k 5 60 "$run" "$helper" crash 2>&1)"
  status=$?
  [[ $attempt -gt 1 ]] || printf '%s\n' "$out"
  if [[ $status -eq 124 || $status -eq 137 ]]; then
    fail "crash: still running after 60 s (a crash dialog waiting on the display?)"
  elif [[ $status -eq 0 ]]; then
    fail "crash: exit status 0 (run $attempt)"
  fi
  grep -q '^crashing' <<<"$out" || fail "crash: the program's own output is missing"
  grep -q 'Unhandled page fault on read access to 0*146 at address' <<<"$out" ||
    fail "crash: no report of the fault"
done

echo "== the output ends with the program, not with a process it left running"
dir="$scratch/outlive"
mkdir -p "$dir"
# The command substitution reads until every holder of the pipe has closed it: with the
# program's stderr on that pipe, the "hold" process (which keeps it) would be waited for until
# it gives up (120 s) and writes "ended".
out="$("$run" "$helper" outlive "$(winpath "$dir")" 2>&1)"
status=$?
[[ $status -eq 0 ]] || fail "outlive: exit status $status"
grep -q '^started' <<<"$out" || fail "outlive: no \"started\" ($out)"
[[ ! -e "$dir/ended" ]] || fail "outlive: the output ended only when the process left running did"
touch "$dir/release"
for _ in $(seq 300); do
  [[ -e "$dir/ended" ]] && break
  sleep 0.1
done
[[ -e "$dir/ended" ]] || fail "outlive: the process left running never started or never ended"

echo "== the exit status and the program's stderr come through"
out="$("$run" "$helper" 2>&1)"
status=$?
[[ $status -eq 2 ]] || fail "usage: exit status $status, not 2"
grep -q '^usage: wine_run_helper' <<<"$out" || fail "usage: the program's stderr is missing ($out)"

echo "== Wine runs unrandomised, its heap clear of the shared user data page (0x7ffe0000)"
# Randomised, the loader's heap (brk) lands anywhere in the gigabyte after the loader binary
# (0x7d000000), now and then on that page: Wine then ends at once with status 1, silently.
dir="$scratch/layout"
mkdir -p "$dir"
if ! setarch "$(uname -m)" -R true </dev/null >/dev/null 2>&1; then
  echo "skipped: this machine refuses setarch -R, so Wine runs randomised here"
else
  "$run" "$helper" hold "$(winpath "$dir")" &
  holder=$!
  wine_pid=""
  for _ in $(seq 300); do
    for pid in $(pgrep -f "$(basename "$scratch")\\\\layout"); do
      [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == */wine64 ]] || continue
      # Started up: the shared user data page is mapped.
      grep -q '^7ffe0000-' "/proc/$pid/maps" 2>/dev/null && wine_pid=$pid
    done
    [[ -z "$wine_pid" ]] || break
    sleep 0.1
  done
  if [[ -z "$wine_pid" ]]; then
    fail "layout: the program's Wine process was not found"
  else
    personality="$(cat "/proc/$wine_pid/personality")"
    (((0x$personality & 0x0040000) != 0)) ||
      fail "layout: address space randomisation is on (personality $personality)"
    heap="$(grep -m1 '\[heap\]' "/proc/$wine_pid/maps" | cut -d' ' -f1)"
    if [[ -z "$heap" ]]; then
      fail "layout: no heap in the program's address space"
    elif ((0x${heap#*-} > 0x7ff00000)); then
      fail "layout: the heap $heap does not end below Wine's fixed areas (0x7ff00000 on)"
    fi
  fi
  touch "$dir/release"
  wait "$holder"
  status=$?
  [[ $status -eq 0 ]] || fail "layout: exit status $status"
fi

echo "== TERM sent to wine-run ends the program"
dir="$scratch/term"
mkdir -p "$dir"
timeout -k 20 3 "$run" "$helper" hold "$(winpath "$dir")"
status=$?
[[ $status -ne 0 ]] || fail "term: exit status 0"
sleep 1
if pgrep -f "$(basename "$scratch")\\\\term" >/dev/null; then
  fail "term: the program still runs after wine-run ended"
fi
[[ ! -e "$dir/ended" ]] || fail "term: the program ran to its end instead of being stopped"

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
