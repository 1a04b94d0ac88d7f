# Sourced by the end-to-end scripts: a throw-away home directory whose ALSA configuration holds
# the repository's demo devices, so that the panel finds hardware on a machine without a sound
# card and nothing it writes (data, login item, ALSA state) reaches the real user's files.
# Sets HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR; removes the directory on exit.
# Needs: $source (the repository).

private_home="$(mktemp -d "${TMPDIR:-/tmp}/vornisel-e2e.XXXXXX")"
cleanup_home() { rm -rf "$private_home"; }
cp "$source/resources/alsa/demo.asoundrc" "$private_home/.asoundrc"
mkdir -p "$private_home/.config" "$private_home/runtime"
chmod 700 "$private_home/runtime"
export HOME="$private_home"
export XDG_CONFIG_HOME="$private_home/.config"
export XDG_RUNTIME_DIR="$private_home/runtime"

# The engine hosts simulate an engine (no server is needed) that reaches "running" in a fraction
# of a second.
export VORNISEL_HOST_SIMULATE=1
export VORNISEL_HOST_STARTING_MS="${VORNISEL_HOST_STARTING_MS:-50}"
export VORNISEL_HOST_WAITING_MS="${VORNISEL_HOST_WAITING_MS:-100}"

# Fails the test with a message.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

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

# The processes a script started, which stop_started ends on its way out.
pids=()
stop_started() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}

# Starts a data directory with a panel document whose identifier prefix is random. A fresh
# document takes the current minute as its prefix, so panels started in the same minute (this
# test beside the unit tests) would give their devices the same identifiers, and with them the
# same engine socket.
seed_store() {
    local prefix=$((3000000000 + (RANDOM * 32768 + RANDOM) % 1000000000))
    mkdir -p "$1"
    cat >"$1/panel.json" <<JSON
{
  "version": 2,
  "settings": {
    "language": "en",
    "discovery": true,
    "server": "127.0.0.1",
    "port": 28010,
    "prefix": $prefix,
    "minimized": false,
    "login": false,
    "width": 1040,
    "height": 720
  },
  "active": "default",
  "presets": [
    {
      "id": "default",
      "name": "Default",
      "clients": []
    }
  ]
}
JSON
}
