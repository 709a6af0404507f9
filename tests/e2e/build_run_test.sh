#!/bin/sh
# End-to-end build runs: kilnrun reads a kilnrun.conf in a scratch folder,
# stamps revisions from a real Subversion working copy, starts or finds
# corvane-ide-sim, builds the projects through it and moves the products
# into the builds folder.
# Usage: build_run_test.sh KILNRUN CORVANE_IDE_SIM APP_PROBE
set -u
kilnrun=$1
sim=$2
probe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/build_run_test.XXXXXX")
trap 'pkill -f "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

. "$(dirname "$0")/build_run_helpers.sh"

stop_ides() {  # every stand-in started under the scratch folder
  pkill -f "$work" 2>/dev/null
  sleep 0.2
}

script() {  # script FILE TEXT: an executable shell script running TEXT
  printf '#!/bin/sh\n%s\n' "$2" >"$1"
  chmod +x "$1"
}

ide_wrapper() {  # ide_wrapper FILE OPTIONS: an IDE to launch, logging what it runs
  script "$1" "exec '$sim' $2 --log '$work/ide.log'"
}

temp_files() { find "$work" -name 'TempKR*' | wc -l; }

# 1. Two projects from a Subversion working copy, every script, the IDE
# launched through CorvanePath, products moved into the builds folder.
private_tmp main
mkdir -p main-import/scripts main-import/builds
project main-import/One One
project main-import/Two Two
script main-import/scripts/before.sh 'echo before >>"$(dirname "$0")/../ran.txt"'
script main-import/scripts/after.sh 'echo after >>"$(dirname "$0")/../ran.txt"'
script main-import/One/pre.sh 'echo one-pre >>"$(dirname "$0")/../ran.txt"'
script main-import/One/post.sh 'echo "one-post $#" >>"$(dirname "$0")/../ran.txt"'
cat >main-import/kilnrun.conf <<CONF
CorvanePath ide.sh
BuildsDirectory builds
PreBuildScript scripts/before.sh
PostBuildScript scripts/after.sh
<project>
  File One/One.cvvcp
  BuildLinux true
  BuildWindows true
  SetConstant kStamp r%svnrevision%
  PreBuildScript One/pre.sh
  PostBuildScript One/post.sh
</project>
<project>
  File Two/Two.cvvcp
  BuildMacUB true
</project>
CONF
svnadmin create "$work/repository"
svn import -q -m "two projects" main-import "file://$work/repository/trunk"
svn checkout -q "file://$work/repository/trunk" main
ide_wrapper main/ide.sh ""
"$kilnrun" "$work/main/kilnrun.conf" >main.out 2>main.err
check "main run: exit status" 0 "$?"
check "main run: standard output" "-------------------------------------------------------------------
Please consider donating if you have found Kilnrun to be useful:
  <https://kilnrun.example.org/donate>
-------------------------------------------------------------------
Executing prebuild script.
Building One.cvvcp (r1)
Executing project prebuild script.
Executing project postbuild script.
Building Two.cvvcp (r1)
Executing postbuild script.
Build complete" "$(cat main.out)"
check "main run: standard error" "" "$(cat main.err)"
check "main run: the scripts, in order" "before
one-pre
one-post 4
after" "$(cat main/ran.txt)"
check "main run: the builds folder" "One OneWin.exe TwoMac.app.tar" "$(cd main/builds && echo *)"
check "main run: the project folders keep only their files" "App.cvvclass One.cvvcp post.sh pre.sh | App.cvvclass Two.cvvcp" \
  "$(cd main/One && echo *) | $(cd main/Two && echo *)"
