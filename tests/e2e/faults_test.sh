#!/bin/sh
# Faults during a build run: an IDE that resets, never reads, dies or stops
# listening; folders that cannot be written; a disk that fills up. Each run
# ends with its lines and exit status, leaves no temporary file, and every
# product is intact in the project folder or in the builds folder.
# Cases that need root (another user, a small tmpfs) are skipped without it.
# Usage: faults_test.sh KILNRUN CORVANE_IDE_SIM APP_PROBE
set -u
kilnrun=$1
sim=$2
probe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/faults_test.XXXXXX")
pids=""
mounts=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; for m in $mounts; do umount "$m"; done; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

. "$(dirname "$0")/build_run_helpers.sh"

# One Linux project One in CASE/One, builds folder CASE/builds; extra
# project lines follow.
setup() {  # setup CASE [PROJECT LINES]
  mkdir -p "$1/builds"
  project "$1/One" One
  printf 'Donated true\nBuildsDirectory builds\n<project>\nFile One/One.cvvcp\nBuildLinux true\nTimeout 1\n%s\n</project>\n' \
    "${2:-}" >"$1/kilnrun.conf"
}

run() {  # run CASE [COMMAND PREFIX...]: kilnrun on CASE/kilnrun.conf
  c=$1
  shift
  "$@" "$kilnrun" "$work/$c/kilnrun.conf" >"$c.out" 2>"$c.err"
  status=$?
}

wait_for() {  # wait_for COMMAND: up to 10 s until COMMAND succeeds
  n=0
  until eval "$1"; do
    n=$((n + 1))
    [ $n -gt 100 ] && return 1
    sleep 0.1
  done
}

start_ide() {  # start_ide CASE [OPTIONS]: the stand-in, in the foreground
  c=$1
  shift
  "$sim" --foreground --log "$work/$c-ide.log" "$@" >/dev/null 2>&1 &
  ide=$!
  pids="$pids $ide"
  wait_for '[ "$("$probe" available | tail -n 1)" = available ]'
}

stop() {  # stop PID
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# A listener at the IDE's port that misbehaves: "reset" reads a few bytes
# of each connection and resets it; "silent" accepts and never reads;
# "once" accepts the first connection (the availability check) and then
# stops listening.
listener() {  # listener MODE
  rm -f "$work/ready"
  python3 - "$1" "$("$probe" port | tail -n 1)" "$work/ready" <<'PY' &
import socket, struct, sys, time
mode, port, ready = sys.argv[1], int(sys.argv[2]), sys.argv[3]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(64)
open(ready, "w").close()
held = []
while True:
    connection, _ = server.accept()
    if mode == "silent":
        held.append(connection)
        continue
    if mode == "once":
        connection.close()
        server.close()
        time.sleep(120)
    connection.recv(8)
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()
PY
  listener_pid=$!
  pids="$pids $listener_pid"
  wait_for "[ -e '$work/ready' ]"
}

temp_files() { find "$work/$1" "$TMPDIR" -name 'TempKR*' -o -name 'cvt*' | wc -l; }
listing() { (cd "$1" && LC_ALL=C ls -A | tr '\n' ' '); }

ends_normally() {  # ends_normally CASE: exit 0, "Build complete", nothing left
  check "$1: exit status" 0 "$status"
  check "$1: standard output" "Building One.cvvcp
Build complete" "$(cat "$1.out")"
  check "$1: no temporary file left" 0 "$(temp_files "$1")"
}

# 1. The IDE resets each connection after a few bytes: the script is either
# refused ten times or taken as sent and never built.
private_tmp reset
setup reset
listener reset
run reset
ends_normally reset
case "$(cat reset.err)" in
  "Build failed.  Communication error with Corvane." | "Build failed: timeout reached.") ;;
  *) check "reset: one error line" "a delivery or timeout failure" "$(cat reset.err)" ;;
esac
check "reset: the project folder as it was" "App.cvvclass One.cvvcp " "$(listing reset/One)"
stop $listener_pid

# 2. The IDE accepts and never reads: the script waits in the connection,
# and the build ends by its timeout.
private_tmp silent
setup silent
listener silent
run silent
ends_normally silent
check "silent: error line" "Build failed: timeout reached." "$(cat silent.err)"
stop $listener_pid

