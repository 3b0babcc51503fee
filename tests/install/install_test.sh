#!/usr/bin/env bash
# Rotaview installs as a desktop expects: the files at their standard places under the prefix and
# nothing else, a desktop entry and AppStream metainfo that validate and name the installed
# program and icon, a program that answers --version from there, and a Debian package with its
# run-time dependencies in which lintian finds no error.
# Usage: install_test.sh BUILD_DIR (a built tree)
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

id=org.vantrel.Rotaview
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(bin/rotaview share/rotaview/msgbox03.ico "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/scalable/apps/$id.svg"
  share/man/man1/rotaview.1.gz share/doc/rotaview/copyright share/doc/rotaview/changelog.gz)
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$installed" = "$wanted" ] ||
  fail "installed files differ from the expected ones:$(diff <(echo "$wanted") <(echo "$installed"))"
[ -x "$prefix/bin/rotaview" ] || fail "bin/rotaview is not executable"
for size in "${sizes[@]}"; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is not $size pixels"
done

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate: $(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml")"
grep -qx "Exec=rotaview --user-workspace" "$desktop" || fail "the menu does not start the user's workspace"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$id" ] || fail "the desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo names another desktop entry"
gzip -t "$prefix/share/man/man1/rotaview.1.gz" || fail "the manual page is no gzip file"

# Without a display, from the installed place.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/rotaview" --version)
[ "$version" = "Rotaview 1.3.60" ] || fail "--version says '$version'"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/package" >/dev/null
deb=$(ls "$tmp"/package/*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = rotaview ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.3.60 ] || fail "package version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6printsupport6 libqt6gui6 libical3 libcurl4; do
  [[ $depends == *"$library"* ]] || fail "the package does not depend on $library: $depends"
done
contents=$(dpkg-deb -c "$deb")
grep -q " ./usr/bin/rotaview$" <<<"$contents" || fail "the package has no /usr/bin/rotaview"
grep -q " ./usr/share/applications/$id.desktop$" <<<"$contents" ||
  fail "the package has no desktop entry"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
if grep -q '^E:' <<<"$lintian_out"; then
  fail "lintian reports errors:
$lintian_out"
fi
