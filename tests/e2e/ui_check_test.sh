#!/usr/bin/env bash
# Runs the program's built-in UI check on a throw-away home and data directory and checks what it
# leaves behind.
#
#   ui_check_test.sh smoke PROGRAM SOURCE           the UI check passes, every check listed; a
#                                                   second run refuses the directory it filled
#   ui_check_test.sh broken-host PROGRAM SOURCE     with engines that die, it fails and says why
#   ui_check_test.sh preview PROGRAM SOURCE         every preview it prints is a picture written
#   ui_check_test.sh no-hardware PROGRAM SOURCE     with no device at all (none in ALSA, none in a
#                                                   copy of the bundle), it fails and skips what
#                                                   needs the devices
set -euo pipefail
mode="$1"
program="$2"
source="$3"
. "$(dirname "$0")/private_home.sh"
trap cleanup_home EXIT
data="$HOME/data"
seed_store "$data"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
result="$data/ui-smoke.json"

case "$mode" in
smoke)
    status=0
    timeout -k 10 400 "$program" --ui-smoke --data-dir "$data" || status=$?
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
    # The devices it added stay: a second run refuses the directory and leaves its result alone.
    status=0
    timeout -k 10 300 "$program" --ui-smoke --data-dir "$data" 2>"$HOME/err.txt" || status=$?
    [ "$status" -eq 1 ] || fail "the UI check on a directory with devices ended with status $status"
    grep -q "needs a data directory without devices" "$HOME/err.txt" || fail "no reason given"
    ;;
broken-host)
    status=0
    # The engines end while still starting, so no poll, whenever it comes, can find them running.
    VORNISEL_HOST_STARTING_MS=2000 VORNISEL_HOST_FAULT="exit-after=0.5,status=3" \
        timeout -k 10 400 "$program" --ui-smoke --data-dir "$data" || status=$?
    [ "$status" -ne 0 ] || fail "the UI check passed with engines that die"
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
    status=0
    timeout -k 10 400 "$HOME/Bare.app/Contents/MacOS/vornisel-control" --ui-smoke \
        --data-dir "$data" || status=$?
    [ "$status" -eq 1 ] || fail "the UI check ended with status $status, not 1"
    for check in "start all" "apply recommendation" "quit with running engines"; do
        grep -A2 "\"name\": \"$check" "$result" | grep -q '"outcome": "skipped"' ||
            fail "the check '$check' was not skipped"
    done
    ;;
preview)
    status=0
    timeout -k 10 300 "$program" --render-preview --data-dir "$data" >"$HOME/out.txt" || status=$?
    [ "$status" -eq 0 ] || fail "the preview rendering ended with status $status"
    [ -s "$HOME/out.txt" ] || fail "no preview was printed"
    while read -r file; do
        identify "$file" >/dev/null || fail "$file is not a picture"
    done <"$HOME/out.txt"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
# Engine hosts of this run only: their configuration lies in this run's data directory.
hosts="$(pgrep -f "vornisel_macos_engine_host --config $data/")" || true
[ -z "$hosts" ] || fail "engine hosts are left: $hosts"
echo "ok: $mode"
