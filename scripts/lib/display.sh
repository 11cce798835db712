# shellcheck shell=bash
# Helpers for scripts that run the panel on a virtual X display and photograph it.
# Source it from bash; it needs Xvfb (xvfb), xauth, xwininfo (x11-utils), xdotool and ImageMagick.

# Starts Xvfb on a display number nobody uses, with a cookie of its own, and exports DISPLAY
# and XAUTHORITY for it. Sets display_pid; the caller kills it. Fails unless the server that
# answers is the one started here: its lock file must carry our process id, and nothing
# without the cookie can talk to it.
start_virtual_display() {
  local workdir=$1 number cookie
  for number in $(seq 99 199); do
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
    cookie=$(mcookie)
    rm -f "$workdir/Xauthority"
    xauth -q -f "$workdir/Xauthority" add ":$number" . "$cookie" 2>/dev/null
    Xvfb ":$number" -auth "$workdir/Xauthority" -screen 0 1280x800x24 -nolisten tcp \
      >"$workdir/xvfb.log" 2>&1 &
    display_pid=$!
    local tries=0
    while [ $tries -lt 100 ] && kill -0 "$display_pid" 2>/dev/null && [ ! -S "/tmp/.X11-unix/X$number" ]; do
      sleep 0.1
      tries=$((tries + 1))
    done
    if kill -0 "$display_pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$number" ] &&
      [ "$(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null)" = "$display_pid" ]; then
      export DISPLAY=":$number" XAUTHORITY="$workdir/Xauthority"
      if xwininfo -root >/dev/null 2>&1; then
        return 0
      fi
    fi
    # Another server took the number first, or ours did not come up: try the next one.
    kill "$display_pid" 2>/dev/null || true
    wait "$display_pid" 2>/dev/null || true
    display_pid=
  done
  echo "cannot start a virtual X display (Xvfb); its last words, from $workdir/xvfb.log:" >&2
  tail -n 5 "$workdir/xvfb.log" >&2 || true
  return 1
}

# The first line the command $2... prints, run every tenth of a second for up to $1 seconds
# until it prints one; empty if it never does.
first_line_within() {
  local seconds=$1 line=
  shift
  local tries=$((seconds * 10))
  while [ $tries -gt 0 ]; do
    line=$("$@" 2>/dev/null | head -n 1)
    [ -n "$line" ] && break
    sleep 0.1
    tries=$((tries - 1))
  done
  echo "$line"
}

# The ids of the top-level windows whose title begins with $1 (the toolkit may add the
# program's name after it). Only a window with a class counts: the toolkit's hidden 1x1
# leader carries the title too.
windows_titled() { xwininfo -root -tree | grep -F "\"$1" | grep -F '": ("' | awk '{print $1}'; }

# The id of the top-level window titled $1, waiting up to $2 seconds (default 10); empty if none.
window_id() { first_line_within "${2:-10}" windows_titled "$1"; }

# The id of the first visible top-level window of the program $1 (its file name, which the
# toolkit gives its windows as their class), waiting up to $2 seconds (default 10); empty if
# none. The program's first window is its main window: the title need not be known here.
program_window_id() { first_line_within "${2:-10}" xdotool search --onlyvisible --classname "^$1\$"; }

# The colours (RRGGBB) at the points "x,y ..." of the picture $1, one line, in the same order.
colours_at() {
  local picture=$1
  shift
  local format="" point
  for point in "$@"; do format+="%[hex:p{$point}] "; done
  identify -format "$format" "$picture" | sed -E 's/([0-9A-F]{6})[0-9A-F]{2}/\1/g; s/ $//'
}

# Photographs window $1 into $2 once the colours at the points "x,y" (window coordinates)
# in $4... are the words of $3 (for instance "FF0000 FFFF00"), trying for up to 15 seconds:
# a blinking lamp is caught in its red phase. Returns 1, keeping the last picture, otherwise.
photograph_when() {
  local window=$1 picture=$2 wanted=$3
  shift 3
  local tries=60 seen=""
  while [ $tries -gt 0 ]; do
    import -window "$window" "png24:$picture.tmp.png" 2>/dev/null || true
    if [ -s "$picture.tmp.png" ]; then
      seen=$(colours_at "$picture.tmp.png" "$@")
      if [ "$seen" = "$wanted" ]; then
        mv "$picture.tmp.png" "$picture"
        return 0
      fi
    fi
    sleep 0.25
    tries=$((tries - 1))
  done
  [ -s "$picture.tmp.png" ] && mv "$picture.tmp.png" "$picture"
  echo "the window did not show the expected colours: wanted '$wanted', saw '$seen'" >&2
  return 1
}

# The point "x,y" of the main window's control named $1, from window-points.txt beside this
# file, which the window's tests check against the window itself.
display_lib=$(dirname "${BASH_SOURCE[0]}")
window_point() {
  awk -v name="$1" '$1 == name { print $2 "," $3 }' "$display_lib/window-points.txt"
}

# Points whose colour shows a state: input N's lamp, the link status lamp, analogue input N's bar.
input_lamp_point() { window_point "InputStatusAdvSmoothStatusIndicator$1"; }
comms_lamp_point() { window_point CommsStatusAdvSmoothStatusIndicator; }
analogue_bar_point() { window_point "AnalogueStatusJvSimIndicator$1"; }
