#!/bin/sh
# End-to-end runs with the options for CI servers: --strict and its
# configuration key, the JUnit report of --report (read back with Python's
# XML parser), the project choice of --project, and every way of writing
# them, against corvane-ide-sim in a scratch folder.
# Usage: ci_test.sh KILNRUN CORVANE_IDE_SIM APP_PROBE
set -u
kilnrun=$1
sim=$2
probe=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ci_test.XXXXXX")
ides=""
trap 'for pid in $ides; do kill "$pid" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

. "$here/build_run_helpers.sh"

start_ide() {  # start_ide OPTIONS...: a stand-in in the foreground, answering
  "$sim" --foreground "$@" >/dev/null 2>&1 &
  ides="$ides $!"
  until [ "$("$probe" available | tail -n 1)" = available ]; do sleep 0.1; done
}

stop_ide() {  # the last one started
  last=${ides##* }
  kill "$last" 2>/dev/null
  wait "$last" 2>/dev/null
  ides=${ides% *}
}

summary() { python3 "$here/junit_summary.py" "$1" "$work" 2>&1; }

# 1. One project times out, the next builds. Without the options the run
# ends as it always has: status 0, and these very bytes on both streams.
# With --strict and --report the console is the same, the status is 2 and
# the report tells each project's story.
private_tmp slow
odd="R&D <'q\">"
mkdir -p slow-import/builds
project slow-import/Late Late
project "slow-import/$odd" Next
printf 'Donated true\nBuildsDirectory builds\n<project>\nFile Late/Late.cvvcp\nBuildLinux true\nTimeout 1\n</project>\n<project>\nFile %s/Next.cvvcp\nBuildLinux true\nBuildWindows true\nTimeout 5\n</project>\n' \
  "$odd" >slow-import/kilnrun.conf
svnadmin create "$work/repository"
svn import -q -m "two projects" slow-import "file://$work/repository/trunk"
svn checkout -q "file://$work/repository/trunk" slow
start_ide --delay 2
"$kilnrun" "$work/slow/kilnrun.conf" >plain.out 2>plain.err
check "timeout, no options: exit status" 0 "$?"
printf 'Building Late.cvvcp (r1)\nBuilding Next.cvvcp (r1)\nBuild complete\n' >expected.out
printf 'Build failed: timeout reached.\n' >expected.err
check "timeout, no options: standard output, byte for byte" same "$(cmp -s expected.out plain.out && echo same)"
check "timeout, no options: standard error, byte for byte" same "$(cmp -s expected.err plain.err && echo same)"
check "timeout, no options: no report" "" "$(find "$work" -name '*.xml')"
"$kilnrun" --strict --report "$work/slow.xml" "$work/slow/kilnrun.conf" >strict.out 2>strict.err
check "timeout, --strict: exit status" 2 "$?"
check "timeout, --strict: the same standard output" same "$(cmp -s plain.out strict.out && echo same)"
check "timeout, --strict: the same standard error" same "$(cmp -s plain.err strict.err && echo same)"
check "timeout, --strict: the report" "suite kilnrun.conf tests=2 failures=1 errors=0 skipped=0
property configuration=WORK/slow/kilnrun.conf
case Late.cvvcp | Late
  failure timeout: Build failed: timeout reached. | No build finished within 1 seconds.
  revision: 1
case Next.cvvcp | $odd
  out: Next -> WORK/slow/builds/Next
  out: NextWin.exe -> WORK/slow/builds/NextWin.exe
  revision: 1
" "$(summary slow.xml)
"
check "timeout, --strict: no partial report left" "slow.xml" "$(ls -A | grep xml)"
stop_ide

# 2. A configuration that cannot be read: the report (in the current
# folder, for a relative path) says so.
"$kilnrun" --report=unread.xml --config="$work/none/kilnrun.conf" >unread.out 2>unread.err
check "unreadable configuration: exit status" 1 "$?"
check "unreadable configuration: error line" "Build configuration could not be read." "$(cat unread.err)"
check "unreadable configuration: the report" "suite kilnrun.conf tests=1 failures=0 errors=1 skipped=0
case Build run | kilnrun
  error configuration: Build configuration could not be read." "$(summary unread.xml)"

# 3. Four projects; --project picks two of them by pattern, case ignored.
# A pattern that matches none stops the run before anything is built.
private_tmp pick
for name in apps/One apps/Two tools/Three tools/Four; do project "pick/$name" "${name#*/}"; done
printf 'Donated true\n<project>\nFile apps/One/One.cvvcp\nBuildLinux true\nTimeout 2\n</project>\n<project>\nFile apps/Two/Two.cvvcp\nBuildLinux true\nTimeout 2\n</project>\n<project>\nFile tools/Three/Three.cvvcp\nBuildLinux true\nTimeout 2\n</project>\n<project>\nFile tools/Four/Four.cvvcp\nBuildLinux true\nTimeout 2\n</project>\n' \
  >pick/kilnrun.conf
start_ide
"$kilnrun" --project=APPS/O* -project '*/f[o]ur.cvvcp' --report pick.xml "$work/pick/kilnrun.conf" >pick.out 2>pick.err
check "--project: exit status" 0 "$?"
check "--project: only the chosen projects" "Building One.cvvcp
Building Four.cvvcp
Build complete" "$(cat pick.out)"
check "--project: the report" "suite kilnrun.conf tests=2 failures=0 errors=0 skipped=0
property configuration=WORK/pick/kilnrun.conf
case One.cvvcp | apps/One
  out: One -> WORK/pick/apps/One/One
case Four.cvvcp | tools/Four
  out: Four -> WORK/pick/tools/Four/Four" "$(summary pick.xml)"
"$kilnrun" --project 'apps/*' --project 'nomatch*' --report none.xml "$work/pick/kilnrun.conf" >none.out 2>none.err
check "--project matching none: exit status" 1 "$?"
check "--project matching none: error line" "Error: No project matches nomatch*" "$(cat none.err)"
check "--project matching none: nothing built" "" "$(cat none.out)"
check "--project matching none: the report" "suite kilnrun.conf tests=3 failures=0 errors=1 skipped=2
property configuration=WORK/pick/kilnrun.conf
case One.cvvcp | apps/One
  skipped configuration: Not built: Error: No project matches nomatch*
case Two.cvvcp | apps/Two
  skipped configuration: Not built: Error: No project matches nomatch*
case Build run | kilnrun
  error configuration: Error: No project matches nomatch*" "$(summary none.xml)"
stop_ide

# 4. Every way of writing the options, on two projects that fail at once
# (a project file the IDE cannot open) so that each run is short. The
# configuration is the first argument that is no option nor its value.
private_tmp forms
mkdir -p forms/a forms/b
: >forms/a/A.txt
: >forms/b/B.txt
printf 'Donated true\n<project>\nFile a/A.txt\n</project>\n<project>\nFile b/B.txt\n</project>\n' >forms/kilnrun.conf
sed 's/^Donated true$/Donated true\nFailOnProjectError true/' forms/kilnrun.conf >forms/failing.conf
conf=$work/forms/kilnrun.conf
failing=$work/forms/failing.conf
start_ide
form() {  # form STATUS BUILT REPORT ARGUMENTS...: REPORT "" for none
  status=$1 built=$2 report=$3
  shift 3
  rm -f "$work"/*.xml
  "$kilnrun" "$@" >form.out 2>form.err
  check "form $*: exit status" "$status" "$?"
  check "form $*: projects built" "$built" "$(sed -n 's/^Building //p' form.out | tr '\n' ' ')"
  if [ -n "$report" ]; then
    check "form $*: the report's cases" "$built" \
      "$(summary "$report" | sed -n 's/^case \([^ ]*\) .*/\1/p' | tr '\n' ' ')"
  else
    check "form $*: no report" "" "$(find "$work" -maxdepth 1 -name '*.xml')"
  fi
}
form 0 "A.txt B.txt " "" "$conf"
form 2 "A.txt B.txt " f.xml --strict --report f.xml "$conf"
form 2 "A.txt B.txt " f.xml -strict -report=f.xml "$conf"
form 2 "A.txt B.txt " "" --strict "$conf"
form 2 "A.txt B.txt " "" "$conf" -strict
form 2 "A.txt B.txt " "" --STRICT=true "$conf"
form 2 "A.txt B.txt " "" "$failing"
form 0 "A.txt B.txt " "" --strict=false "$failing"
form 0 "A.txt " f.xml --report=f.xml --project 'a/*' "$conf"
form 0 "B.txt " f.xml -project=B/* -report f.xml --config="$conf"
form 0 "B.txt " f.xml --config "$conf" --project 'b/?.txt' --report="$work/f.xml"
form 1 "" "" "$conf" --report
form 1 "A.txt B.txt " "" --report "$conf" "$conf"  # never over the configuration
check "the configuration is kept" 2 "$(grep -c '<project>' "$conf")"
check "A run without options, byte for byte" "same same" \
  "$("$kilnrun" "$conf" >form.out 2>form.err
    printf 'Building A.txt\nBuilding B.txt\nBuild complete\n' | cmp -s - form.out && printf same
    printf ' '
    printf 'Unsupported project format: requires .cvvcp file.\nUnsupported project format: requires .cvvcp file.\n' |
      cmp -s - form.err && printf same)"
"$kilnrun" --strict --report failed.xml "$conf" >/dev/null 2>&1
check "failed preparation: the report" "suite kilnrun.conf tests=2 failures=2 errors=0 skipped=0
property configuration=WORK/forms/kilnrun.conf
case A.txt | a
  failure preparation: Unsupported project format: requires .cvvcp file.
case B.txt | b
  failure preparation: Unsupported project format: requires .cvvcp file." "$(summary failed.xml)"
stop_ide

# 5. No IDE and none to launch: the projects were never reached.
"$kilnrun" --report=noide.xml "$conf" >noide.out 2>noide.err
check "no IDE: exit status" 1 "$?"
check "no IDE: the report" "suite kilnrun.conf tests=3 failures=0 errors=1 skipped=2
property configuration=WORK/forms/kilnrun.conf
case A.txt | a
  skipped ide: Not built: Error: Could not locate Corvane.
case B.txt | b
  skipped ide: Not built: Error: Could not locate Corvane.
case Build run | kilnrun
  error ide: Error: Could not locate Corvane." "$(summary noide.xml)"

# 6. An exception in the middle of the run (a Linux target whose project
# names no Linux application): the project being built carries the error.
private_tmp broken
project broken/One One
sed -i '/LinuxX86Name/d' broken/One/One.cvvcp
project broken/Two Two
printf 'Donated true\n<project>\nFile One/One.cvvcp\nBuildLinux true\n</project>\n<project>\nFile Two/Two.cvvcp\nBuildLinux true\n</project>\n' \
  >broken/kilnrun.conf
start_ide
"$kilnrun" --report broken.xml "$work/broken/kilnrun.conf" >broken.out 2>broken.err
check "exception: the run fails" true "$([ $? -ne 0 ] && echo true || echo false)"
check "exception: the report" "suite kilnrun.conf tests=2 failures=0 errors=1 skipped=1
property configuration=WORK/broken/kilnrun.conf
case One.cvvcp | One
  error exception: Kilnrun has encountered an error: KeyNotFoundException
case Two.cvvcp | Two
  skipped exception: Not built: Kilnrun has encountered an error: KeyNotFoundException" "$(summary broken.xml)"
stop_ide

[ $failures -eq 0 ] && echo "ci_test: all passed"
exit $failures
