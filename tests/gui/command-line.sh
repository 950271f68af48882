#!/usr/bin/env bash
# The program's answers on the terminal: --help and --version need no window
# system, and what it cannot use ends it with a message and a failure.
# Usage: command-line.sh PATH_TO_LUMEO VERSION
set -uo pipefail
lumeo=$1
version=$2
failures=0
check() { # description, expected exit code, expected text (grep -E), command...
  local what=$1 code=$2 pattern=$3
  shift 3
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$code" ] || ! grep -Eq -- "$pattern" <<<"$out"; then
    echo "FAIL: $what: exit $rc (expected $code), output:"
    echo "$out" | sed 's/^/  | /'
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}
# No display at all: the answer must not need one.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
check "--version" 0 "^Lumeo ${version//./\\.}$" "${nodisplay[@]}" "$lumeo" --version
check "-v" 0 "^Lumeo ${version//./\\.}$" "${nodisplay[@]}" "$lumeo" -v
check "--help names the file argument" 0 "Usage: .*lumeo \[options\] \[file\]" "${nodisplay[@]}" "$lumeo" --help
check "--help lists --version" 0 "--version" "${nodisplay[@]}" "$lumeo" -h
check "an unknown option" 1 "Unknown option 'frobnicate'" env QT_QPA_PLATFORM=offscreen "$lumeo" --frobnicate
check "two files" 1 "one session file at a time, not 2" env QT_QPA_PLATFORM=offscreen "$lumeo" a.lu b.lu
# The sweep's usage errors need no display either (its sweeps are tested in
# the test network).
check "--sweep of a missing file" 2 "no such file or directory" "${nodisplay[@]}" "$lumeo" --sweep /nonexistent/x.lu
# libsmbclient and its hundred libraries load only into the helper, never
# into the program's start.
check "the program does not link libsmbclient" 0 "^0$" bash -c "ldd '$lumeo' | grep -c smbclient || true"
check "its helper does" 0 "^[1-9]" bash -c "ldd '$(dirname "$lumeo")/lumeo-smb' | grep -c smbclient"
echo "$((9 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
