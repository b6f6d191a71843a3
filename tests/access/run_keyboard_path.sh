#!/usr/bin/env bash
# Starts a virtual display and a private D-Bus session (the AT-SPI bus comes
# up inside it on demand), then runs the keyboard-path script against the
# program on a throw-away copy of the course.
#
#   run_keyboard_path.sh <tarvel executable> <course folder> <script>
set -euo pipefail
exe="$1"
course="$2"
script="$3"

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/course" "$work/runtime"
chmod 700 "$work/runtime"
(cd "$course" && tar cf - --exclude=./src .) | (cd "$work/course" && tar xf -)

# Xvfb names the display it took once it is ready to accept clients. It
# must not reset when its last client leaves: the program would find it
# closed for a moment.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 600); do
  if [ -s "$work/display" ] && grep -q '^[0-9]' "$work/display"; then
    break
  fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
display=":$(head -n1 "$work/display" | tr -dc 0-9)"
if [ "$display" = ":" ]; then
  echo "Xvfb named no display" >&2
  exit 1
fi

# The display takes clients once a client can ask it its size.
ready=""
for _ in $(seq 1 600); do
  if DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    ready=1
    break
  fi
  sleep 0.1
done
if [ -z "$ready" ]; then
  echo "Xvfb on $display takes no clients:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

# The system's Python has the AT-SPI bindings; a Python of another origin
# on PATH may not.
export DISPLAY="$display"
export XDG_RUNTIME_DIR="$work/runtime"
export NO_AT_BRIDGE=0
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
status=0
dbus-run-session -- /usr/bin/python3 "$script" "$exe" "$work/course" || status=$?
exit "$status"
