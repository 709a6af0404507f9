#!/bin/sh
# Stop signals during a build run: an interrupt, a terminate or a hang-up
# ends the run at its next wait with "Build interrupted.", exit status
# 128 + the signal's number, no temporary file left and the IDE still
# running; a second signal ends the process at once.
# Usage: interrupt_test.sh KILNRUN CORVANE_IDE_SIM APP_PROBE
set -u
kilnrun=$1
sim=$2
probe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/interrupt_test.XXXXXX")
sims=""
trap 'for p in $sims; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

. "$(dirname "$0")/build_run_helpers.sh"

wait_for() {  # wait_for COMMAND: up to 10 s until COMMAND succeeds
  n=0
  until eval "$1"; do
    n=$((n + 1))
    [ $n -gt 100 ] && return 1
    sleep 0.1
  done
}

# A stand-in IDE that never finishes a build, in the foreground so that its
# process is known.
start_ide() {  # start_ide NAME
  "$sim" --foreground --never-build --log "$work/$1-ide.log" >/dev/null 2>&1 &
  sim_pid=$!
  sims="$sims $sim_pid"
  wait_for '[ "$("$probe" available | tail -n 1)" = available ]'
}

# One run per signal, stopped while it waits for the first of two builds.
# The signals are let through explicitly: a shell's background job starts
# with the interrupt signal ignored, and kilnrun keeps an ignored signal so.
for entry in INT:2 TERM:15 HUP:1; do
  sig=${entry%%:*}
  number=${entry#*:}
  private_tmp "$sig"
  mkdir -p "$sig/builds"
  project "$sig/One" One
  project "$sig/Two" Two
  printf 'Donated true\nBuildsDirectory builds\n<project>\nFile One/One.cvvcp\nBuildLinux true\nTimeout 30\n</project>\n<project>\nFile Two/Two.cvvcp\nBuildLinux true\n</project>\n' \
    >"$sig/kilnrun.conf"
  start_ide "$sig"
  env --default-signal=INT "$kilnrun" --report="$work/$sig-report.xml" "$work/$sig/kilnrun.conf" \
    >"$sig.out" 2>"$sig.err" &
  run=$!
  wait_for "grep -q BuildApp '$work/$sig-ide.log' 2>/dev/null"
  started=$(date +%s)
  kill -"$sig" $run
  wait $run
  status=$?
  check "$sig: exit status" $((128 + number)) "$status"
  check "$sig: ends at once" true "$([ $(($(date +%s) - started)) -le 2 ] && echo true || echo false)"
  check "$sig: standard output" "Building One.cvvcp" "$(cat "$sig.out")"
  check "$sig: standard error" "Build interrupted." "$(cat "$sig.err")"
  check "$sig: no temporary file left" "" "$(find "$work/$sig" "$TMPDIR" -name 'TempKR*' -o -name 'cvt*')"
  check "$sig: project folders as they were" "App.cvvclass One.cvvcp | App.cvvclass Two.cvvcp" \
    "$(cd "$sig/One" && echo *) | $(cd "$sig/Two" && echo *)"
  check "$sig: the report" "One:error:interrupted Two:skipped:interrupted" "$(python3 -c '
import sys, xml.etree.ElementTree as ET
cases = ET.parse(sys.argv[1]).getroot().iter("testcase")
print(" ".join(c.get("name").split(".")[0] + ":" + (c[0].tag + ":" + (c[0].get("type") or "") if len(c) and c[0].tag in ("error", "skipped") else "ok") for c in cases))
' "$work/$sig-report.xml" 2>&1)"
  check "$sig: the IDE still answers" available "$("$probe" available | tail -n 1)"
  check "$sig: no window closed, no other project sent" 1 "$(grep -c . "$work/$sig-ide.log")"
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
done

# Stopped while it waits for an IDE it launched that never answers: the
# wait (a minute at least) ends at once.
private_tmp startup
project startup/One One
printf '#!/bin/sh\n: >"$(dirname "$0")/launched"\n' >startup/ide.sh
chmod +x startup/ide.sh
printf 'Donated true\nCorvanePath ide.sh\nCorvaneLaunchTimeout 1\n<project>\nFile One/One.cvvcp\nBuildLinux true\n</project>\n' \
  >startup/kilnrun.conf
"$kilnrun" "$work/startup/kilnrun.conf" >startup.out 2>startup.err &
run=$!
wait_for "[ -e '$work/startup/launched' ]"
sleep 0.5
kill -TERM $run
wait $run
check "start-up wait: exit status" 143 "$?"
check "start-up wait: standard error" "Build interrupted." "$(cat startup.err)"
check "start-up wait: nothing built" "" "$(cat startup.out)"

# A second signal ends the process at once, even while the first one's
# clean-up would still go on: here a project pre-build script holds the run,
# and the first signal is only noted.
private_tmp twice
project twice/One One
printf '#!/bin/sh\nsleep 5\n' >twice/One/pre.sh
chmod +x twice/One/pre.sh
printf 'Donated true\n<project>\nFile One/One.cvvcp\nBuildLinux true\nPreBuildScript One/pre.sh\n</project>\n' \
  >twice/kilnrun.conf
start_ide twice
env --default-signal=INT "$kilnrun" "$work/twice/kilnrun.conf" >twice.out 2>twice.err &
run=$!
wait_for "grep -q 'project prebuild' '$work/twice.out'"
sleep 0.3
kill -TERM $run
sleep 0.3
kill -INT $run
wait $run
status=$?
check "twice: killed by the second signal" 130 "$status"
check "twice: no line of its own" "" "$(cat twice.err)"
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null

[ $failures -eq 0 ] && echo "interrupt_test: all passed"
exit $failures