check "main run: no temporary file left" 0 "$(temp_files)"
check "main run: the IDE opened each project copy" 2 "$(grep -c 'OpenFile \\"[^"]*TempKR[0-9]*\.cvvcp' ide.log)"
check "main run: and closed its window" 2 "$(grep -c 'CloseWindow' ide.log)"
stop_ides

# 2. No IDE running and none where CorvanePath points: nothing is built,
# but the global pre-build script has run.
private_tmp missing
mkdir -p missing
project missing/One One
script missing/before.sh 'echo before >"$(dirname "$0")/ran.txt"'
printf 'CorvanePath no-such-ide\nPreBuildScript before.sh\nDonated true\n<project>\nFile One/One.cvvcp\nBuildLinux true\n</project>\n' \
  >missing/kilnrun.conf
"$kilnrun" --config="$work/missing/kilnrun.conf" >missing.out 2>missing.err
check "IDE missing: exit status" 1 "$?"
check "IDE missing: error line" "Error: Could not locate Corvane." "$(cat missing.err)"
check "IDE missing: the pre-build script ran" before "$(cat missing/ran.txt)"
check "IDE missing: nothing built" "App.cvvclass One.cvvcp" "$(cd missing/One && echo *)"

# 3. A project that times out while the next one builds. The IDE is
# already running, so CorvanePath is not even looked at.
private_tmp slow
mkdir -p slow/builds
project slow/Late Late
project slow/Next Next
printf 'Donated true\nBuildsDirectory builds\n<project>\nFile Late/Late.cvvcp\nBuildLinux true\nTimeout 1\n</project>\n<project>\nFile Next/Next.cvvcp\nBuildLinux true\nTimeout 30\n</project>\n' \
  >slow/kilnrun.conf
"$sim" --delay 2 --log "$work/slow-ide.log" >/dev/null 2>&1
"$kilnrun" "$work/slow/kilnrun.conf" >slow.out 2>slow.err
check "timeout: exit status" 0 "$?"
check "timeout: error line" "Build failed: timeout reached." "$(cat slow.err)"
check "timeout: the run goes on" "Building Late.cvvcp
Building Next.cvvcp
Build complete" "$(cat slow.out)"
check "timeout: only the next project's product moved" Next "$(cd slow/builds && echo *)"
stop_ides

# 4. Paths holding spaces, quotes, $(...), ";" and backquotes, for the
# project, its scripts and the IDE: each runs as the file it names, and no
# other command runs.
private_tmp odd
odd="odd it's \$(touch pwned1) ;touch pwned2; \`touch pwned3\` \"q\""
mkdir -p "$work/$odd/builds"
project "$work/$odd/Pro ject" "My App"
script "$work/$odd/pre \$(x).sh" 'echo pre >>"$(dirname "$0")/ran.txt"'
script "$work/$odd/Pro ject/post;x.sh" 'echo "post $#" >>"$(dirname "$0")/../ran.txt"'
ide_wrapper "$work/$odd/the ide \`x\`" ""
printf 'CorvanePath the ide `x`\nDonated true\nBuildsDirectory builds\nPreBuildScript pre $(x).sh\n<project>\nFile Pro ject/My App.cvvcp\nBuildLinux true\nBuildWindows true\nPostBuildScript Pro ject/post;x.sh\n</project>\n' \
  >"$work/$odd/kilnrun.conf"
"$kilnrun" "$work/$odd/kilnrun.conf" >odd.out 2>odd.err
check "odd paths: exit status" 0 "$?"
check "odd paths: standard error" "" "$(cat odd.err)"
check "odd paths: the scripts ran" "pre
post 4" "$(cat "$work/$odd/ran.txt")"
check "odd paths: products moved" "My App My AppWin.exe" "$(cd "$work/$odd/builds" && echo *)"
check "odd paths: no command of the paths ran" "" "$(find "$work" -name 'pwned[123]')"
stop_ides

# 5. An exception in the middle of the run (a Linux target whose project
# names no Linux application): the run ends through the unhandled-exception
# report, and every project's temporary files are gone.
private_tmp broken
mkdir -p broken
project broken/One One
sed -i '/LinuxX86Name/d' broken/One/One.cvvcp
project broken/Two Two
printf 'Donated true\n<project>\nFile One/One.cvvcp\nBuildLinux true\nSetConstant kStamp x\n</project>\n<project>\nFile Two/Two.cvvcp\nBuildLinux true\n</project>\n' \
  >broken/kilnrun.conf
"$sim" --log "$work/broken-ide.log" >/dev/null 2>&1
"$kilnrun" "$work/broken/kilnrun.conf" >broken.out 2>broken.err
status=$?
check "exception: the run fails" true "$([ $status -ne 0 ] && echo true || echo false)"
check "exception: the report" "Kilnrun has encountered an error: KeyNotFoundException
Terminating build process and cleaning up." "$(head -n 2 broken.err)"
check "exception: no later project" "Building One.cvvcp" "$(cat broken.out)"
check "exception: no temporary file left" 0 "$(temp_files)"
stop_ides

[ $failures -eq 0 ] && echo "build_run_test: all passed"
exit $failures
