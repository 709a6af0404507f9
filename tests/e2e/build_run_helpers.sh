# Helpers of the end-to-end build runs, sourced by their scripts; they use
# the scripts' $work (the scratch folder), $probe (app_probe) and $failures.

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

# A temporary folder of the run's own, and with it an IDE socket whose port
# lies below 32768, where the system takes no ports for outgoing connections.
private_tmp() {  # private_tmp NAME
  n=0
  while :; do
    TMPDIR=$work/$1-tmp$n
    export TMPDIR
    mkdir "$TMPDIR" || exit 1
    [ "$("$probe" port | tail -n 1)" -lt 32768 ] && break
    n=$((n + 1))
  done
}

project() {  # project FOLDER NAME: NAME.cvvcp; Linux NAME, Windows NAMEWin.exe, Mac NAMEMac
  mkdir -p "$1"
  printf 'Type=Desktop\nClass=App;App.cvvclass;&h1;&h0;false\nBuildFlags=&h0\nWindowsName=%sWin\nLinuxX86Name=%s\nMacCarbonMachName=%sMac\n' \
    "$2" "$2" "$2" >"$1/$2.cvvcp"
  printf '#tag Class\n#tag Constant, Name = kStamp, Type = String, Default = \\"none", Scope = Public\n#tag EndClass\n' \
    >"$1/App.cvvclass"
}
