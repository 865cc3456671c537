#!/usr/bin/env bash
# Starts the real program on a virtual display under a real window manager, several times over,
# and checks from outside, with the window system's own view (xwininfo, xdotool):
#  - the splash screen is fully drawn while the lists fill (its area against the artwork);
#  - the list of every combo box and the calendar of every date picker, on the main window and
#    on the settings dialog, open at their control, and a balloon hint beside the pointer;
#  - the first edge resize and the first move of the main window follow the pointer, and a
#    double-click on a caption bar maximises and restores the window;
#  - message boxes (New CD's Start with no disc in the drive) open centred on the screen,
#    frame included.
#
#   tests/wm/wm_check.sh MANAGER BIN_DIR [STARTS]
# MANAGER is openbox, xfwm4 or kwin; BIN_DIR holds tessaro and tessaro-cli; STARTS (default
# $TESSARO_WM_STARTS, else 1) is the number of fresh starts. TESSARO_WM_SHOTS=DIR keeps
# screenshots of the first start there; TESSARO_WM_DISPLAY=:N takes that display rather than the
# first free one. Exits 77 (skipped) when a tool is missing.
set -uo pipefail
shopt -s extglob
manager=${1:?manager}
bin=${2:?bin dir}
starts=${3:-${TESSARO_WM_STARTS:-1}}
here=$(cd "$(dirname "$0")" && pwd)
art=$here/../../resources/art/splash.svg
shots=${TESSARO_WM_SHOTS:-}

case $manager in
openbox) wm=(openbox --sm-disable) ;;
xfwm4) wm=(xfwm4 --replace --compositor=off --sm-client-disable) ;;
kwin) wm=(kwin_x11 --replace) ;;
*) echo "unknown window manager $manager" >&2; exit 2 ;;
esac
for tool in Xvfb xdotool xwininfo xprop import convert compare rsvg-convert sqlite3 dbus-run-session "${wm[0]}"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/install-deps --test)"; exit 77; }
done

work=$(mktemp -d)
pids=()
# Ends the manager itself: dbus-run-session then stops its session bus (killed itself, it would
# leave its dbus-daemon behind).
stop_manager() {
  [ -s "$work/wm.pid" ] && kill "$(cat "$work/wm.pid")" 2>/dev/null
  for _ in $(seq 50); do kill -0 "${wmpid:-}" 2>/dev/null || break; sleep 0.1; done
  rm -f "$work/wm.pid"
}
cleanup() {
  stop_manager
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
checks=0
ok() { checks=$((checks + 1)); }
fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  echo "FAIL [$manager, start $start] $*"
}

# --- the program beside its own catalogue: two discs, and enough extensions that filling the
# lists takes a while, so that the splash screen can be photographed while it shows ----------
mkdir -p "$work/app" "$work/disc/photos"
cp "$bin/tessaro" "$work/app/tessaro"
for i in 1 2 3; do echo x >"$work/disc/photos/img$i.jpg"; done
"$bin/tessaro-cli" --catalogue "$work/app/archive.mdb" create-catalogue >/dev/null || exit 1
# The drive is a folder that is not there: New CD's Start says "No disc in the drive".
printf '[Software]\nQuillomat\\Tessaro\\Drive=q\nQuillomat\\Tessaro\\Drives\\q=%s\n' "$work/no-disc" >"$work/app/tessaro.ini"
"$bin/tessaro-cli" --catalogue "$work/app/archive.mdb" add --type CD --root "$work/disc" >/dev/null || exit 1
sqlite3 "$work/app/archive.mdb" "begin; insert into cd (id, etichetta, tipo, data) values (2, 'MANY', 'D', '2021-07-01 10:00:00');
  with recursive n(i) as (select 1 union all select i + 1 from n where i < 8000)
  insert into files (id_cd, nome, path, estensione, dimensione, data)
  select 2, 'f' || i || '.e' || i, '\\', '.e' || i, 10, '2020-01-01 00:00:00' from n; commit;" || exit 1
rsvg-convert -w 245 -h 247 -b '#d2e4f9' "$art" -o "$work/splash-art.png" && convert "$work/splash-art.png" -alpha off "$work/splash-art.png"

