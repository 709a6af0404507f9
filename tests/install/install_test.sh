#!/bin/sh
# cmake --install into a scratch prefix: every file it writes lies in the
# prefix, the layout is the one kilnrun needs, and the installed programs
# work through their links in bin: kilnrun --version and --help, the manual
# pages found by man, and a whole build of the installed demo in a
# Subversion working copy, whose CorvanePath starts the installed stand-in
# IDE. The run adds nothing to the prefix.
# Usage: install_test.sh BUILD_DIR VERSION APP_PROBE
set -u
build=$1
version=$2
probe=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/install_test.XXXXXX")
trap 'pkill -f "$work/" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1
prefix=$work/prefix

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

contains() {  # contains NAME TEXT PART
  case "$2" in
    *"$3"*) ;;
    *) check "$1" "... $3 ..." "$2" ;;
  esac
}

# traced NAME COMMAND...: runs COMMAND under strace, recording every call
# that creates, changes or removes a file; the paths written go to NAME.paths.
traced() {
  name=$1
  shift
  mkdir "$work/$name.trace"
  # LeakSanitizer cannot run under a tracer (the other runs check for leaks).
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -ff -y -z -qq -o "$work/$name.trace/call" \
    -e trace=open,openat,creat,mkdir,mkdirat,rename,renameat,renameat2,symlink,symlinkat,link,linkat,unlink,unlinkat,rmdir,truncate,chmod,fchmodat,chown,lchown,fchownat,utimensat,utime,utimes,futimesat \
    "$@" >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  python3 "$here/written_paths.py" "$work/$name.trace"/call.* >"$work/$name.paths"
}

# 1. The install writes in the prefix only (and cmake's list of what it
# installed, which it keeps in the build folder).
traced install cmake --install "$build" --prefix "$prefix"
check "install: exit status" 0 "$status"
outside=$(grep -v -x -F -e "$prefix" -e "$build/install_manifest.txt" "$work/install.paths" |
  grep -v -e "^$prefix/" -e '^/dev/')
check "install: nothing written outside the prefix" "" "$outside"

# 2. The layout: kind|path|link target.
while IFS='|' read -r kind path target; do
  item=$prefix/$path
  case $kind in
    link) check "layout: $path" "$target" "$(readlink "$item")" ;;
    program) [ -f "$item" ] && [ -x "$item" ] || check "layout: $path" "an executable file" "$(ls -l "$item" 2>&1)" ;;
    file) [ -f "$item" ] && [ -s "$item" ] || check "layout: $path" "a file" "$(ls -l "$item" 2>&1)" ;;
  esac
done <<'LAYOUT'
link|bin/kilnrun|../lib/kilnrun/kilnrun
link|bin/corvane-ide-sim|../lib/kilnrun/corvane-ide-sim
program|lib/kilnrun/kilnrun
program|lib/kilnrun/corvane-ide-sim
file|lib/kilnrun/Kilnrun Libs/Shell.so
file|lib/kilnrun/Kilnrun Libs/Internet Encodings.so
file|lib/kilnrun/Kilnrun Libs/EHBase649371.so
file|share/man/man1/kilnrun.1.gz
file|share/man/man5/kilnrun.conf.5.gz
file|share/man/man1/corvane-ide-sim.1.gz
file|share/doc/kilnrun/copyright
file|share/doc/kilnrun/changelog.gz
file|share/doc/kilnrun/examples/demo/kilnrun.conf
program|share/doc/kilnrun/examples/demo/scripts/before-all.sh
program|share/doc/kilnrun/examples/demo/Hello/postbuild.sh
LAYOUT

# 3. The programs through their links, from another folder; the version
# request writes no file at all.
cd / || exit 1
traced version "$prefix/bin/kilnrun" --version
check "kilnrun --version: exit status" 0 "$status"
check "kilnrun --version: version line" "Kilnrun v.$version (" "$(head -n 1 "$work/version.out" | cut -c 1-$((12 + ${#version})))"
check "kilnrun --version: writes nothing" "" "$(grep -v '^/dev/' "$work/version.paths")"
help=$("$prefix/bin/kilnrun" --help 2>&1)
check "kilnrun --help: exit status" 0 "$?"
check "kilnrun --help: the configuration's folder" "  $prefix/lib/kilnrun/" \
  "$(printf '%s\n' "$help" | grep -x "  $prefix/lib/kilnrun/")"
contains "kilnrun --help: the manual's folder" "$help" "(in $prefix/share/man/)."
help=$("$prefix/bin/corvane-ide-sim" --help 2>&1)
check "corvane-ide-sim --help: exit status" 0 "$?"
check "corvane-ide-sim --help: usage" "Usage: corvane-ide-sim [options]" "$(printf '%s\n' "$help" | head -n 1)"
for page in kilnrun kilnrun.conf corvane-ide-sim; do
  check "man finds $page" "$prefix/share/man/man$([ $page = kilnrun.conf ] && echo 5 || echo 1)/$page.$([ $page = kilnrun.conf ] && echo 5 || echo 1).gz" \
    "$(man -M "$prefix/share/man" -w "$page" 2>&1)"
done
cd "$work" || exit 1

# 4. The installed demo, built as scripts/main builds it: a working copy at
# revision 1 with an ide link, here to the installed stand-in; a home and a
# temporary folder of its own, whose IDE socket port lies below 32768, where
# the system takes no ports for outgoing connections.
export HOME="$work/home"
mkdir "$HOME"
n=0
while :; do
  TMPDIR=$work/tmp$n
  export TMPDIR
  mkdir "$TMPDIR"
  [ "$("$probe" port | tail -n 1)" -lt 32768 ] && break
  n=$((n + 1))
done
before=$(cd "$prefix" && find . -printf '%p %s %T@\n' | sort)
svnadmin create "$work/repository"
svn import -q -m "The demo projects" "$prefix/share/doc/kilnrun/examples/demo" "file://$work/repository/demo"
svn checkout -q "file://$work/repository/demo" "$work/demo"
mkdir "$work/demo/ide"
ln -s "$prefix/bin/corvane-ide-sim" "$work/demo/ide/corvane-ide-sim"
"$prefix/bin/kilnrun" "$work/demo/kilnrun.conf" >demo.out 2>demo.err
check "demo: exit status" 0 "$?"
check "demo: standard error" "" "$(cat demo.err)"
check "demo: the projects, at their revision" "Building Hello.cvvcp (r1)
Building Tools.cvvcp (r1)
Build complete" "$(grep -e '^Building' -e '^Build complete' demo.out)"
check "demo: the builds folder" "Hello.app.tar Hello.exe hello hello-tools hello-tools.exe" \
  "$(cd "$work/demo/builds" && echo *)"
ide=$(pgrep -f "$work/demo/ide/corvane-ide-sim" | head -n 1)
check "demo: the IDE started is the installed one" "$prefix/lib/kilnrun/corvane-ide-sim" \
  "$(readlink "/proc/$ide/exe")"
check "demo: the prefix is as installed" "$before" "$(cd "$prefix" && find . -printf '%p %s %T@\n' | sort)"

[ $failures -eq 0 ] && echo "install_test: all passed"
exit $failures
