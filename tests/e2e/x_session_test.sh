#!/usr/bin/env bash
# End-to-end test in a real X session: a virtual display with a window manager and a tray host,
# the panel started as a user starts it (on a throw-away home), driven from outside with xdotool
# and observed through window states, processes and the files it writes.
#
#   x_session_test.sh PROGRAM SOURCE OUTDIR
#
# Checks, with a tray: the window opens; the tray shows the panel's item and its menu hides and
# shows the window; a second launch on the same data directory exits 0 and brings the hidden
# window back; the close button hides it into the tray; the toolkit's own options change nothing;
# a device is added through the device dialog, its card is found by name through AT-SPI (the
# accessibility bus of the session's own bus) and started from there; the UI check refuses the
# data directory; Ctrl+Q with a running engine stops it and ends the program with status 0.
#
# Every wait has a deadline and every failure says what it waited for; a failure leaves a
# screenshot of the display in OUTDIR.
set -eEuo pipefail
program="$1"
source="$2"
outdir="$3"
. "$(dirname "$0")/private_home.sh"
. "$(dirname "$0")/x_desktop.sh"
mkdir -p "$outdir"
rm -f "$outdir"/*.png
data="$HOME/Library/Application Support/Vornisel/Clients"
seed_store "$data"
# Everything is started by this script and stopped by its own process id.
cleanup() {
    local status=$?
    if ((status != 0)); then
        tail -n 15 "$HOME"/*.log >&2 || true
        if [ -n "${DISPLAY:-}" ] && import -window root "$outdir/failure.png"; then
            echo "--- the display at the failure: $outdir/failure.png" >&2
        fi
    fi
    stop_started
    cleanup_home
}
trap cleanup EXIT
# A command that fails outside a check still says where.
trap 'fail "line $LINENO: \"$BASH_COMMAND\" failed with status $?"' ERR

# --- The X session -----------------------------------------------------------------------------
start_x_and_window_manager

# The tray host's window that holds the icons ("panel"): it is mapped some time after it exists.
tray_mapped() {
    alive "the tray host" "$tray_pid"
    tray_window="$(xdotool search --onlyvisible --name '^panel$' | head -1)"
    [ -n "$tray_window" ]
}
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
    --height 32 --SetDockType true --transparent false --tint 0x202020 >"$HOME/trayer.log" 2>&1 &
tray_pid=$!
pids+=($tray_pid)
wait_until "the tray host's window to map" 60 tray_mapped

# --- Panels, as a user starts them -------------------------------------------------------------
# Nothing on the session bus offers a tray, so the tray icon is the X one the tray host embeds.
start_session_bus
# The accessibility bus joins the session bus on demand; the panel offers its tree on it.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The panel's main window, when mapped (on screen); $panel is the panel's process id.
window_of() {
    xdotool search --all --onlyvisible --pid "$panel" --name '^Vornisel Control$' 2>/dev/null |
        head -1 || true
}
shown() { [ -n "$(window_of)" ]; }
hidden() { [ -z "$(window_of)" ]; }
running() { kill -0 "$panel" 2>/dev/null; }
ended() { ! running; }
# launch_ends STATUS ARGS...: a further launch, which must end by itself with STATUS (a second
# launch gets 0 from the first panel's answer); its output is left in relaunch.log.
launch_ends() {
    local expected="$1" status=0
    shift
    timeout -k 5 60 "$program" "$@" >"$HOME/relaunch.log" 2>&1 || status=$?
    [ "$status" -eq "$expected" ] ||
        fail "a launch with '$*' ended with status $status: $(cat "$HOME/relaunch.log")"
}
# Waits for the panel to end by itself; it must end with status 0.
ends_well() {
    local status=0
    wait_until "the panel to end" 30 ended
    wait "$wrapper" || status=$?
    [ "$status" -eq 0 ] || fail "the panel ended with status $status"
}
# The panel icons the tray holds (the embedded windows carry the panel's class).
tray_icons() {
    xwininfo -tree -id "$tray_window" 2>/dev/null | grep -c '("vornisel-control" "Vornisel Control")' || true
}
icons_in_tray() { [ "$(tray_icons)" -eq "$1" ]; }
engine_hosts() { pgrep -f "vornisel_macos_engine_host --config $data/" || true; }

# The panel, under a time limit, as a user starts it (with options only the toolkit knows).
timeout -k 10 400 "$program" -platform bogus -style bogus -reverse -session bogus \
    >"$HOME/panel.log" 2>&1 &
wrapper=$!
pids+=($wrapper)
found_panel() { panel="$(pgrep -P "$wrapper" | head -1)" && [ -n "$panel" ]; }
wait_until "the panel's process" 30 found_panel
wait_until "the main window" 60 shown
main="$(window_of)"

# The content starts below the menu bar; the stored content size is 1040 x 720.
eval "$(xdotool getwindowgeometry --shell "$main")"
menu_bar=$((HEIGHT - 720))
((menu_bar >= 0 && menu_bar < 80)) || fail "unexpected window height $HEIGHT"
click_main() {
    xdotool mousemove --window "$main" "$1" $(($2 + menu_bar)) click 1
}

# --- The tray item and its menu ---------------------------------------------------------------
wait_until "the panel's icon in the tray" 60 icons_in_tray 1
# The panel's icon is the tray's only one, packed to its right end.
eval "$(xdotool getwindowgeometry --shell "$tray_window" | sed 's/^/tray_/')"
# The menu is the panel's one mapped window that the window manager does not manage.
menu_open() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$panel"); do
        xwininfo -id "$window" | grep -q 'Override Redirect State: yes' || continue
        menu_window=$window
        return 0
    done
    return 1
}
# Items: start all, hide/show window, quit, of one height each: the middle one is clicked.
tray_menu_window_item() {
    xdotool mousemove $((tray_X + tray_WIDTH - 12)) $((tray_Y + tray_HEIGHT / 2)) click 3
    wait_until "the tray menu to open" 10 menu_open
    eval "$(xdotool getwindowgeometry --shell "$menu_window" | sed 's/^/menu_/')"
    xdotool mousemove $((menu_X + menu_WIDTH / 2)) $((menu_Y + menu_HEIGHT / 2)) click 1
}
tray_menu_window_item
wait_until "the tray menu to hide the window" 10 hidden

# --- One panel per data directory: a second launch reopens the window -------------------------
launch_ends 0
wait_until "the second launch to show the first panel's window" 10 shown
# The close button hides the window into the tray, whose menu brings it back.
xdotool windowactivate --sync "$main" key alt+F4
wait_until "the close button to hide the window" 10 hidden
running || fail "closing the window ended the panel"
tray_menu_window_item
wait_until "the tray menu to show the window" 10 shown

# --- Adding a device through the device dialog and starting it from its card ------------------
xdotool windowactivate --sync "$main"
click_main 996 50 # the header's add button
dialog_shown() { xdotool search --onlyvisible --name '^New device$'; }
dialog_hidden() { ! dialog_shown; }
wait_until "the device dialog" 10 dialog_shown
dialog="$(xdotool search --onlyvisible --name '^New device$' | head -1)"
# The first route of the matrix shown (hardware channel 1 -> virtual channel 1), then Add.
xdotool mousemove --window "$dialog" 166 276 click 1
xdotool mousemove --window "$dialog" 972 728 click 1
wait_until "the device dialog to close" 10 dialog_hidden
stored_device() { grep -q '"device"' "$data/panel.json"; }
wait_until "the device in panel.json" 10 stored_device
id="$(grep -o '"id": *[0-9][0-9]*' "$data/panel.json" | head -1 | grep -o '[0-9]*$')"
socket="/tmp/vornisel-engine-host_$id.sock"
engine_up() { [ -n "$(engine_hosts)" ] && [ -S "$socket" ]; }
click_main 992 131 # close the notice, so the card sits right under the heading
# The card, found by its device's name on the accessibility bus, read and started from there.
name="$(python3 -c 'import json, sys
print(json.load(open(sys.argv[1]))["presets"][0]["clients"][0]["name"])' "$data/panel.json")"
/usr/bin/python3 "$(dirname "$0")/atspi_check.py" "$name" >"$HOME/atspi.log" 2>&1 ||
    fail "the AT-SPI check: $(cat "$HOME/atspi.log")"
wait_until "the engine to start" 30 engine_up

# --- The UI check refuses a data directory that a running panel holds, and touches nothing there
before="$(cd "$data" && ls -A && cksum panel.json)"
QT_QPA_PLATFORM=offscreen launch_ends 1 --ui-smoke --data-dir "$data"
grep -q "is running on $data" "$HOME/relaunch.log" || fail "the UI check said: $(cat "$HOME/relaunch.log")"
[ "$(cd "$data" && ls -A && cksum panel.json)" = "$before" ] || fail "the refused check changed $data"

# --- Ctrl+Q with a running engine --------------------------------------------------------------
xdotool windowactivate --sync "$main" key ctrl+q
ends_well
[ -z "$(engine_hosts)" ] || fail "engine hosts are left: $(engine_hosts)"
[ ! -e "$socket" ] || fail "$socket is left"
echo "ok: X session end-to-end test"
