#!/usr/bin/env bash
# under_x_server.sh [--window-manager] [--accessibility] COMMAND [ARGUMENTS...]: runs the command on
# Qt's xcb platform, on an Xvfb and a D-Bus session bus of its own (without one, libdbus would start
# a session bus that outlives the test), under openbox when a window manager is asked for, and with
# the accessibility bus that screen readers read when accessibility is asked for. Everything it
# starts ends with it, and its temporary files go. Exits 77, which CTest takes as skipped, when a
# tool is missing.
set -euo pipefail
manager=
accessibility=
while [[ "$1" == --* ]]; do
    case "$1" in
        --window-manager) manager=openbox ;;
        --accessibility) accessibility="dbus-send /usr/libexec/at-spi-bus-launcher" ;;
        *) echo "FAIL: unknown option $1"; exit 1 ;;
    esac
    shift
done
for tool in Xvfb dbus-daemon $manager $accessibility; do
    command -v $tool >/dev/null || {
        echo "SKIP: $tool is missing (Debian packages xvfb, dbus-daemon, dbus-bin, openbox, at-spi2-core)"
        exit 77
    }
done

scratch=$(mktemp -d)
# Each process starts in a process group of its own, so that what it starts in turn (the window
# manager's start-up command, the bus launcher, its bus and the registry) ends with it.
started=()
end_started() {
    for group in "${started[@]}"; do
        kill -- -"$group" 2>/dev/null || true
    done
    for _ in $(seq 100); do
        local alive=
        for group in "${started[@]}"; do
            kill -0 -- -"$group" 2>/dev/null && alive=yes
        done
        [ -z "$alive" ] && break
        sleep 0.05
    done
    for group in "${started[@]}"; do
        kill -KILL -- -"$group" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap end_started EXIT
# The command's temporary folders go with the scratch folder, even if it crashes.
export TMPDIR=$scratch XDG_RUNTIME_DIR=$scratch
# Xvfb picks a free display and writes its number once it takes connections. It stays as it is when
# its last client goes (the bus launcher's, say), so that the next one never finds it resetting.
exec {display_fd}<> <(:)
setsid Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp -noreset 2>"$scratch/xvfb.log" &
started+=($!)
read -r -t 10 -u "$display_fd" display || { cat "$scratch/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
# The session bus writes its address once it takes connections.
exec {address_fd}<> <(:)
setsid dbus-daemon --session --nofork --nopidfile --address="unix:path=$scratch/session-bus" \
    --print-address="$address_fd" >"$scratch/dbus.log" 2>&1 &
started+=($!)
read -r -t 10 -u "$address_fd" DBUS_SESSION_BUS_ADDRESS || {
    cat "$scratch/dbus.log"
    echo "FAIL: dbus-daemon did not start"
    exit 1
}
export DBUS_SESSION_BUS_ADDRESS
if [ -n "$accessibility" ]; then
    # Asking for the accessibility bus starts the bus launcher, as in a desktop session, and returns
    # once the bus is there. The desktop's own accessibility settings play no part. Qt sends nothing
    # to the bus unless a screen reader is said to run, or it is always on.
    export GSETTINGS_BACKEND=memory QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null || {
        cat "$scratch/dbus.log"
        echo "FAIL: the accessibility bus did not start"
        exit 1
    }
fi
if [ -n "$manager" ]; then
    # openbox runs its start-up command once it manages the screen.
    setsid openbox --sm-disable --startup "touch $scratch/managing" >"$scratch/openbox.log" 2>&1 &
    started+=($!)
    for _ in $(seq 100); do
        [ -e "$scratch/managing" ] && break
        sleep 0.1
    done
    [ -e "$scratch/managing" ] || { cat "$scratch/openbox.log"; echo "FAIL: openbox did not start"; exit 1; }
fi
"$@"
