# shellcheck shell=bash
# shellcheck disable=SC2154 # window is the sourcing script's
# Sourced, not run: make_work (a throwaway $work, removed on exit with $app_pid
# and $xvfb_pid killed), now_ms, alive, wait_for, app_output, app_must_run,
# start_xvfb, title_is and expect_title. The sourcing script defines fail
# MESSAGE (exits 1), stores its program's pid in app_pid and may name it in
# app_label; start_xvfb ON_FAILURE calls ON_FAILURE MESSAGE, which must exit,
# if Xvfb cannot start.

work=
xvfb_pid=
app_pid=
app_label="the program"

# Programs a script starts beside the one it drives (xmessage, a bus, a
# stand-in service) add their pids here and end first.
helper_pids=()
cleanup() {
    local pid
    for pid in "${helper_pids[@]}" $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}

# make_work NAME: a fresh folder under TMPDIR that goes away however the script ends.
make_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

now_ms() { date +%s%3N; }

# What the program ($app_label) wrote to $work/app.log and the windows on
# the screen, for a failure message.
app_output() {
    printf -- '--- %s output ---\n' "$app_label"
    cat "$work/app.log" 2>/dev/null || true
    printf -- '--- visible windows ---\n'
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        printf '%s "%s"\n' "$w" "$(xdotool getwindowname "$w" 2>/dev/null)"
    done
}

# app_must_run WHAT: fails, with app_output, once the program has ended.
app_must_run() {
    alive "$app_pid" || fail "$app_label ended early (while waiting for $1)
$(app_output)"
}

# Bash reaps its children as they end, but a zombie would still answer kill -0.
alive() {
    [[ -n $1 ]] && kill -0 "$1" 2>/dev/null &&
        [[ $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) != Z ]]
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$(($(now_ms) + seconds * 1000))
    until "$@"; do
        (($(now_ms) < deadline)) || fail "no $what within ${seconds}s"
        sleep 0.05
    done
}

# start_xvfb ON_FAILURE: Xvfb picks a free display itself (-displayfd), so
# parallel runs never race for one; exports DISPLAY once it is named.
# -noreset: by default the server resets whenever its last client goes, and
# a client that connects meanwhile (the program starting while xdotool looks
# for its window) is turned away; the busier the machine, the likelier.
start_xvfb() {
    local on_failure=$1 deadline number
    command -v Xvfb >/dev/null || "$on_failure" "Xvfb is not on PATH (Debian package xvfb)"
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    deadline=$(($(now_ms) + 15000))
    # The number is whole once its line ends: the server writes the newline last.
    # The file itself may not be there yet: the shell makes it in the background.
    until IFS= read -r number 2>/dev/null <"$work/display" && [[ $number =~ ^[0-9]+$ ]]; do
        alive "$xvfb_pid" || "$on_failure" "Xvfb could not start: $(cat "$work/xvfb.log")"
        (($(now_ms) < deadline)) ||
            "$on_failure" "Xvfb named no display within 15s: $(cat "$work/xvfb.log")"
        sleep 0.05
    done
    export DISPLAY=:$number
}

# title_is TEXT: the title of $window is TEXT; it is left in $title.
title=
title_is() {
    app_must_run "the title \"$1\""
    title=$(xdotool getwindowname "$window")
    [[ $title == "$1" ]]
}

# expect_title SINCE TEXT [SHORTEST]: the title shows TEXT within five
# seconds, then the plain title "Tsumugiya" again no sooner than SHORTEST ms
# (2000 unless given) after SINCE (now_ms) and no later than ten seconds;
# shown_ms is how long it was.
expect_title() {
    local since=$1 expected=$2 shortest=${3:-2000} deadline=$(($(now_ms) + 5000))
    until title_is "$expected"; do
        (($(now_ms) < deadline)) || fail "title differs: got \"$title\", expected \"$expected\""
        sleep 0.05
    done
    wait_for 10 'plain title "Tsumugiya" again' title_is Tsumugiya
    shown_ms=$(($(now_ms) - since))
    ((shown_ms >= shortest)) || fail "\"$expected\" left the title after only ${shown_ms} ms"
}
