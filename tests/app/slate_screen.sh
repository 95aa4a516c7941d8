#!/bin/bash
# The slate on the screen, worked with real X input: a screenshot of the
# running slate checked by pixel (dark green box, white text) and kept as a
# test artefact, the icons the slate gives its window, a real click into the
# box, typed keys, Enter, Esc and a real click on "Salir".
#   slate_screen.sh SLATE_EXE ARTEFACT_FOLDER
set -u
slate_exe=$1
artefacts=$2

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "SKIP: no X display (start Xvfb and set DISPLAY): screen tests need one"
  exit 77
fi
for tool in xdotool xprop import convert; do
  if ! command -v $tool >/dev/null; then
    echo "SKIP: $tool is missing"
    exit 77
  fi
done

failures=0
check() {  # check NAME GOT EXPECTED
  if [ "$2" = "$3" ]; then
    echo "ok    $1: $2"
  else
    echo "FAIL  $1: got '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}
check_at_least() {  # check_at_least NAME GOT MINIMUM
  if [ "$2" -ge "$3" ]; then
    echo "ok    $1: $2 (at least $3)"
  else
    echo "FAIL  $1: got $2, expected at least $3"
    failures=$((failures + 1))
  fi
}

folder=$(mktemp -d /tmp/veslinn-screen.XXXXXX)
slate_pid=
cleanup() {
  if [ -n "$slate_pid" ] && kill -0 "$slate_pid" 2>/dev/null; then
    kill "$slate_pid" 2>/dev/null
  fi
  rm -rf "$folder"
}
trap cleanup EXIT

# Starts the slate in the folder and sets $slate_pid and $window (empty when
# no window named Veslinn appeared within 20 s).  The build's own loader
# (WINELOADER, from the build's Wine environment) starts it, so $slate_pid is
# the slate itself: "wine" is the 32-bit loader wherever it is installed, and
# for a 64-bit slate it only stays behind as a start.exe, on hosts that run it
# slowly or not at all.  The window is the one of that process (Wine sets
# _NET_WM_PID), not another slate's under the same name.
start_slate() {
  (cd / && exec "${WINELOADER:-wine}" "$folder/veslinn.exe") &
  slate_pid=$!
  window=
  for _ in $(seq 1 200); do
    window=$(xdotool search --all --onlyvisible --pid "$slate_pid" --name '^Veslinn$' 2>/dev/null |
             head -n 1)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  return 1
}

# Gives the slate's window the X focus (without a window manager nothing else
# does) and waits until the X server reports it there; keys typed from then
# on reach the slate in order after the focus.
focus_slate() {
  xdotool windowfocus "$window"
  for _ in $(seq 1 50); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] && return 0
    sleep 0.1
  done
  echo "FAIL  the slate's window did not get the X focus"
  failures=$((failures + 1))
}

# Waits up to 10 s for the slate to end; sets $code to its exit code, or to
# "still running".
wait_slate() {
  code="still running"
  for _ in $(seq 1 100); do
    if ! kill -0 "$slate_pid" 2>/dev/null; then
      wait "$slate_pid"
      code=$?
      slate_pid=
      return 0
    fi
    sleep 0.1
  done
}

cp "$slate_exe" "$folder/veslinn.exe"
notes='MMMM WWWW 0123\r\nVeslinn HHHH\r\n'
printf "$notes" > "$folder/veslinn.txt"
mkdir -p "$artefacts"

if ! start_slate; then
  echo "FAIL  no X window named Veslinn after 20 s"
  exit 1
fi

# The X window of a window that Wine leaves to the window manager (the test
# display's bare one, or none) is the slate's client area.
geometry=$(xwininfo -id "$window")
cx=$(printf '%s\n' "$geometry" | awk '/Absolute upper-left X/ {print $NF}')
cy=$(printf '%s\n' "$geometry" | awk '/Absolute upper-left Y/ {print $NF}')
check "client area width" "$(printf '%s\n' "$geometry" | awk '/Width:/ {print $NF}')" "1000"
check "client area height" "$(printf '%s\n' "$geometry" | awk '/Height:/ {print $NF}')" "700"
echo "client area at $cx,$cy"

