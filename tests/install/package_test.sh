#!/bin/sh
# The Debian package: CPack makes kilnrun_VERSION_ARCH.deb; its control
# fields hold the version kilnrun prints, a Depends naming the package of
# every shared library that a program or plugin links, and Recommends:
# subversion; unpacked with dpkg-deb -x, the stripped kilnrun still carries
# its application image and answers through /usr/bin; lintian finds no
# error (its warnings are printed).
# Usage: package_test.sh BUILD_DIR VERSION BUILD_NUMBER plain|sanitized
set -u
build=$1
version=$2
number=$3
# A numbered build's package sorts after its release's.
package_version=$version
[ "$number" = 0 ] || package_version=$version+$number
if [ "$4" = sanitized ]; then
  echo "SKIP: a sanitizer build is not packaged: its programs need the sanitizers' runtime, and it is not what is shipped"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/package_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
cd "$work" || exit 1

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1
check "cpack: exit status" 0 "$?"
arch=$(dpkg --print-architecture)
deb=$work/out/kilnrun_${package_version}_$arch.deb
if [ ! -f "$deb" ]; then
  check "the package's file" "$deb" "$(ls "$work/out")"
  cat cpack.log
  exit 1
fi

while IFS='|' read -r field value; do
  check "field $field" "$value" "$(dpkg-deb -f "$deb" "$field" | head -n 1)"
done <<FIELDS
Package|kilnrun
Version|$package_version
Architecture|$arch
Recommends|subversion
Section|devel
Priority|optional
Maintainer|Kilnrun maintainers <maintainers@kilnrun.example.org>
Description|build automation for Corvane projects
FIELDS

dpkg-deb -x "$deb" root
check "dpkg-deb -x: exit status" 0 "$?"

# Depends: the package of every shared library that an ELF file links, as
# the system resolves it.
depends=$(dpkg-deb -f "$deb" Depends)
find root -type f | while read -r file; do
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  ldd "$file" | sed -n 's/.* => \(\/[^ ]*\) .*/\1/p'
done | sort -u >needed
check "some shared libraries are linked" true "$([ -s needed ] && echo true || echo false)"
while read -r library; do
  package=$(dpkg -S "$library" 2>/dev/null || dpkg -S "$(readlink -f "$library")" 2>/dev/null)
  package=$(printf '%s\n' "$package" | head -n 1 | sed 's/[:,].*//')
  case ", $depends," in
    *", $package ("* | *", $package,"*) ;;
    *) check "Depends names the package of $library" "${package:-a package}" "$depends" ;;
  esac
done <needed

# The unpacked programs, through their links in usr/bin.
out=$(root/usr/bin/kilnrun --version 2>&1)
check "unpacked kilnrun --version: exit status" 0 "$?"
check "unpacked kilnrun --version: version line" "Kilnrun v.$version ($number)" \
  "$(printf '%s\n' "$out" | head -n 1)"
case "$(root/usr/bin/kilnrun --help 2>&1)" in
  *"
  $work/root/usr/lib/kilnrun/
"*"(in $work/root/usr/share/man/)."*) ;;
  *) check "unpacked kilnrun --help names its folders" "$work/root/usr/lib/kilnrun/ ... $work/root/usr/share/man/" \
    "$(root/usr/bin/kilnrun --help 2>&1)" ;;
esac

lintian "$deb" >lintian.txt 2>&1
grep '^E:' lintian.txt >lintian-errors.txt && check "lintian: no error" "" "$(cat lintian-errors.txt)"
grep -v -e '^E:' -e '^N:' -e 'running with root privileges' lintian.txt

[ $failures -eq 0 ] && echo "package_test: all passed"
exit $failures
