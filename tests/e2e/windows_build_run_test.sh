#!/bin/sh
# A build run of the Windows kilnrun under wine: it reads a kilnrun.conf,
# launches the Windows corvane-ide-sim named by CorvanePath, has it build the
# project's Windows product and moves the product into the builds folder.
# Usage: windows_build_run_test.sh KILNRUN_EXE CORVANE_IDE_SIM_EXE
set -u
kilnrun=$1
sim=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/windows_build_run.XXXXXX")
# The stand-in stays running, as the IDE does; it is stopped with the test
# (its Windows command line is a drive path, which this script's is not).
trap 'pkill -f "^[A-Z]:.*(CORV~[^ ]*\.EXE|corvane-ide-sim\.exe)" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

. "$(dirname "$0")/build_run_helpers.sh"

project One One  # its Windows product is OneWin.exe
mkdir builds
cp One/App.cvvclass App.cvvclass.before
cat >kilnrun.conf <<CONF
CorvanePath $(winepath -w "$sim")
BuildsDirectory builds
<project>
  File One\\One.cvvcp
  BuildWindows true
  SetConstant kStamp windows
</project>
CONF
wine "$kilnrun" "$(winepath -w "$work/kilnrun.conf")" >run.out 2>run.err
check "exit status" 0 "$?"
check "standard output" "-------------------------------------------------------------------
Please consider donating if you have found Kilnrun to be useful:
  <https://kilnrun.example.org/donate>
-------------------------------------------------------------------
Building One.cvvcp
Build complete" "$(tr -d '\r' <run.out)"
check "standard error" "" "$(cat run.err)"
check "the product, in the builds folder" "OneWin.exe" "$(ls builds)"
check "the product's content" 'echo "OneWin.exe: a Windows build of corvane-ide-sim"' \
  "$(tail -n 1 builds/OneWin.exe)"
check "the project folder, as it was" "App.cvvclass
One.cvvcp" "$(ls One)"
check "the class file, unchanged" "$(cat App.cvvclass.before)" "$(cat One/App.cvvclass)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; kilnrun's output:"
  cat run.out run.err
  exit 1
fi
echo "windows build run: all checks passed"