# 3. The IDE stops listening after the availability check: ten refused
# deliveries.
private_tmp gone
setup gone
listener once
run gone
ends_normally gone
check "gone: error line" "Build failed.  Communication error with Corvane." "$(cat gone.err)"
check "gone: nothing built" "App.cvvclass One.cvvcp " "$(listing gone/One)"
stop $listener_pid

# 4. The IDE dies once it has the script: the build ends by its timeout,
# and closing the project's window fails quietly.
private_tmp dies
setup dies
start_ide dies --never-build
(wait_for "grep -q BuildApp '$work/dies-ide.log' 2>/dev/null" && kill "$ide") &
run dies
ends_normally dies
check "dies: error line" "Build failed: timeout reached." "$(cat dies.err)"
check "dies: the IDE had the script" 1 "$(grep -c BuildApp dies-ide.log)"

# 5. Files may not grow past 64 KiB (as on a full disk, writes fail): the
# project copy cannot be written, the run ends through the exception
# report, and the partial copy is gone. The signal such a write raises is
# ignored, so that the write fails instead.
private_tmp limit
setup limit
awk 'BEGIN { for (i = 0; i < 2000; i++) printf "Comment%d=%060d\n", i, i }' >>limit/One/One.cvvcp
start_ide limit
(trap '' XFSZ && ulimit -f 128 && exec "$kilnrun" "$work/limit/kilnrun.conf" >limit.out 2>limit.err)
status=$?
check "limit: the run fails" 1 "$status"
check "limit: the report" "Kilnrun has encountered an error: NilObjectException
Terminating build process and cleaning up." "$(head -n 2 limit.err)"
check "limit: no temporary file left" 0 "$(temp_files limit)"
check "limit: the project folder as it was" "App.cvvclass One.cvvcp " "$(listing limit/One)"
stop $ide

# The cases below need root: another user, or a small disk of their own.
if [ "$(id -u)" -ne 0 ]; then
  echo "faults_test: not root: the unwritable-folder and full-disk cases are skipped"
  [ $failures -eq 0 ] && echo "faults_test: all passed"
  exit $failures
fi
chmod 755 "$work"
as_nobody="setpriv --reuid=nobody --regid=nogroup --clear-groups"

# 6. A builds folder kilnrun may not write: the old product stays there,
# the new one in the project folder, and a line says so.
private_tmp locked
chmod 1777 "$TMPDIR"
setup locked
printf old >locked/builds/One
chmod 755 locked
chmod 777 locked/One
start_ide locked
run locked $as_nobody
ends_normally locked
check "locked: error line" "Could not move One into the builds folder." "$(cat locked.err)"
check "locked: the old product kept" old "$(cat locked/builds/One)"
check "locked: the new one in the project folder" "App.cvvclass One One.cvvcp " "$(listing locked/One)"
# Under --strict a product that could not be placed fails the run.
$as_nobody "$kilnrun" --strict "$work/locked/kilnrun.conf" >locked-strict.out 2>locked-strict.err
check "locked: --strict" "2 Could not move One into the builds folder." "$? $(cat locked-strict.err)"
stop $ide

# 7. A project folder kilnrun may not write: no copy of the project can be
# made there, and the run ends through the exception report.
private_tmp readonly
chmod 1777 "$TMPDIR"
setup readonly
chmod 755 readonly
start_ide readonly
run readonly $as_nobody
check "readonly: the run fails" 1 "$status"
check "readonly: the report" "Kilnrun has encountered an error: NilObjectException
Terminating build process and cleaning up." "$(head -n 2 readonly.err)"
check "readonly: no temporary file left" 0 "$(temp_files readonly)"
check "readonly: the project folder as it was" "App.cvvclass One.cvvcp " "$(listing readonly/One)"
check "readonly: nothing sent to the IDE" "" "$(cat readonly-ide.log 2>/dev/null)"
stop $ide