# --- Screenshot: the box (with its client edge) lies at 6,6 in the client
# area and is 990 x 650.  It is taken once the slate has painted its box:
# dark green near the box's bottom left corner (up to 10 s).
shot="$artefacts/slate_screenshot.png"
rgb_at() { convert "$shot" -crop 1x1+$1+$2 -depth 8 txt:- | tail -n 1 | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p'; }
bx=$((cx + 6))
by=$((cy + 6))
for _ in $(seq 1 50); do
  import -window root "$shot"
  [ "$(rgb_at $((bx + 20)) $((by + 620)))" = "004000" ] && break
  sleep 0.2
done
echo "screenshot: $shot"
check "box colour near the bottom left" "$(rgb_at $((bx + 20)) $((by + 620)))" "004000"
check "box colour near the bottom right" "$(rgb_at $((bx + 965)) $((by + 620)))" "004000"
check "box colour in the middle, below the text" "$(rgb_at $((bx + 495)) $((by + 380)))" "004000"
# Inside the client edge, below the two lines of text, the box is all dark green.
green=$(convert "$shot" -crop 980x400+$((bx + 5))+$((by + 240)) +repage -fill white -opaque '#004000' \
        -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:)
check "dark green pixels in the lower box" "$green" "392000"
# The text lines at the top: white pixels, centred.
white=$(convert "$shot" -crop 980x120+$((bx + 5))+$((by + 2)) +repage -fill black +opaque '#FFFFFF' \
        -format '%[fx:round(mean*w*h)]' info:)
check_at_least "white text pixels in the top lines" "$white" 200
white_left=$(convert "$shot" -crop 200x120+$((bx + 5))+$((by + 2)) +repage -fill black +opaque '#FFFFFF' \
        -format '%[fx:round(mean*w*h)]' info:)
check "no text at the far left (lines are centred)" "$white_left" "0"

# --- Icons: Wine puts the window's big and small icons into _NET_WM_ICON as
# width, height and pixels, one after the other.
icon_values=$(xprop -id "$window" -notype 32c _NET_WM_ICON 2>/dev/null | sed 's/^[^=]*= *//' | tr -d ' ')
icon_sizes=$(printf '%s' "$icon_values" | awk -F, '
  { i = 1; out = "";
    while (i < NF) { w = $i; h = $(i+1); out = out (out == "" ? "" : " ") w "x" h; i += 2 + w * h }
    print out }')
echo "icons in _NET_WM_ICON: ${icon_sizes:-none}"
icon_count=$(printf '%s' "$icon_sizes" | wc -w)
check "icons set (big and small)" "$icon_count" "2"

# --- Real input.  The window manager of the test display moves no X focus:
# give it to the slate first, then click below the text (the caret goes to
# the end), type, press Enter, type again, press Esc, type once more, then
# click "Salir".  The slate takes the X events in the order they were made,
# so nothing waits between them; the text typed after Esc, saved by "Salir",
# shows that Esc ended nothing.
focus_slate
xdotool mousemove $((bx + 495)) $((by + 550)) click 1
xdotool type --delay 30 'hola'
xdotool key Return
xdotool type --delay 30 'mundo'
xdotool key Escape
xdotool type --delay 30 '!'
# "Salir": 206,660 56 x 24 in the client area.
xdotool mousemove $((cx + 234)) $((cy + 672)) click 1
wait_slate
check "exit code after a real click on Salir" "$code" "0"
saved=$(od -An -c "$folder/veslinn.txt" | tr -s ' \n' ' ')
expected=$(printf "${notes}hola\r\nmundo!\r\n" | od -An -c | tr -s ' \n' ' ')
check "notes after typing, Esc, typing and Salir (Esc ends nothing)" "$saved" "$expected"
check "files beside the slate" "$(ls -A "$folder" | tr '\n' ' ')" "veslinn.exe veslinn.txt "

# --- A full box takes no typing: the slate has neither scroll bar nor
# automatic scrolling, so once its text has more lines than it shows, keys
# are refused (Windows and Wine alike) and the notes stay as they were.
full=''
for i in $(seq 1 40); do full="${full}line $i of a full slate\r\n"; done
printf "$full" > "$folder/veslinn.txt"
if ! start_slate; then
  echo "FAIL  no X window named Veslinn for the full box"
  failures=$((failures + 1))
else
  focus_slate
  xdotool mousemove $((bx + 495)) $((by + 600)) click 1
  xdotool type --delay 30 'zz'
  xdotool key Return
  xdotool mousemove $((cx + 234)) $((cy + 672)) click 1
  wait_slate
  check "exit code after Salir with a full box" "$code" "0"
  check "a full box took no typing (md5 of the notes)" \
        "$(md5sum < "$folder/veslinn.txt" | cut -c1-32)" "$(printf "$full" | md5sum | cut -c1-32)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all screen checks passed"
