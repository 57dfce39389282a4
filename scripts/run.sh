#!/usr/bin/env bash
# Builds the QP-R60 Utility and runs it against the printer emulator on this machine.
#
#   scripts/run.sh [utility options...]     e.g. scripts/run.sh /mFout.dat
#
# - installs missing Debian packages (scripts/install-deps.sh run), builds build/ (-j2,
#   incremental, without tests when it configures it; $QPU_BUILD_DIR names another build
#   folder);
# - starts qpr60-emulator on 127.0.0.1 (port $QPU_EMULATOR_PORT, default: a free port) and
#   registers that port with the communication library; the same emulator also answers
#   network searches on a free UDP port of 127.0.0.1, which Search in Add Port asks
#   ($QPCOMM_DISCOVERY_ADDR), and listens on a pseudo-terminal (build/run/qpr60-pty, the
#   path is printed) that Add Port takes as a typed serial port;
# - keeps every setting under build/run/ (QP60UTIL_COMMON_APPDATA, QP60UTIL_USER_APPDATA,
#   XDG_RUNTIME_DIR, XDG_CONFIG_HOME), so the settings of a real installation are never
#   touched; network discovery only asks the emulator on 127.0.0.1;
# - starts build/app/qp60util. Without a display it runs under xvfb-run and saves a
#   picture of the screen to build/run/screenshot.png after $QPU_SCREENSHOT_DELAY seconds
#   (default 8), then ends the utility.
# The emulator is stopped when the script ends. Its control socket build/run/emulator.sock
# takes the commands of emulator/README.md (e.g. "cover open") while the utility runs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${QPU_BUILD_DIR:-$root/build}"
run="$build/run"
app="$build/app"

"$root/scripts/install-deps.sh" run

# A new build folder is configured without the tests, which running needs none of.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF
fi
cmake --build "$build" -j2 --target qp60util qpr60-emulator QPComm PrtInfMgrDLL \
    QpuPrintSettings QpuMemorySwitch QpuPrinterInfo stage_data qpu_screen_grab

mkdir -p "$run/appdata" "$run/userdata" "$run/xdg" "$run/config"
chmod 700 "$run/xdg"
export QP60UTIL_COMMON_APPDATA="$run/appdata"
export QP60UTIL_USER_APPDATA="$run/userdata"
export XDG_RUNTIME_DIR="$run/xdg"
export XDG_CONFIG_HOME="$run/config"
# Only loopback is ever searched; the emulator's own discovery port is added below.
export QPCOMM_DISCOVERY_ADDR=127.0.0.1

emulator_pid=""
utility_pid=""
cleanup() {
    if [ -n "$utility_pid" ] && kill -0 "$utility_pid" 2>/dev/null; then
        kill "$utility_pid" 2>/dev/null || true
        wait "$utility_pid" 2>/dev/null || true
    fi
    if [ -n "$emulator_pid" ] && kill -0 "$emulator_pid" 2>/dev/null; then
        kill "$emulator_pid" 2>/dev/null || true
        wait "$emulator_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The emulator keeps its settings in build/run/printer-state.txt between runs.
port="${QPU_EMULATOR_PORT:-0}"
"$app/qpr60-emulator" --tcp "127.0.0.1:$port" --discovery 127.0.0.1:0 \
    --pty "$run/qpr60-pty" --state "$run/printer-state.txt" --control "$run/emulator.sock" \
    --log "$run/emulator.log" >"$run/emulator.out" 2>"$run/emulator.err" &
emulator_pid=$!

for _ in $(seq 1 100); do
    grep -qx ready "$run/emulator.out" 2>/dev/null && break
    if ! kill -0 "$emulator_pid" 2>/dev/null; then
        echo "run.sh: the emulator did not start:" >&2
        cat "$run/emulator.err" >&2
        exit 1
    fi
    sleep 0.1
done
if ! grep -qx ready "$run/emulator.out"; then
    echo "run.sh: the emulator did not become ready" >&2
    exit 1
fi
address=$(awk '$1 == "listening" && $2 == "tcp" { print $3; exit }' "$run/emulator.out")
discovery=$(awk '$1 == "listening" && $2 == "discovery" { print $3; exit }' "$run/emulator.out")
pty=$(awk '$1 == "listening" && $2 == "pty" { print $4; exit }' "$run/emulator.out")
echo "Printer emulator on $address (control: $run/emulator.sock)"
echo "Printer emulator on the pseudo-terminal $run/qpr60-pty ($pty):"
echo "  Add Port, Serial: type $run/qpr60-pty into the port list"
# Search in Add Port finds the emulator: it answers on its own discovery port, and a
# printer found by the search is reached on the emulator's TCP port.
if [ -n "$discovery" ]; then
    export QPCOMM_DISCOVERY_ADDR="$discovery"
    export QPCOMM_NET_PORT="${address##*:}"
    echo "Network search asks $discovery"
fi

# Register the emulator's port with the communication library: its port list
# ($QP60UTIL_COMMON_APPDATA/VORKA/QPComm/ports.dat) with one Ethernet record
# (keyword "NET", port name "address:port", device name "QP-R60").
ports="$QP60UTIL_COMMON_APPDATA/VORKA/QPComm"
mkdir -p "$ports"
perl -e '
    my ($name, $out) = @ARGV;
    my $utf16 = sub { join("", map { $_ . "\0" } split(//, $_[0])) };
    my $record = "\0" x 5764;
    my $put = sub { my ($offset, $text) = @_; my $b = $utf16->($text); substr($record, $offset, length $b) = $b; };
    $put->(0, "NET");
    $put->(520, $name);
    $put->(2092, "QP-R60");
    open(my $fh, ">:raw", "$out.tmp") or die "$out.tmp: $!";
    print $fh "QPCPORTS", pack("VV", 1, 1), $record;
    close($fh) or die "$out.tmp: $!";
    rename("$out.tmp", $out) or die "$out: $!";
' "$address" "$ports/ports.dat"

if [ -n "${DISPLAY:-}" ]; then
    "$app/qp60util" "$@" &
    utility_pid=$!
    wait "$utility_pid" || true
    utility_pid=""
else
    delay="${QPU_SCREENSHOT_DELAY:-8}"
    shot="$run/screenshot.png"
    rm -f "$shot"
    grabber="$build/tools/qpu_screen_grab"
    # One X server for the utility and the picture; the utility is ended after it.
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        app="$1"; grabber="$2"; shot="$3"; delay="$4"; shift 4
        "$app/qp60util" "$@" &
        pid=$!
        sleep "$delay"
        QT_QPA_PLATFORM=xcb "$grabber" "$shot" || true
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    ' run-utility "$app" "$grabber" "$shot" "$delay" "$@"
    if [ -f "$shot" ]; then
        echo "Screenshot: $shot"
    else
        echo "run.sh: no screenshot was saved" >&2
    fi
fi
