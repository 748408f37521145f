#!/usr/bin/env bash
# The window under a real X server with a window manager (Xvfb and twm): the
# manager's frame, title bar included, stands at left 10, top 10 of the
# screen; the inner area lies below the title bar. Skipped (77) when the X
# tools are not there.
set -u
exe="$1"
card="$2"
for tool in Xvfb twm xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
n=150
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

printf 'TitleFont "fixed"\nResizeFont "fixed"\nMenuFont "fixed"\nIconFont "fixed"\nIconManagerFont "fixed"\nRandomPlacement\n' >"$work/twmrc"
twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
pids+=($!)
sleep 0.5

# A first start: no settings of an earlier run (the user's own stay out).
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$exe" "$card" >"$work/fenmora.log" 2>&1 &
pids+=($!)

# The window's id, its frame (the manager's window around it) and where both are.
abs() { xwininfo -id "$1" | awk -v k="$2" '$0 ~ k {print $NF}'; }
frameY="" frameX="" innerY=""
for _ in $(seq 100); do
  sleep 0.1
  # The main window, not a message box of the load the card given starts
  # (its windows are of the same class): the one at least 600 wide.
  id=$(xwininfo -root -tree | awk '/\("fenmora" "Fenmora"\)/ {
    for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, "x"); if (g[1] + 0 >= 600) { print $1; exit } }
  }')
  [ -n "$id" ] || continue
  parent=$(xwininfo -children -id "$id" | awk '/Parent window id/ {print $4}')
  [ -n "$parent" ] && [ "$(xwininfo -root | awk '/Window id/ {print $4}')" != "$parent" ] || continue
  frameX=$(abs "$parent" "Absolute upper-left X")
  frameY=$(abs "$parent" "Absolute upper-left Y")
  innerY=$(abs "$id" "Absolute upper-left Y")
  # The window is placed a moment after it is framed.
  [ "$frameY" -ge 0 ] && [ "$((frameY - 10))" -le 2 ] && [ "$((frameY - 10))" -ge -2 ] && break
done
echo "frame at ($frameX, $frameY), inner area at y $innerY"
[ -n "$frameY" ] || { echo "the window was never framed"; cat "$work/fenmora.log"; exit 1; }
ok=1
[ "$((frameX - 10))" -le 2 ] && [ "$((frameX - 10))" -ge -2 ] || ok=0
[ "$((frameY - 10))" -le 2 ] && [ "$((frameY - 10))" -ge -2 ] || ok=0
[ "$innerY" -gt "$((frameY + 5))" ] || ok=0   # the title bar above the inner area, on the screen
[ "$ok" = 1 ] || { echo "the frame is not at (10, 10)"; exit 1; }