# A project folder on a small disk of its own, which its pre-build script
# fills up to the last KEEP kilobytes before the copies and products come.
full_disk() {  # full_disk CASE KEEP
  mkdir -p "$1/One"
  if ! mount -t tmpfs -o size=2m kilnrun-faults "$work/$1/One" 2>/dev/null; then
    echo "faults_test: cannot mount a tmpfs: the full-disk cases are skipped"
    [ $failures -eq 0 ] && echo "faults_test: all passed"
    exit $failures
  fi
  mounts="$mounts $work/$1/One"
  # Only ever on that small disk: it fills whatever disk it is on.
  printf '#!/bin/sh\ncd "$(dirname "$0")/One" && [ "$(stat -f -c %%T .)" = tmpfs ] || exit 1\nhead -c $(($(df -B1 --output=avail . | tail -n 1) - %d * 1024)) /dev/zero >filler\n' \
    "$2" >"$1/fill.sh"
  chmod +x "$1/fill.sh"
}

# 8. The disk fills while the project copy is written: the run ends through
# the exception report, and no partial copy is left.
private_tmp copy
full_disk copy 60
setup copy "PreBuildScript fill.sh"
awk 'BEGIN { for (i = 0; i < 2000; i++) printf "Comment%d=%060d\n", i, i }' >>copy/One/One.cvvcp
cp copy/One/One.cvvcp copy/original
start_ide copy
run copy
check "copy: the run fails" 1 "$status"
check "copy: the report" "Kilnrun has encountered an error: NilObjectException
Terminating build process and cleaning up." "$(head -n 2 copy.err)"
check "copy: no temporary file left" 0 "$(temp_files copy)"
check "copy: the project file intact" "" "$(cmp copy/original copy/One/One.cvvcp)"
check "copy: the project folder as it was" "App.cvvclass One.cvvcp filler " "$(listing copy/One)"
stop $ide

# The Mac product's archive: a complete archive whose Info.plist is still
# the stand-in's own.
archive_intact() {  # archive_intact CASE ARCHIVE
  check "$1: the archive lists cleanly" "OneMac.app/
OneMac.app/Contents/
OneMac.app/Contents/Info.plist
OneMac.app/Contents/MacOS/
OneMac.app/Contents/MacOS/OneMac" "$(tar -tf "$2" 2>&1)"
  check "$1: its property list untouched" 0 "$(tar -xOf "$2" OneMac.app/Contents/Info.plist | grep -c Configured)"
}

# 9. The disk fills while the new property list is appended to the Mac
# archive: the archive is put back as it was and placed.
private_tmp plist
full_disk plist 200
head -c 120000 /dev/zero | tr '\0' x | sed 's/^/<plist><dict><key>Configured<\/key><string>/; s/$/<\/string><\/dict><\/plist>/' >plist/Info.plist
setup plist "BuildMacUB true
ReplacePList Info.plist
PreBuildScript fill.sh"
start_ide plist
run plist
check "plist: exit status" 0 "$status"
check "plist: no error line" "" "$(cat plist.err)"
check "plist: no temporary file left" 0 "$(temp_files plist)"
check "plist: products placed" "One OneMac.app.tar " "$(listing plist/builds)"
archive_intact plist plist/builds/OneMac.app.tar
stop $ide

# 10. The disk fills while the resources are appended to the Mac archive.
private_tmp resources
full_disk resources 120
setup resources "BuildMacUB true
CopyResources true
PreBuildScript fill.sh"
mkdir resources/One/Resources
head -c 200000 /dev/urandom >resources/One/Resources/big.bin
start_ide resources
run resources
check "resources: exit status" 0 "$status"
check "resources: no error line" "" "$(cat resources.err)"
check "resources: no temporary file left" 0 "$(temp_files resources)"
check "resources: products placed" "One OneMac.app.tar " "$(listing resources/builds)"
archive_intact resources resources/builds/OneMac.app.tar
stop $ide

# 11. The builds folder's disk is full: the new product cannot be moved in,
# the old one is back under its name, and the new one stays.
private_tmp placing
setup placing
mount -t tmpfs -o size=256k kilnrun-faults "$work/placing/builds"
mounts="$mounts $work/placing/builds"
printf old >placing/builds/One
head -c 1048576 /dev/zero >placing/builds/filler 2>/dev/null
start_ide placing
run placing
ends_normally placing
check "placing: error line" "Could not move One into the builds folder." "$(cat placing.err)"
check "placing: the old product back" "One filler old" "$(cd placing/builds && LC_ALL=C ls -A | tr '\n' ' ' && cat One)"
check "placing: the new one in the project folder" "App.cvvclass One One.cvvcp " "$(listing placing/One)"
stop $ide

[ $failures -eq 0 ] && echo "faults_test: all passed"
exit $failures
