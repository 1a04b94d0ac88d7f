# Sourced by the end-to-end scripts that need a desktop, after private_home.sh: a virtual X server,
# a window manager and a session bus, each added to $pids.

# A helper that has ended will not come: waiting for it fails at once (on the script's own error
# output, which the waits silence for the commands they poll).
exec 9>&2
alive() { kill -0 "$2" 2>/dev/null || fail "$1 ended; its log follows" 2>&9; }

# The server takes a free display number itself and says which: two sessions started at once
# (other tests, other checkouts) never share one. Without -noreset it would reset when its last
# client leaves (the first probe below), refusing whoever connects meanwhile. Sets DISPLAY.
start_x_and_window_manager() {
    Xvfb -displayfd 3 -noreset -screen 0 1600x1000x24 -nolisten tcp 3>"$HOME/display" \
        >"$HOME/xvfb.log" 2>&1 &
    xvfb_pid=$!
    pids+=($xvfb_pid)
    wait_until "the X server to choose its display" 60 display_known
    export DISPLAY=":$(cat "$HOME/display")"
    wait_until "the X server on $DISPLAY" 60 xdpyinfo
    openbox --sm-disable >"$HOME/openbox.log" 2>&1 &
    openbox_pid=$!
    pids+=($openbox_pid)
    wait_until "the window manager to grant one desktop" 60 wm_serving
}
display_known() { alive "the X server" "$xvfb_pid" && grep -q '^[0-9][0-9]*$' "$HOME/display"; }
# It announces itself before its event loop runs, and a window mapped meanwhile (a tray host's)
# may never be managed. Asking for one desktop, which only the loop grants, shows that it runs.
wm_serving() {
    alive "the window manager" "$openbox_pid"
    xprop -root _NET_NUMBER_OF_DESKTOPS | grep -q '= 1$' && return
    xdotool set_num_desktops 1
    return 1
}

# A session bus of its own, as a desktop has one: without any, the toolkit would try to launch one
# through the display, which can hang. Sets DBUS_SESSION_BUS_ADDRESS, and the X platform.
start_session_bus() {
    dbus-daemon --session --fork --print-address=4 --print-pid=5 4>"$HOME/bus-address" \
        5>"$HOME/bus-pid"
    pids+=($(cat "$HOME/bus-pid"))
    export DBUS_SESSION_BUS_ADDRESS="$(cat "$HOME/bus-address")" QT_QPA_PLATFORM=xcb
}
