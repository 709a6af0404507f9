#!/bin/sh
# End-to-end checks of start-up and exit: exit codes, the unhandled-exception
# printer, kilnrun's version and help requests, the image loader's checks of a stamped
# executable, and the plugins beside the executable.
# Usage: process_test.sh KILNRUN KILNRUN_IMAGE APP_PROBE
set -u
kilnrun=$1
image_tool=$2
probe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/process_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

run() {  # run PROGRAM ARGS... -> $out $err $status
  "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# The probe is unstamped: run it where no loose image files lie.
cd "$work"
run "$probe" return3
check "Run returning 3" 3 "$status"
run "$probe" quit5
check "quit 5 then return 3" 5 "$status"
run "$probe" quit5raise
check "quit 5 raising EndException" 5 "$status"
run "$probe" end
check "EndException exit" 0 "$status"
check "EndException prints nothing" "" "$err"
run "$probe" raise
check "unhandled exception exit" 1 "$status"
expected=$(printf 'Exception Message: bad index\nException Error Number: 9\nAn exception of class OutOfBoundsException was not handled.  The application must shut down.')
check "printer text" "$expected" "$err"
check "printer ends without a line end" "$(printf '%s' "$expected" | wc -c)" "$(wc -c <"$work/err" | tr -d ' ')"
run "$probe" args "two words" ""
check "arguments arrive split, quotes removed" "3|args|two words|" "$(printf '%s\n' "$out" | tail -1)"

version=$("$kilnrun" --version 2>&1 | head -1)
case "$version" in
  "Kilnrun v."*" ("*")") ;;
  *) check "version line" "Kilnrun v.M.m.b (n)" "$version" ;;
esac
for args in "--version" "version" "-VERSION other args"; do
  # shellcheck disable=SC2086
  run "$kilnrun" $args
  check "kilnrun $args exit" 0 "$status"
  check "kilnrun $args lines" 3 "$(printf '%s\n' "$out" | wc -l | tr -d ' ')"
done
# Help in any form the version request accepts, before anything else runs:
# no donation notice, as no configuration was read. The version request wins,
# and a help that is the config option's value is a path.
for args in "--help" "help" "-HELP other args" "HeLp some.conf"; do
  # shellcheck disable=SC2086
  run "$kilnrun" $args
  check "kilnrun $args exit" 0 "$status"
  check "kilnrun $args usage" "Usage: kilnrun [[--config=]PATH]" "$(printf '%s\n' "$out" | head -n 1)"
  check "kilnrun $args: no configuration read" "" "$(printf '%s\n' "$out" "$err" | grep donating)"
done
for args in "help --version" "--HELP -version"; do
  # shellcheck disable=SC2086
  run "$kilnrun" $args
  check "kilnrun $args exit" 0 "$status"
  check "kilnrun $args: the version lines" "Kilnrun v. 3" \
    "$(printf '%s\n' "$out" | head -n 1 | cut -c 1-10) $(printf '%s\n' "$out" | wc -l | tr -d ' ')"
done
run "$kilnrun" --config help
check "kilnrun --config help: a configuration that is not there" 1 "$status"
run "$kilnrun" some.conf
check "other requests are a configuration error" 1 "$status"
check "a missing configuration: the error line" "Build configuration could not be read." "$err"

# kilnrun moved elsewhere with its folder keeps working.
mkdir "$work/moved"
cp "$kilnrun" "$work/moved/kilnrun"
cp -r "$(dirname "$kilnrun")/Kilnrun Libs" "$work/moved/"
run "$work/moved/kilnrun" --version
check "moved kilnrun" 0 "$status"

# A wrong stamped offset is tolerated while the image ends the file.
cp "$kilnrun" "$work/wrong"
"$image_tool" pickle "$work/wrong" 12345 "$("$image_tool" dump "$kilnrun" >/dev/null; \
  stat -c %s "$(dirname "$kilnrun")/kilnrun.image" | awk '{print $1 - 6}')"
run "$work/wrong" --version
check "wrong stamped offset" 0 "$status"
# A stamped image that is found nowhere: nothing of the program runs.
cp "$kilnrun" "$work/corrupt"
"$image_tool" pickle "$work/corrupt" 12345 99
run "$work/corrupt" --version
check "corrupt executable exit" 1 "$status"
check "corrupt executable message" "Executable is corrupt!" "$err"
check "corrupt executable runs nothing" "" "$out"

# The plugins: found beside the probe, or missing with every lookup reported.
cp "$probe" "$work/moved/probe"
"$image_tool" build "$work/probe.image" \
  --resource-text "CVnx:0:plugin:CVInternetEncodings.cvx:0=Kilnrun Libs\\Internet Encodings.so" \
  --resource-text "CVnx:0:plugin:CVShell.cvx:0=Kilnrun Libs\\Shell.so" \
  --resource-text "CVnx:0:plugin:Crypt Engine.cvx:2=Kilnrun Libs\\EHBase649371.so"
"$image_tool" stamp "$work/moved/probe" "$work/probe.image"
run "$work/moved/probe" shell
check "shell through the plugin" "$(printf 'hi\nthere\nround trip')" "$out"
check "shell exit" 0 "$status"
rm -rf "$work/moved/Kilnrun Libs"
run "$work/moved/probe" shell
check "missing plugins: each lookup reported once" "plugin lookups reported: 13" "$out"
case "$err" in
  *"FunctionNotFoundException"*) ;;
  *) check "missing plugins: Shell raises" "FunctionNotFoundException" "$err" ;;
esac
run "$work/moved/kilnrun" --version
check "kilnrun without its plugins still answers" 0 "$status"

[ "$failures" -eq 0 ] && echo "all process checks passed"
exit "$failures"
