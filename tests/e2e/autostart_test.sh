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
. "$(dirname "$0")/x_desktop.sh"
cleanup() {
    local status=$?
    stop_started
    ((status == 0)) || tail -n 20 "$HOME/session.log" >&2 || true
    cleanup_home
}
trap cleanup EXIT
trap 'fail "line $LINENO: \"$BASH_COMMAND\" failed with status $?"' ERR
start() {
    "$@" >>"$HOME/session.log" 2>&1 &
    pids+=($!)
}

start_x_and_window_manager
start_session_bus

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
