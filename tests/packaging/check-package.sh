#!/usr/bin/env bash
# Installs the build into a scratch folder and checks it the way a desktop
# and Debian see it: every file in its place, the icons at their sizes, the
# desktop entry, AppStream metainfo and MIME type valid, and the Debian
# package built by CPack clean in lintian's eyes, with the dependencies and
# the post-install step it needs. A checker that is not installed is
# skipped (exit 77 when none is).
# Usage: check-package.sh BUILD_DIR
set -uo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0 passed=0 skipped=()
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; passed=$((passed + 1)); }
have() { command -v "$1" >/dev/null || { skipped+=("$1"); return 1; }; }

root=$scratch/root
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  fail "cmake --install"
  exit 1
fi
share=$root/usr/share
id=com.korvell.Lumeo
for f in usr/bin/lumeo usr/share/applications/$id.desktop usr/share/icons/hicolor/scalable/apps/$id.svg \
         usr/share/metainfo/$id.metainfo.xml usr/share/mime/packages/$id.xml usr/share/man/man1/lumeo.1.gz \
         usr/share/doc/lumeo/copyright usr/share/doc/lumeo/changelog.gz; do
  [ -f "$root/$f" ] || fail "/$f is not installed"
done
[ -x "$root/usr/bin/lumeo" ] || fail "/usr/bin/lumeo is not executable"
# The helper that browses with libsmbclient, where the program looks for it.
[ -x "$root/usr/libexec/lumeo/lumeo-smb" ] || fail "/usr/libexec/lumeo/lumeo-smb is not installed"
for size in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  if ! file "$png" 2>/dev/null | grep -q "PNG image data, $size x $size,"; then
    fail "no $size x $size PNG icon: $(file "$png" 2>&1)"
  fi
done
# The desktop entry starts what was installed.
exec_line=$(sed -n 's/^Exec=//p' "$share/applications/$id.desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] && ok "the desktop entry's Exec ($exec_line) names the installed program" \
  || fail "the desktop entry's Exec ($exec_line) names no installed program"
gzip -dc "$share/man/man1/lumeo.1.gz" | grep -q '^\.TH LUMEO 1' && ok "manual page" || fail "the manual page is not a section 1 page"

if have desktop-file-validate; then
  desktop-file-validate "$share/applications/$id.desktop" && ok "desktop-file-validate" || fail "desktop-file-validate"
fi
if have appstreamcli; then
  appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" && ok "appstreamcli validate" || fail "appstreamcli validate"
fi
if have update-mime-database; then
  # A file manager learns *.lu from the compiled database.
  mkdir -p "$scratch/mime/packages" && cp "$share/mime/packages/$id.xml" "$scratch/mime/packages/"
  if update-mime-database "$scratch/mime" 2>/dev/null && grep -q ':application/x-lumeo-session:\*\.lu$' "$scratch/mime/globs2"; then
    ok "the MIME type claims *.lu"
  else
    fail "the MIME database does not map *.lu to application/x-lumeo-session"
  fi
fi

if have cpack && have dpkg-deb && have dpkg-shlibdeps; then
  if cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/deb" >"$scratch/cpack.log" 2>&1; then
    deb=$(ls "$scratch"/deb/lumeo_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    # Found by shlibdeps from the program's links, and what it loads at run time.
    for need in libqt6core6 libqt6widgets6 libc6 libcap2-bin qt6-qpa-plugins; do
      grep -q "\b$need\b" <<<"$depends" || fail "the package does not depend on $need: $depends"
    done
    dpkg-deb -e "$deb" "$scratch/control"
    grep -q 'setcap cap_net_raw+ep "/usr/bin/lumeo"' "$scratch/control/postinst" && ok "postinst gives /usr/bin/lumeo cap_net_raw" \
      || fail "postinst does not give /usr/bin/lumeo cap_net_raw"
    sh -n "$scratch/control/postinst" || fail "postinst is not valid sh"
    if have lintian; then
      # lintian warns about running as root and goes on.
      if lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' | tee "$scratch/lintian.log"; [ "${PIPESTATUS[0]}" -eq 0 ]; then
        ok "lintian: no errors"
      else
        fail "lintian reports errors"
      fi
    fi
  else
    cat "$scratch/cpack.log"
    fail "cpack -G DEB"
  fi
fi

[ ${#skipped[@]} -gt 0 ] && echo "skipped, not installed: ${skipped[*]}"
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ] || exit 1
[ "$passed" -gt 0 ] || exit 77