# --- a display and the window manager -------------------------------------------------------------
# On a machine shared with other virtual displays a start can lose its display number to another
# server starting at the same moment: then the display and the manager are started again.
start_display() {
  if [ -n "${TESSARO_WM_DISPLAY:-}" ]; then
    Xvfb "$TESSARO_WM_DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    export DISPLAY=$TESSARO_WM_DISPLAY
  else
    : >"$work/display"
    Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -1 "$work/display")
  fi
  pids+=($xvfb)
  for _ in $(seq 100); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
  # The server answering must be ours.
  xprop -root >/dev/null 2>&1 && kill -0 "$xvfb" 2>/dev/null || return 1
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # xfwm4 and kwin keep their settings behind D-Bus: each manager gets a session bus of its own.
  dbus-run-session -- sh -c 'echo $$ >"$0"; exec "$@"' "$work/wm.pid" "${wm[@]}" >"$work/wm.log" 2>&1 &
  wmpid=$!
  pids+=($wmpid)
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && kill -0 "$xvfb" 2>/dev/null
}
started=0
for attempt in 1 2 3; do
  if start_display; then started=1; break; fi
  echo "note: display or $manager failed to start (attempt $attempt)"
  stop_manager
  kill "${wmpid:-}" "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  sleep 1
done
if [ "$started" = 0 ]; then
  echo "FAIL: no display with $manager on ${DISPLAY:-no display}"
  cat "$work/xvfb.log" "$work/wm.log" 2>/dev/null
  exit 1
fi
sleep 1 # let the manager finish setting up before the first window maps

