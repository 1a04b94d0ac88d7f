#!/usr/bin/env bash
# Installs the build into a temporary prefix, as `cmake --install BUILD --prefix P` does for a
# user, and checks the tree: the bundle, the launcher, the server and its user unit, the menu entry (desktop-file-validate), the
# icons, the metainfo (appstreamcli, where installed), nothing of the tests; then lists the demo
# devices through the installed launcher.
#
#   install_test.sh BUILD SOURCE
set -euo pipefail
build="$1"
source="$2"
. "$(dirname "$0")/private_home.sh"
# A prefix with a space: the menu entry must quote its Exec line.
prefix="$HOME/pre fix"
trap cleanup_home EXIT
cmake --install "$build" --prefix "$prefix" >"$HOME/install.log" || {
    cat "$HOME/install.log"
    fail "cmake --install failed"
}
id=com.quelt.vornisel.client
bundle="$prefix/lib/vornisel-control/VorniselControl.app"
for file in "$bundle/Contents/MacOS/"{vornisel-control,vornisel_macos_engine_host,vornisel_pcm_probe}; do
    [ -x "$file" ] || fail "$file is not installed"
done
[ "$(readlink -f "$prefix/bin/vornisel-control")" = "$(readlink -f "$bundle/Contents/MacOS/vornisel-control")" ] ||
    fail "bin/vornisel-control does not lead to the bundle's program"
# Only the panel, the engine host, the PCM probe helper and the server are programs.
programs="$(find "$prefix" -type f -perm -u+x | wc -l)"
[ "$programs" -eq 4 ] || fail "$programs programs installed: $(find "$prefix" -type f -perm -u+x)"

entry="$prefix/share/applications/$id.desktop"
desktop-file-validate "$entry" || fail "the menu entry does not validate"
grep -qx "Exec=\"$prefix/bin/vornisel-control\"" "$entry" || fail "the menu entry starts: $(grep ^Exec "$entry")"
grep -qx "Icon=$id" "$entry" || fail "the menu entry names no icon $id"
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x$size/apps/$id.png"
    [ "$(identify -format %m%wx%h "$icon")" = "PNG${size}x$size" ] || fail "$icon is not a ${size}x$size PNG"
done
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$HOME/appstream.log" 2>&1 || {
    cat "$HOME/appstream.log"
    fail "the metainfo does not validate"
}

# The server's user unit starts the installed server, and nothing enables it.
unit="$prefix/lib/systemd/user/vornisel-server.service"
grep -qx "ExecStart=\"$prefix/bin/vornisel-server\"" "$unit" || fail "the server unit starts: $(grep ^ExecStart "$unit")"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify "$unit" || fail "systemd does not accept the server unit"
fi
[ -z "$(find "$prefix" -name '*.wants')" ] || fail "the server unit is enabled by the install"
"$prefix/bin/vornisel-server" --help | grep -q -- --port || fail "the installed server does not run"

# The installed program finds its bundle through the launcher.
"$prefix/bin/vornisel-control" --list-devices >"$HOME/devices.json"
grep -q '"name": "Demo Studio Interface"' "$HOME/devices.json" ||
    fail "the installed launcher listed: $(cat "$HOME/devices.json")"
echo "ok: install tree in $prefix"
