#!/usr/bin/env bash
# End-to-end test in a real X session: a virtual display with a window manager and a tray host,
# the panel started as a user starts it (no arguments, on a throw-away home), driven from outside
# with xdotool and observed through screenshots and the files it writes.
#
#   x_session_test.sh PROGRAM SOURCE OUTDIR
#
# Screenshots land in OUTDIR. Checks: the window opens; the tray shows the "VN" item and its menu hides and shows the window; a
# device is added through the device dialog, started and stopped; Ctrl+Q with a running engine
# stops it and ends the program with status 0; no engine host is left.
set -euo pipefail
program="$1"
source="$2"
outdir="$3"
. "$(dirname "$0")/private_home.sh"
mkdir -p "$outdir"
rm -f "$outdir"/*.png
data="$HOME/Library/Application Support/Vornisel/Clients"
seed_store "$data"
# Everything is started by this script and stopped by its own process id.
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    cleanup_home
}
trap cleanup EXIT

# Polls a command until it succeeds, for at most $2 seconds.
wait_until() {
    local what="$1" seconds="$2"
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "timed out after ${seconds}s waiting for $what"
        sleep 0.1
    done
}

shot_number=0
shot() {
    shot_number=$((shot_number + 1))
    import -window root "$outdir/$(printf '%02d' "$shot_number")-$1.png"
}

free_display() {
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            echo "$n"
            return
        fi
    done
    fail "no free X display number"
}

# --- The X session -----------------------------------------------------------------------------
display="$(free_display)"
Xvfb ":$display" -screen 0 1600x1000x24 -nolisten tcp >"$HOME/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
wait_until "the X server" 20 xdpyinfo
openbox --sm-disable >"$HOME/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_until "the window manager" 20 wm_running
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
    --height 32 --SetDockType true --transparent false --tint 0x202020 \
    >"$HOME/trayer.log" 2>&1 &
pids+=($!)
tray_owner() { xprop -root | grep -q . && xdotool search --class trayer; }
wait_until "the tray host" 20 tray_owner
tray_window="$(xdotool search --onlyvisible --class trayer | head -1)"

# --- The panel, as a user starts it ------------------------------------------------------------
# No session bus: the tray icon is the X one the tray host embeds.
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb
timeout -k 10 300 "$program" >"$HOME/panel.log" 2>&1 &
panel=$!
pids+=($panel)

visible() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
is_visible() { [ -n "$(visible "$1")" ]; }
is_hidden() { [ -z "$(visible "$1")" ]; }
engine_hosts() { pgrep -f "vornisel_macos_engine_host --config $data/" || true; }
has_engine() { [ -n "$(engine_hosts)" ]; }
no_engine() { [ -z "$(engine_hosts)" ]; }

wait_until "the main window" 60 is_visible "Vornisel Control"
main="$(visible "Vornisel Control")"
shot main-empty

# The content starts below the menu bar; the stored content size is 1040 x 720.
eval "$(xdotool getwindowgeometry --shell "$main")"
menu_bar=$((HEIGHT - 720))
((menu_bar >= 0 && menu_bar < 80)) || fail "unexpected window height $HEIGHT"
click_main() {
    xdotool mousemove --window "$main" "$1" $(($2 + menu_bar)) click "${3:-1}"
}

# --- The tray item and its menu ---------------------------------------------------------------
icon_in_tray() { xwininfo -children -id "$tray_window" | grep -qE '^ +[0-9]+ child'; }
wait_until "the panel's icon in the tray" 20 icon_in_tray
icon="$(xwininfo -children -id "$tray_window" | awk '/^ +0x/ {print $1; exit}')"
[ -n "$icon" ] || fail "no icon window inside the tray"
shot tray
# Items: start all, hide/show window, quit. The keyboard walks the open menu.
# The panel's icon is the tray's only one, packed to its right end.
eval "$(xdotool getwindowgeometry --shell "$tray_window" | sed 's/^/tray_/')"
tray_menu_item() {
    xdotool mousemove $((tray_X + tray_WIDTH - 12)) $((tray_Y + tray_HEIGHT / 2)) click 3
    sleep 1 # the menu maps asynchronously; keys before it would go to the panel's window
    shot tray-menu
    local i
    for ((i = 0; i < $1; i++)); do xdotool key Down; done
    xdotool key Return
}
tray_menu_item 2
wait_until "the tray menu to hide the window" 10 is_hidden "Vornisel Control"
tray_menu_item 2
wait_until "the tray menu to show the window" 10 is_visible "Vornisel Control"

# --- Adding a device through the device dialog ------------------------------------------------
xdotool windowactivate --sync "$main"
click_main 996 50 # the header's add button
wait_until "the device dialog" 10 is_visible "New device"
dialog="$(visible "New device")"
# The first route of the matrix shown (hardware channel 1 -> virtual channel 1), then Add.
xdotool mousemove --window "$dialog" 166 276 click 1
shot device-dialog
xdotool mousemove --window "$dialog" 972 728 click 1
wait_until "the device dialog to close" 10 is_hidden "New device"
stored_device() { grep -q '"device"' "$data/panel.json"; }
wait_until "the device in panel.json" 10 stored_device
id="$(grep -o '"id": *[0-9][0-9]*' "$data/panel.json" | head -1 | grep -o '[0-9]*$')"
[ -n "$id" ] || fail "no device id in panel.json"
shot device-added

# --- Starting and stopping it from its card ---------------------------------------------------
click_main 992 131 # close the notice, so the card sits right under the heading
toggle() { click_main 868 222; }
socket="/tmp/vornisel-engine-host_$id.sock"
engine_up() { has_engine && [ -S "$socket" ]; }
engine_down() { no_engine && [ ! -e "$socket" ]; }
toggle
wait_until "the engine to start" 30 engine_up
sleep 1.5 # one poll, so that the screenshot shows the running card
shot running
[ -s "$data/config/default/$id.ini" ] || fail "no engine configuration for device $id"
[ -f "$data/engine-$id.log" ] || fail "no engine log for device $id"
toggle
wait_until "the engine to stop" 30 engine_down
shot stopped

# --- Ctrl+Q with a running engine -------------------------------------------------------------
toggle
wait_until "the engine to start again" 30 engine_up
engine="$(engine_hosts)"
xdotool windowactivate --sync "$main" key ctrl+q
ended() { ! kill -0 "$panel" 2>/dev/null; }
wait_until "the panel to end" 30 ended
status=0
wait "$panel" || status=$?
[ "$status" -eq 0 ] || { cat "$HOME/panel.log"; fail "the panel ended with status $status"; }
no_engine || fail "engine hosts are left: $(engine_hosts)"
! kill -0 "$engine" 2>/dev/null || fail "engine host $engine is left"
[ ! -e "$socket" ] || fail "$socket is left"
[ ! -e "/dev/shm/VorniselEngineStats_${id}_v6" ] || fail "the statistics block is left"
grep -q '"width": *1040' "$data/panel.json" || fail "panel.json lacks the window width: $(cat "$data/panel.json")"
shot ended
echo "ok: X session end-to-end test; screenshots in $outdir"
