#!/usr/bin/env bash
# under_x_server.sh [--window-manager] COMMAND [ARGUMENTS...]: runs the command on Qt's xcb
# platform, on an Xvfb of its own, under openbox when a window manager is asked for. Exits 77,
# which CTest takes as skipped, when either is missing.
set -euo pipefail
manager=
if [ "$1" = --window-manager ]; then
    manager=openbox
    shift
fi
for tool in Xvfb $manager; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is missing (Debian packages xvfb and openbox)"; exit 77; }
done

scratch=$(mktemp -d)
started=()
# The window manager ends with the X server, perhaps before it is told to.
trap 'kill "${started[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
# Xvfb picks a free display and writes its number once it takes connections.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log" &
started+=($!)
read -r -t 10 -u "$display_fd" display || { cat "$scratch/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$scratch
if [ -n "$manager" ]; then
    # openbox runs its start-up command once it manages the screen.
    openbox --sm-disable --startup "touch $scratch/managing" >"$scratch/openbox.log" 2>&1 &
    started+=($!)
    for _ in $(seq 100); do
        [ -e "$scratch/managing" ] && break
        sleep 0.1
    done
    [ -e "$scratch/managing" ] || { cat "$scratch/openbox.log"; echo "FAIL: openbox did not start"; exit 1; }
fi
"$@"