# x y width height of a window, as the X server has it
geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {if (w) print x, y, w, h}'
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
# The visible window of the program whose title is $1, alone or followed by the application's
# name as Qt adds it (or, with $2, whose size is $2),
# waiting up to 20 s.
find_window() {
  local id
  for _ in $(seq 200); do
    for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
      if [ -n "${2:-}" ]; then
        [ "$(geometry "$id" | cut -d' ' -f3-)" = "$2" ] && { echo "$id"; return 0; }
      elif [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "$1"?(" "*) ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}
visible_ids() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | sort; }
# The window that became visible since the list in $before, waiting up to 5 s.
new_window() {
  local now id
  for _ in $(seq 50); do
    now=$(visible_ids)
    id=$(comm -13 <(echo "$before") <(echo "$now") | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
near() { [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }
drag() { # x y dx dy
  xdotool mousemove --sync "$1" "$2" mousedown 1
  sleep 0.2
  for s in 1 2 3 4 5; do
    xdotool mousemove --sync $(($1 + $3 * s / 5)) $(($2 + $4 * s / 5))
    sleep 0.05
  done
  sleep 0.2
  xdotool mouseup 1
  sleep 0.6
}
shot() { [ -n "$shots" ] && [ "$start" = 1 ] && import -window root "$shots/$manager-$1.png"; }

# Opens the popup of the control at (left, top, width, height) in the window at (wx, wy), clicking
# near its right end where the arrow is, and checks where its list or calendar opens: its left
# edge within the control's width, and just below the control (or, where the screen ends, just
# above it), never over it.
check_popup() { # name wx wy left top width height
  local name=$1 cx=$(($2 + $4)) cy=$(($3 + $5)) w=$6 h=$7 id g px py
  before=$(visible_ids)
  xdotool mousemove --sync $((cx + w - 8)) $((cy + h / 2)) click 1
  if ! id=$(new_window); then
    fail "$name: no popup opened"
    return
  fi
  sleep 0.2
  read -r px py _ ph <<<"$(geometry "$id")"
  shot "popup-${name// /-}"
  if [ "$px" -ge $((cx - 4)) ] && [ "$px" -le $((cx + w)) ] &&
    { { [ "$py" -ge $((cy + h - 2)) ] && [ "$py" -le $((cy + h + 8)) ]; } ||
      { [ $((py + ph)) -le $((cy + 2)) ] && [ $((py + ph)) -ge $((cy - 8)) ]; }; }; then
    ok
  else
    fail "$name: popup at $px,$py (height $ph), its control at $cx,$cy ${w}x$h"
  fi
  xdotool key Escape
  for _ in $(seq 30); do viewable "$id" || break; sleep 0.1; done
  sleep 0.2
}

# Checks that the window, with the frame the manager reports, is centred on the 1280x800 screen.
check_centred() { # name id
  local bx by bw bh l=0 r=0 t=0 b=0 ext
  read -r bx by bw bh <<<"$(geometry "$2")"
  ext=$(xprop -id "$2" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p')
  [ -n "$ext" ] && IFS=', ' read -r l r t b <<<"$ext"
  # Twice the centre, so that an odd size leaves no fraction.
  if near $((2 * (bx - l) + bw + l + r)) 1280 4 && near $((2 * (by - t) + bh + t + b)) 800 4; then
    ok
  else
    fail "$1: ${bw}x$bh+$bx+$by with frame $l,$r,$t,$b is not centred"
  fi
}

# Double-clicks the caption bar of the window, checks it fills the screen, then restores it.
check_maximise() { # name id
  local name=$1 id=$2 x y w h mx my mw mh rx ry rw rh
  read -r x y w h <<<"$(geometry "$id")"
  xdotool mousemove --sync $((x + 60)) $((y + 12)) click --repeat 2 --delay 80 1
  sleep 1
  read -r mx my mw mh <<<"$(geometry "$id")"
  # Over a control, for the picture: its hint shows in the status bar.
  xdotool mousemove --sync $((mx + 100)) $((my + 45))
  sleep 0.5
  shot "maximised-${name// /-}"
  if [ "$mw" -ge 1200 ] && [ "$mh" -ge 700 ]; then ok; else fail "$name: double-click gave ${mw}x$mh+$mx+$my, not maximised"; fi
  xdotool mousemove --sync $((mx + 60)) $((my + 12)) click --repeat 2 --delay 80 1
  sleep 1
  read -r rx ry rw rh <<<"$(geometry "$id")"
  if near "$rx" "$x" 2 && near "$ry" "$y" 2 && [ "$rw" = "$w" ] && [ "$rh" = "$h" ]; then
    ok
  else
    fail "$name: restored to ${rw}x$rh+$rx+$ry, was ${w}x$h+$x+$y"
  fi
}

splash_painted=0
for start in $(seq 1 "$starts"); do
  ASAN_OPTIONS=detect_leaks=0 "$work/app/tessaro" >"$work/run.log" 2>&1 &
  app=$!
  pids+=($app)

  # The splash shows while the lists fill: photographed then, it must be the artwork.
  if splash=$(find_window splash "247 249"); then
    sleep 0.4
    read -r sx sy _ _ <<<"$(geometry "$splash")"
    import -window root -crop "245x247+$((sx + 1))+$((sy + 1))" +repage "$work/splash.png"
    shot splash
    if ! viewable "$splash"; then
      fail "splash: gone before it could be photographed (the lists filled too fast)"
    else
      rmse=$(compare -metric RMSE "$work/splash.png" "$work/splash-art.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
      if awk -v e="$rmse" 'BEGIN {exit !(e < 0.1)}'; then
        ok
        splash_painted=$((splash_painted + 1))
      else
        fail "splash: its area does not show the artwork (RMSE $rmse)"
      fi
    fi
  else
    fail "splash: never shown"
  fi

  if ! main=$(find_window "Tessaro v1.3"); then
    fail "main window: never shown"
    kill "$app" 2>/dev/null
    continue
  fi
  sleep 0.5
  read -r x y w h <<<"$(geometry "$main")"
  if near "$x" $(((1280 - w) / 2)) 2 && near "$y" $(((800 - h) / 2)) 2; then ok; else fail "main window at $x,$y, not centred"; fi

  # The filter panel starts below the caption bar and the toolbar, inside the panel's margin.
  panel=$((3 + 20 + 28))
  check_popup "CD list" $((x + 3)) $((y + panel)) 72 7 75 21
  check_popup "Date from" $((x + 3)) $((y + panel)) 72 39 89 21
  check_popup "Date to" $((x + 3)) $((y + panel)) 234 40 92 21
  check_popup "Extension list" $((x + 3)) $((y + panel)) 417 37 75 24

  # A balloon hint opens beside the pointer over its control (the File box).
  hx=$((x + 3 + 300)) hy=$((y + panel + 17))
  before=$(visible_ids)
  xdotool mousemove --sync $((hx - 5)) "$hy" mousemove --sync "$hx" "$hy"
  if id=$(new_window); then
    read -r bx by bw bh <<<"$(geometry "$id")"
    shot balloon
    # The pointer's distance from the balloon's rectangle, its stem included.
    ddx=$((bx > hx ? bx - hx : (hx > bx + bw ? hx - bx - bw : 0)))
    ddy=$((by > hy ? by - hy : (hy > by + bh ? hy - by - bh : 0)))
    if [ "$ddx" -le 24 ] && [ "$ddy" -le 24 ]; then ok; else fail "balloon hint at ${bw}x$bh+$bx+$by, the pointer at $hx,$hy"; fi
  else
    fail "balloon hint: none shown over the File box"
  fi
  xdotool mousemove --sync $((x + w / 2)) $((y + h - 60))
  sleep 0.8

  # Settings: its drive list, then a double-click on its caption bar.
  before=$(visible_ids)
  xdotool mousemove --sync $((x + 69)) $((y + 35)) click 1
  if settings=$(find_window Settings); then
    sleep 0.5
    read -r dx dy _ _ <<<"$(geometry "$settings")"
    check_popup "Drive list" "$dx" "$dy" 66 36 145 19
    check_maximise "Settings" "$settings"
    read -r dx dy _ _ <<<"$(geometry "$settings")"
    xdotool mousemove --sync $((dx + 47)) $((dy + 86)) click 1
    for _ in $(seq 30); do viewable "$settings" || break; sleep 0.1; done
    viewable "$settings" && fail "Settings: Cancel did not close it"
  else
    fail "Settings: never shown"
  fi

  # Message boxes: Start in New CD with no disc in the drive, three times over.
  xdotool mousemove --sync $((x + 15)) $((y + 35)) click 1
  if newcd=$(find_window "New CD"); then
    sleep 0.5
    read -r nx ny _ _ <<<"$(geometry "$newcd")"
    for try in 1 2 3; do
      before=$(visible_ids)
      xdotool mousemove --sync $((nx + 169)) $((ny + 47)) click 1
      if box=$(new_window); then
        sleep 1 # the box settles within 0.8 s
        [ "$try" = 1 ] && shot message-box
        check_centred "message box $try" "$box"
        xdotool key Return
        for _ in $(seq 30); do viewable "$box" || break; sleep 0.1; done
        viewable "$box" && fail "message box $try: Enter did not close it"
      else
        fail "message box $try: none after Start with no disc"
      fi
    done
    xdotool mousemove --sync $((nx + 41)) $((ny + 114)) click 1
    for _ in $(seq 30); do viewable "$newcd" || break; sleep 0.1; done
    viewable "$newcd" && fail "New CD: Cancel did not close it"
  else
    fail "New CD: never shown"
  fi

  # The first edge resize and the first move of the main window, in turn first.
  resize() {
    read -r x y w h <<<"$(geometry "$main")"
    drag $((x + w - 2)) $((y + h - 2)) 10 10
    read -r nx ny nw nh <<<"$(geometry "$main")"
    if near "$nw" $((w + 10)) 2 && near "$nh" $((h + 10)) 2 && near "$nx" "$x" 1 && near "$ny" "$y" 1; then
      ok
    else
      fail "edge resize by 10,10: ${w}x$h+$x+$y became ${nw}x$nh+$nx+$ny"
    fi
  }
  move() {
    read -r x y w h <<<"$(geometry "$main")"
    drag $((x + 120)) $((y + 12)) 40 30
    read -r nx ny nw nh <<<"$(geometry "$main")"
    # The window system takes the move over once the pointer has travelled the drag distance
    # and moves the window from there: it may trail the pointer by that much, never more.
    if [ $((nx - x)) -le 40 ] && [ $((nx - x)) -ge 28 ] && [ $((ny - y)) -le 30 ] && [ $((ny - y)) -ge 18 ] &&
      [ "$nw" = "$w" ] && [ "$nh" = "$h" ]; then
      ok
    else
      fail "move by 40,30: ${w}x$h+$x+$y became ${nw}x$nh+$nx+$ny"
    fi
  }
  if [ $((start % 2)) = 1 ]; then resize; move; else move; resize; fi
  check_maximise "main window" "$main"

  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
done

echo "$manager: $starts starts, $checks checks, $failures failed; splash drawn in $splash_painted of $starts loads"
[ "$failures" = 0 ]
