#!/usr/bin/env bash
# End-to-end: the real vantrel.exe under Wine and Xvfb, driven only from outside as a user would
# (xdotool key presses, trace-send, a probe that reads the window from another process), then the
# spool file, the clipboard and the registry checked. Screenshots of each stage go to OUT/shots.
# Usage: e2e.sh VANTREL_EXE PROBE_EXE OUT   (run by CTest inside tools/test's environment)
set -uo pipefail
exe=$1 probe_exe=$2 out=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$root/tools/wine-run
key='HKCU\SOFTWARE\ORACLE\Vantrel 32-bit'
pipe=VANTREL
mkdir -p "$out/shots"
rm -f "$out"/shots/*.png "$out/spool.trc"
failures=0

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null; }
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
shot() { import -window root "$out/shots/$1.png" 2>/dev/null; }
send() { "$root/tools/trace-send" --pipe "$pipe" "$@" || fail "trace-send $*"; }
# Waits up to 10 s for a probe answer.
wait_for() {
    local expected=$1 what
    shift
    for _ in $(seq 40); do
        what=$(probe "$@")
        [ "$what" = "$expected" ] && return 0
        sleep 0.25
    done
    fail "probe $* gave '$what', expected '$expected'"
    return 1
}
keys() { xdotool key --window "$window" "$@"; sleep 0.4; }
crlf() { printf '%s\r\n' "$@"; }

"$wine" reg delete "$key" /f >/dev/null 2>&1
# Drain whatever an earlier run left in the pipe.
psql -X -q -d vantrel -c "SELECT count(*) FROM (SELECT vantrel.get('$pipe') FROM generate_series(1, 200)) s" >/dev/null

"$wine" "$exe" "$VANTREL_DB_USER/$VANTREL_DB_PASSWORD@$VANTREL_DSN" &
vantrel_pid=$!
trap 'kill $vantrel_pid 2>/dev/null' EXIT
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Vantrel' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "FAILED: the main window never appeared" >&2; exit 1; }
sleep 1
shot 1-start
wait_for "Vantrel" title

echo "stage: spy and receive"
keys ctrl+s
wait_for "Vantrel *" title
send "e2e one" "e2e two" "e2e three"
wait_for 3 count
[ "$(probe lines)" = "$(printf 'e2e one\ne2e two\ne2e three')" ] || fail "lines out of order: $(probe lines)"
shot 2-spying

echo "stage: spool to a file"
spool_windows="Z:${out//\//\\}\\spool.trc"
keys alt+f p
wait_for open dialog "Spool To"
xdotool type --delay 5 "$spool_windows"
keys Return
sleep 1
[ -f "$out/spool.trc" ] || fail "spool file not created"
send "e2e four" "e2e five"
wait_for 5 count
cmp -s "$out/spool.trc" <(crlf "e2e four" "e2e five") || fail "spool after two lines: $(od -c "$out/spool.trc" | head)"
shot 3-spooling

echo "stage: pause and resume"
keys alt+f o
send "e2e paused"
wait_for 6 count
keys alt+f o
send "e2e resumed"
wait_for 7 count
cmp -s "$out/spool.trc" <(crlf "e2e four" "e2e five" "e2e resumed") || fail "spool after pause and resume: $(cat -A "$out/spool.trc")"

echo "stage: copy and delete a selection"
keys ctrl+s
wait_for "Vantrel" title
keys Home shift+Down
keys ctrl+c
clip=$(probe clipboard | od -An -c | tr -s ' \n' ' ')
expected=$(crlf "e2e one" "e2e two" | od -An -c | tr -s ' \n' ' ')
[ "$clip" = "$expected" ] || fail "clipboard held '$clip', expected '$expected'"
shot 4-selection
keys Delete
wait_for 5 count
[ "$(probe lines | head -1)" = "e2e three" ] || fail "first line after Delete: $(probe lines | head -1)"

echo "stage: options"
keys alt+e o
wait_for open dialog "Options"
wait_for 500 dialog-text Options 1006
probe dialog-set Options 1006 100
shot 5-options
xdotool key Return
sleep 0.5
probe dialog Options >/dev/null && fail "Options dialog still open after Return"

echo "stage: exit"
keys alt+f x
for _ in $(seq 50); do kill -0 $vantrel_pid 2>/dev/null || break; sleep 0.2; done
kill -0 $vantrel_pid 2>/dev/null && fail "Vantrel still running after File > Exit"
speed=$("$wine" reg query "$key" /v TimerSpeed 2>/dev/null | tr -d '\r' | awk '/TimerSpeed/ { print $3 }')
[ "$speed" = "0x64" ] || fail "TimerSpeed is '$speed', expected 0x64 (100)"
/usr/lib/wine/wineserver -w
if grep -rl -- "$VANTREL_DB_PASSWORD" "$WINEPREFIX"/*.reg >/dev/null 2>&1; then
    fail "the password is in the registry"
fi

if [ $failures -eq 0 ]; then
    echo "end-to-end: all stages passed; screenshots in $out/shots"
    exit 0
fi
echo "end-to-end: $failures checks failed; screenshots in $out/shots" >&2
exit 1
