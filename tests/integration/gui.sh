# Helpers of the GUI tests: a private X display (Xvfb), Setup.exe started in the background, windows found by
# their caption, keys and clicks (xdotool), the controls of a wizard page (wizardinspect.exe) and screenshots
# (ImageMagick). Sourced by test files after lib.sh; every test that starts a display calls gui_cleanup on exit:
#     gui_start_display; trap gui_cleanup EXIT

GUI_SCREENSHOT_COPY="${GUI_SCREENSHOT_COPY:-/work/notes/screenshots}"
GUI_TRIES="${GUI_TRIES:-600}"  # polls of 0.1 s while waiting for a window, a log line or the end of Setup.exe

# Starts Xvfb on the first free display number and exports DISPLAY.
gui_start_display() {
    local n i
    for n in $(seq 90 160); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$TEST_DIR/xvfb.log" 2>&1 &
        GUI_XVFB_PID=$!
        export DISPLAY=":$n"
        for i in $(seq 1 100); do
            kill -0 "$GUI_XVFB_PID" 2>/dev/null || break
            xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$GUI_XVFB_PID" 2>/dev/null || true
        wait "$GUI_XVFB_PID" 2>/dev/null || true
        GUI_XVFB_PID=""
    done
    fail "no free X display"
}

# Ends Setup.exe, the prefix's Wine processes and the display. Safe to call more than once.
gui_cleanup() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    if [ -n "${GUI_SETUP_PID:-}" ]; then
        kill "$GUI_SETUP_PID" 2>/dev/null || true
        wait "$GUI_SETUP_PID" 2>/dev/null || true
        GUI_SETUP_PID=""
    fi
    if [ -n "${GUI_XVFB_PID:-}" ]; then
        kill "$GUI_XVFB_PID" 2>/dev/null || true
        wait "$GUI_XVFB_PID" 2>/dev/null || true
        GUI_XVFB_PID=""
    fi
}

# Starts Setup.exe (the staged copy when there is one) with the arguments in the background; its full exit
# code goes to $TEST_DIR/setup-exit.txt when it ends.
gui_start_setup() {
    rm -f "$TEST_DIR/setup-exit.txt"
    (
        run_windows "$(winpath "${SETUP_COPY:-$SETUP_EXE}")" "$@"
        echo "$EXIT_CODE" >"$TEST_DIR/setup-exit.txt"
    ) &
    GUI_SETUP_PID=$!
}

# Waits until Setup.exe has ended and prints its exit code.
gui_wait_exit() {
    local i
    for ((i = 0; i < GUI_TRIES; i++)); do
        if [ -s "$TEST_DIR/setup-exit.txt" ]; then
            wait "$GUI_SETUP_PID" 2>/dev/null || true
            GUI_SETUP_PID=""
            cat "$TEST_DIR/setup-exit.txt"
            return 0
        fi
        sleep 0.1
    done
    fail "Setup.exe did not end"
}

# Prints the id of the top-level window whose caption is exactly the text, waiting until it exists.
gui_wait_window() {
    local caption="$1" i id
    for ((i = 0; i < GUI_TRIES; i++)); do
        id=$(xdotool search --name "^${caption}\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    xdotool search --name '.' 2>/dev/null | while read -r w; do echo "window: $(xdotool getwindowname "$w")" >&2; done
    fail "no window with the caption \"$caption\""
}

# Waits until the log holds the line ("Tag|text", as log_entries writes it).
gui_wait_log_line() {
    local line="$1" i
    for ((i = 0; i < GUI_TRIES; i++)); do
        [ -f "$(setup_log)" ] && log_entries | grep -qxF -- "$line" && return 0
        sleep 0.1
    done
    log_entries 2>/dev/null | tail -n 20 >&2 || true
    fail "log line not written: [$line]"
}

# Presses keys (xdotool names, e.g. alt+n, Escape) in the window with the caption.
gui_keys() {
    local id
    id=$(gui_wait_window "$1")
    shift
    xdotool windowfocus --sync "$id"
    xdotool key --clearmodifiers "$@"
}

# Sends the window's close command (what its close box does; without a window manager there is none).
gui_close() {
    wine "$TOOLS_DIR/wizardinspect.exe" --close "$1" 2>>"$TEST_DIR/wine-stderr.txt" || fail "cannot close \"$1\""
}

# The controls of the wizard with the caption, as wizardinspect.exe prints them.
gui_inspect() {
    wine "$TOOLS_DIR/wizardinspect.exe" "$1" 2>>"$TEST_DIR/wine-stderr.txt" | tr -d '\r'
}

# The visible controls: "ID|CLASS|ENABLED|CHECK|TEXT" (the rectangle left out).
gui_visible_controls() {
    gui_inspect "$1" | awk -F'|' '$1 == "control" && $4 == 1 {
        text = $8; for (i = 9; i <= NF; i++) text = text "|" $i
        print $2 "|" $3 "|" $5 "|" $6 "|" text }'
}

# One visible control's line "ID|CLASS|ENABLED|CHECK|TEXT".
gui_control() {
    gui_visible_controls "$1" | awk -F'|' -v id="$2" '$1 == id' | head -n 1
}

# The items of the visible page's tree views: "DEPTH|STATEIMAGE|TEXT".
gui_tree() {
    gui_inspect "$1" | awk -F'|' '$1 == "tree" { print $3 "|" $4 "|" $5 }'
}

# Waits until the control's line equals the expected text (buttons change after posted messages).
gui_wait_control() {
    local caption="$1" id="$2" expected="$3" i actual=""
    for ((i = 0; i < 50; i++)); do
        actual=$(gui_control "$caption" "$id")
        [ "$actual" == "$expected" ] && return 0
        sleep 0.2
    done
    fail "control $id of \"$caption\": expected [$expected], got [$actual]"
}

# Clicks the middle of a visible control of the window with the caption.
gui_click_control() {
    local caption="$1" id="$2" rect left top right bottom
    rect=$(gui_inspect "$caption" | awk -F'|' -v id="$id" '$1 == "control" && $2 == id && $4 == 1 { print $7; exit }')
    [ -n "$rect" ] || fail "no visible control $id in \"$caption\""
    IFS=, read -r left top right bottom <<<"$rect"
    xdotool mousemove --sync $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
}

# Saves a screenshot of the display as $TEST_DIR/screenshots/NAME.png and copies it for review.
gui_screenshot() {
    local name="$1" file
    mkdir -p "$TEST_DIR/screenshots"
    file="$TEST_DIR/screenshots/$name.png"
    sleep 0.5  # let the page finish painting
    import -window root "$file"
    if mkdir -p "$GUI_SCREENSHOT_COPY" 2>/dev/null; then
        cp "$file" "$GUI_SCREENSHOT_COPY/$(basename "$TEST_DIR")-$name.png" 2>/dev/null || true
    fi
}

# The colour of one pixel of a screenshot, e.g. "#FFFFFF".
gui_pixel() {
    convert "$TEST_DIR/screenshots/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -n 1
}

# The screen rectangle "LEFT,TOP,RIGHT,BOTTOM" of a visible control.
gui_control_rect() {
    gui_inspect "$1" | awk -F'|' -v id="$2" '$1 == "control" && $2 == id && $4 == 1 { print $7; exit }'
}
