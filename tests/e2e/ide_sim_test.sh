#!/bin/sh
# End-to-end checks of corvane-ide-sim: a build script delivered the way
# kilnrun delivers it gives the three products in the project's folder;
# --never-build gives none; a taken port stops a second stand-in; a
# detached stand-in serves its connections and ends; help is asked for as
# kilnrun's is.
# Usage: ide_sim_test.sh CORVANE_IDE_SIM APP_PROBE
set -u
sim=$1
probe=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/ide_sim_test.XXXXXX")
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

wait_until() {  # wait_until COMMAND...: true once it succeeds, within 5 seconds
  tries=0
  while ! "$@"; do
    tries=$((tries + 1))
    [ $tries -ge 50 ] && return 1
    sleep 0.1
  done
}

# The probe's last line (an unstamped probe first reports its plugin lookups).
probe() { "$probe" "$@" | tail -n 1; }
available() { [ "$(probe available)" = available ]; }

project() {  # project FOLDER: a project with Windows, Linux and Universal targets
  mkdir -p "$1"
  printf 'Type=Desktop\nBuildFlags=&h2090\nWindowsName=ToolWin\nLinuxX86Name=ToolLinux\nMacCarbonMachName=ToolMac\n' \
    >"$1/Tool.cvvcp"
  printf 'OpenFile "%s"\nDoCommand( "BuildApp" )' "$1/Tool.cvvcp" >"$1.script"
}

# The IDE's socket path, and with it the port, is this test's own: one
# below 32768, where the system takes no ports for outgoing connections.
n=0
while :; do
  TMPDIR=$work/t$n
  export TMPDIR
  mkdir "$TMPDIR"
  [ "$(probe port)" -lt 32768 ] && break
  n=$((n + 1))
done

# A build.
project "$work/built"
"$sim" --foreground --log "$work/log" >"$work/sim.out" 2>&1 &
pids="$pids $!"
wait_until available
check "the stand-in answers" available "$(probe available)"
check "the script is delivered" sent "$(probe sendscript "$work/built.script")"
wait_until test -f "$work/built/ToolMac.app.tar"
sleep 0.2
check "products" "Tool.cvvcp ToolLinux ToolMac.app.tar ToolWin.exe" "$(cd "$work/built" && echo *)"
check "the Mac archive" "ToolMac.app/
ToolMac.app/Contents/
ToolMac.app/Contents/Info.plist
ToolMac.app/Contents/MacOS/
ToolMac.app/Contents/MacOS/ToolMac" "$(tar -tf "$work/built/ToolMac.app.tar")"
check "the bundle's executable is named in its Info.plist" 1 \
  "$(tar -xOf "$work/built/ToolMac.app.tar" ToolMac.app/Contents/Info.plist | grep -A1 CFBundleExecutable | grep -c '<string>ToolMac</string>')"
check "the script is logged as received" 1 "$(grep -c 'BuildApp' "$work/log")"

# A second stand-in at the same path.
"$sim" --foreground >"$work/out2" 2>"$work/err2"
check "a taken port: exit status" 1 "$?"
check "a taken port: message" 1 "$(grep -c 'is taken' "$work/err2")"
kill $pids
pids=""
wait_until sh -c '[ "$("$0" available | tail -n 1)" = unavailable ]' "$probe"

# --never-build, detached, ending after its two connections (the check and the script).
project "$work/never"
"$sim" --never-build --exit-after 2 --log "$work/never.log" >/dev/null 2>&1
check "detaching returns at once" 0 "$?"
check "the detached stand-in answers" available "$(probe available)"
check "the script is delivered" sent "$(probe sendscript "$work/never.script")"
wait_until test -s "$work/never.log"
sleep 0.5
check "--never-build: no products" "Tool.cvvcp" "$(cd "$work/never" && echo *)"
check "--never-build: the script is logged" 1 "$(grep -c 'BuildApp' "$work/never.log")"
wait_until sh -c '[ "$("$0" available | tail -n 1)" = unavailable ]' "$probe"
check "--exit-after: the stand-in has ended" unavailable "$(probe available)"

# Help in any form kilnrun accepts, winning over a wrong option; a word help
# that is an option's value is no request.
for args in "--help" "help" "-HELP" "--no-such-option --Help"; do
  # shellcheck disable=SC2086
  "$sim" $args >"$work/help.out" 2>&1
  check "$args: exit status" 0 "$?"
  check "$args: usage" "Usage: corvane-ide-sim [options]" "$(head -n 1 "$work/help.out")"
done
"$sim" --log help --no-such-option >"$work/help.out" 2>&1
check "--log help: a file name" 1 "$?"

[ $failures -eq 0 ] && echo "ide_sim_test: all passed"
exit $failures
