#!/usr/bin/env bash
# Launch at login, end to end in a real X session (a virtual display and a window manager):
# panels on the default data directory and on another one each turn the setting on in their
# settings dialog. Each directory gets an entry of its own that validates; the other directory's
# entry, started as the session would, starts that directory's panel hidden (minimised, as this
# session has no tray); turning the setting off in the default directory leaves the other's entry.
#
#   autostart_test.sh PROGRAM SOURCE
set -eEuo pipefail
program="$1"
source="$2"
. "$(dirname "$0")/private_home.sh"
pids=()
cleanup() {
    local status=$? pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    ((status == 0)) || tail -n 20 "$HOME/session.log" >&2 || true
    cleanup_home
}
trap cleanup EXIT
trap 'fail "line $LINENO: \"$BASH_COMMAND\" failed with status $?"' ERR
wait_until() {
    local what="$1" deadline=$((SECONDS + $2))
    shift 2
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.1
    done
}
start() {
    "$@" >>"$HOME/session.log" 2>&1 &
    pids+=($!)
}

start Xvfb -displayfd 3 -noreset -screen 0 1600x1000x24 -nolisten tcp 3>"$HOME/display"
wait_until "the X server's display" 60 grep -q '^[0-9]' "$HOME/display"
export DISPLAY=":$(cat "$HOME/display")"
wait_until "the X server" 60 xdpyinfo
start openbox --sm-disable
# Only the window manager's running loop grants a desktop count.
wm_serving() { xprop -root _NET_NUMBER_OF_DESKTOPS | grep -q '= 1$' || ! xdotool set_num_desktops 1; }
wait_until "the window manager" 60 wm_serving
dbus-daemon --session --fork --print-address=4 --print-pid=5 4>"$HOME/bus-address" 5>"$HOME/bus-pid"
pids+=($(cat "$HOME/bus-pid"))
export DBUS_SESSION_BUS_ADDRESS="$(cat "$HOME/bus-address")" QT_QPA_PLATFORM=xcb

window_of() { xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" | head -1 || true; }
has_window() { [ -n "$(window_of "$1" "${2:-Vornisel Control}")" ]; }
iconic() {
    local window="$(xdotool search --all --pid "$1" --name '^Vornisel Control$' | head -1)"
    [ -n "$window" ] && xprop -id "$window" WM_STATE | grep -q Iconic
}
# Ticks "launch at login" in the settings dialog of the panel $1 and saves.
toggle_login() {
    wait_until "the window of panel $1" 60 has_window "$1"
    xdotool windowactivate --sync "$(window_of "$1" 'Vornisel Control')" key ctrl+comma
    wait_until "the settings dialog" 10 has_window "$1" Settings
    local dialog="$(window_of "$1" Settings)"
    xdotool mousemove --window "$dialog" 40 431 click 1 mousemove --window "$dialog" 392 568 click 1
    wait_until "the settings dialog to close" 10 eval "! has_window $1 Settings"
}

studio="$HOME/studio b"
seed_store "$HOME/Library/Application Support/Vornisel/Clients"
seed_store "$studio"
start "$program"
main=$!
start "$program" --data-dir "$studio"
other=$!
toggle_login "$main"
toggle_login "$other"
entry="$XDG_CONFIG_HOME/autostart/com.quelt.vornisel.client.desktop"
wait_until "two autostart entries" 10 eval '[ "$(ls "$XDG_CONFIG_HOME/autostart" | wc -l)" -eq 2 ]'
other_entry="$(ls "$XDG_CONFIG_HOME"/autostart/*.desktop | grep -vxF "$entry")"
desktop-file-validate "$entry" "$other_entry" || fail "an autostart entry does not validate"

# The session starts the other directory's entry: its panel starts hidden.
kill "$other"
wait "$other" || true
eval "start $(sed -n 's/^Exec=//p' "$other_entry")"
login=$!
wait_until "the panel started at login, minimised" 60 iconic "$login"
! has_window "$login" || fail "the panel started at login shows its window"

toggle_login "$main"
wait_until "the default directory's entry to go" 10 test ! -e "$entry"
[ -e "$other_entry" ] || fail "turning it off in one directory removed the other's entry"
echo "ok: launch at login per data directory"
