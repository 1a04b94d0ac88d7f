#!/usr/bin/env bash
# Runs the program's built-in UI check or preview rendering on a throw-away home and data
# directory and checks what it leaves behind.
#
#   ui_check_test.sh smoke PROGRAM SOURCE           the UI check passes, every check listed
#   ui_check_test.sh broken-host PROGRAM SOURCE     with engines that die, it fails and says why
#   ui_check_test.sh no-hardware PROGRAM SOURCE     with no device at all (none in ALSA, no demo
#                                                   devices in a copy of the bundle), it fails and
#                                                   skips what needs them
#   ui_check_test.sh preview PROGRAM SOURCE OUTDIR  all previews written, copied to OUTDIR; the
#                                                   UI check then refuses that data directory
#   ui_check_test.sh preview-bare PROGRAM SOURCE    the same in a home without any ALSA setup, on
#                                                   the bundle's demo devices (skipped, status 77,
#                                                   on a machine with a sound card)
set -euo pipefail
mode="$1"
program="$2"
source="$3"
outdir="${4:-}"
. "$(dirname "$0")/private_home.sh"
trap cleanup_home EXIT
data="$HOME/data"
if [ "$mode" = preview-bare ]; then
    if grep -q '^ *[0-9]' /proc/asound/cards 2>/dev/null; then
        echo "skipped: this machine has a sound card"
        exit 77
    fi
    rm "$HOME/.asoundrc"
    unset ALSA_CONFIG_PATH
    mode=preview
fi
seed_store "$data"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

leftover_hosts() {
    # Engine hosts of this run only: their configuration lies in this run's data directory.
    pgrep -f "vornisel_macos_engine_host --config $data/" || true
}

case "$mode" in
smoke)
    status=0
    timeout -k 10 400 "$program" --ui-smoke --data-dir "$data" || status=$?
    result="$data/ui-smoke.json"
    [ -f "$result" ] || fail "no $result"
    [ "$status" -eq 0 ] || { cat "$result"; fail "the UI check ended with status $status"; }
    grep -q '"passed": true' "$result" || fail "ui-smoke.json does not say passed"
    for check in "launch" "add device 1" "add device 2" "start all" "card texts" "meters" \
        "diagnostics" "apply recommendation" "support bundle" "save preset" "switch presets" \
        "settings" "launch at login" "quit with running engines"; do
        grep -q "\"name\": \"$check" "$result" || fail "ui-smoke.json lacks the check '$check'"
    done
    if grep -q '"outcome": "failed"' "$result"; then fail "a check failed"; fi
    if grep -q '"outcome": "skipped"' "$result"; then fail "a check was skipped in a private home"; fi
    ;;
broken-host)
    status=0
    # The engines end while still starting, so no poll, whenever it comes, can find them running.
    VORNISEL_HOST_STARTING_MS=2000 VORNISEL_HOST_FAULT="exit-after=0.5,status=3" \
        timeout -k 10 400 "$program" --ui-smoke --data-dir "$data" >"$HOME/out.txt" 2>&1 ||
        status=$?
    cat "$HOME/out.txt"
    [ "$status" -ne 0 ] || fail "the UI check passed with engines that die"
    result="$data/ui-smoke.json"
    [ -f "$result" ] || fail "no $result"
    grep -q '"passed": false' "$result" || fail "ui-smoke.json does not say failed"
    # The start check must fail and name the engines' end.
    grep -A2 '"name": "start all"' "$result" | grep -q '"outcome": "failed"' ||
        fail "the start check did not fail"
    grep -A2 '"name": "start all"' "$result" | grep -q 'engine ended with status 3' ||
        fail "the start check does not say the engine ended with status 3"
    # Flows that need no running engine still pass.
    grep -A2 '"name": "add device 1' "$result" | grep -q '"outcome": "passed"' ||
        fail "adding a device failed too"
    ;;
no-hardware)
    rm "$HOME/.asoundrc"
    # The check falls back to its bundle's demo devices; a copy of the bundle without them has none.
    cp -r "$(dirname "$program")/../.." "$HOME/Bare.app"
    rm -r "$HOME/Bare.app/Contents/Resources/alsa"
    program="$HOME/Bare.app/Contents/MacOS/vornisel-control"
    status=0
    timeout -k 10 400 "$program" --ui-smoke --data-dir "$data" >"$HOME/out.txt" 2>&1 || status=$?
    cat "$HOME/out.txt"
    [ "$status" -eq 1 ] || fail "the UI check ended with status $status, not 1"
    for check in "start all" "apply recommendation" "quit with running engines"; do
        grep -A2 "\"name\": \"$check" "$data/ui-smoke.json" | grep -q '"outcome": "skipped"' ||
            fail "the check '$check' was not skipped"
    done
    ;;
preview)
    status=0
    timeout -k 10 300 "$program" --render-preview --data-dir "$data" >"$HOME/out.txt" || status=$?
    cat "$HOME/out.txt"
    [ "$status" -eq 0 ] || fail "the preview rendering ended with status $status"
    width=1040
    height=720
    for name in main-empty main-devices main-notice main-expanded; do
        file="$data/previews/$name.png"
        grep -qx "$file" "$HOME/out.txt" || fail "$file was not printed"
        [ "$(png_size "$file")" = "${width}x$height" ] || fail "$file is $(png_size "$file")"
    done
    for entry in device-inputs:1040x760 device-outputs:1040x760 device-error:1040x760 \
        settings:460x600 settings-manual:460x600 preset:420x190; do
        file="$data/previews/dialog-${entry%%:*}.png"
        grep -qx "$file" "$HOME/out.txt" || fail "$file was not printed"
        [ "$(png_size "$file")" = "${entry#*:}" ] || fail "$file is $(png_size "$file")"
    done
    if [ -n "$outdir" ]; then
        mkdir -p "$outdir"
        cp "$data"/previews/*.png "$outdir/"
    fi
    status=0
    timeout -k 10 300 "$program" --ui-smoke --data-dir "$data" 2>"$HOME/err.txt" || status=$?
    cat "$HOME/err.txt"
    [ "$status" -eq 1 ] || fail "the UI check on a directory with devices ended with status $status"
    grep -q "needs a data directory without devices" "$HOME/err.txt" || fail "no reason given"
    [ ! -e "$data/ui-smoke.json" ] || fail "the refused directory got ui-smoke.json"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
[ -z "$(leftover_hosts)" ] || fail "engine hosts are left: $(leftover_hosts)"
echo "ok: $mode"
