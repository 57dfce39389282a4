#!/usr/bin/env bash
# Builds the Debian packages of the QP-R60 Utility, unpacks them into a temporary root
# (never into this system), checks what they hold and that lintian has nothing to say about
# them, runs their maintainer scripts against stand-in commands, starts the unpacked utility
# offscreen in start mode 4, and builds the sample plug-in against the unpacked SDK only and
# loads it in the unpacked utility against the emulator.
#
#   package_test.sh <build folder> <version>
# shellcheck disable=SC2016 # the stand-in commands written below expand their own variables
set -uo pipefail

bindir=$(cd "$1" && pwd)
version=$2
arch=$(dpkg --print-architecture)
main_deb="$bindir/qp60util_${version}_${arch}.deb"
emu_deb="$bindir/qp60util-emulator_${version}_${arch}.deb"
dev_deb="$bindir/qp60util-dev_${version}_${arch}.deb"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/qpu-package.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
pass() { echo "ok   $1"; }
fail() {
    echo "FAIL $1"
    failures=$((failures + 1))
}
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# --- build -------------------------------------------------------------------------------
rm -f "$main_deb" "$emu_deb" "$dev_deb"
if ! timeout 900 cmake --build "$bindir" --target package -j2 >"$tmp/build.log" 2>&1; then
    tail -n 40 "$tmp/build.log"
    fail "cmake --build --target package"
    exit 1
fi
check "main package built: ${main_deb##*/}" test -f "$main_deb"
check "emulator package built: ${emu_deb##*/}" test -f "$emu_deb"
check "SDK package built: ${dev_deb##*/}" test -f "$dev_deb"
[ -f "$main_deb" ] && [ -f "$emu_deb" ] && [ -f "$dev_deb" ] || exit 1
echo "size: $(stat -c %s "$main_deb") bytes (${main_deb##*/}), $(stat -c %s "$emu_deb") bytes (${emu_deb##*/})"

# --- lintian -----------------------------------------------------------------------------
# At its default level lintian prints every error and warning; it must print nothing.
for deb in "$main_deb" "$emu_deb" "$dev_deb"; do
    out=$(lintian --allow-root "$deb" 2>&1)
    if [ -z "$out" ]; then pass "lintian: ${deb##*/}"; else fail "lintian: ${deb##*/}: $out"; fi
done

# --- control fields ----------------------------------------------------------------------
field() { dpkg-deb -f "$1" "$2"; }
check "main package is named qp60util" test "$(field "$main_deb" Package)" = qp60util
check "emulator package is named qp60util-emulator" \
    test "$(field "$emu_deb" Package)" = qp60util-emulator
check "version $version" test "$(field "$main_deb" Version)" = "$version"
synopsis() { field "$1" Description | head -n 1; }
check "main package synopsis" \
    test "$(synopsis "$main_deb")" = "Setup utility for the QP-R60 receipt printer"
check "emulator package synopsis" \
    test "$(synopsis "$emu_deb")" = "QP-R60 receipt printer emulator"
check "SDK package is named qp60util-dev" test "$(field "$dev_deb" Package)" = qp60util-dev
check "SDK package is in section libdevel" test "$(field "$dev_deb" Section)" = libdevel
depends=$(field "$main_deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libcups2 adduser; do
    # Debian releases with 64-bit time name the Qt libraries with a "t64" suffix.
    check "main package depends on $lib" grep -Eq "(^|, )${lib}(t64)?( |,|$)" <<<"$depends"
done

# --- file lists --------------------------------------------------------------------------
root="$tmp/root"
emu_root="$tmp/emu-root"
dpkg -x "$main_deb" "$root" || fail "dpkg -x main package"
dpkg -x "$emu_deb" "$emu_root" || fail "dpkg -x emulator package"
app="$root/usr/lib/qp60util"
echo "--- main package:"
dpkg-deb -c "$main_deb" | awk '{ print $1, $3, $6, $7, $8 }'

# Every file the build stages in its program folder ships, except the emulator; the
# package holds nothing else there.
(cd "$bindir/app" && find . -type f ! -name qpr60-emulator | sort) >"$tmp/staged"
(cd "$app" && find . -type f | sort) >"$tmp/shipped"
check "the program folder holds what the build stages, without the emulator" \
    diff -u "$tmp/staged" "$tmp/shipped"
for f in qp60util libQPComm.so libPrtInfMgrDLL.so SETTING.INI MENUITEM.DAT LANG/0409.DAT; do
    check "ships /usr/lib/qp60util/$f" test -f "$app/$f"
done
has_plugins() { compgen -G "$app/libQpu*.so" >/dev/null; }
check "ships setting-page plug-ins libQpu*.so" has_plugins
check "qp60util is executable" test -x "$app/qp60util"
# The shipped program never has the end-to-end test hooks; the test build beside it does,
# so the check can see a hook when there is one.
check "the packaged qp60util holds no test hook" \
    test "$(grep -a -c QP60UTIL_TEST_ "$app/qp60util")" = 0
check "the test build of qp60util has the hook (the check above can see one)" \
    grep -a -q QP60UTIL_TEST_HOOK "$bindir/test-app/qp60util"
check "/usr/bin/qp60util is a relative link to the program folder" \
    test "$(readlink "$root/usr/bin/qp60util")" = ../lib/qp60util/qp60util
check "no emulator in the main package" \
    test -z "$(dpkg-deb -c "$main_deb" | grep -i emulator)"
check "emulator package holds the emulator" test -x "$emu_root/usr/lib/qp60util/qpr60-emulator"
check "emulator package links /usr/bin/qpr60-emulator" \
    test "$(readlink "$emu_root/usr/bin/qpr60-emulator")" = ../lib/qp60util/qpr60-emulator
files_of() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $6 }' | sort; }
check "the two packages share no file" test -z "$(comm -12 <(files_of "$main_deb") <(files_of "$emu_deb"))"
check "files are owned by root" \
    test -z "$(dpkg-deb -c "$main_deb" | awk '$2 != "root/root"')"

desktop="$root/usr/share/applications/qp60util.desktop"
check "desktop entry shipped" test -f "$desktop"
for line in "Type=Application" "Name=QP-R60 Utility" "Exec=qp60util" "Icon=qp60util"; do
    check "desktop entry: $line" grep -qx "$line" "$desktop"
done
if command -v desktop-file-validate >/dev/null; then
    check "desktop entry validates" desktop-file-validate "$desktop"
fi
icon="$root/usr/share/icons/hicolor/256x256/apps/qp60util.png"
check "icon shipped" test -f "$icon"
# PNG signature, then the IHDR chunk with width and height 256.
check "icon is a 256x256 PNG" test "$(od -An -tx1 -N24 "$icon" | tr -d ' \n')" = \
    "89504e470d0a1a0a0000000d494844520000010000000100"

# --- maintainer scripts ------------------------------------------------------------------
control="$tmp/control"
dpkg-deb -e "$main_deb" "$control"
for script in postinst postrm; do
    check "$script present and executable" test -x "$control/$script"
    check "$script passes sh -n" sh -n "$control/$script"
done

# The scripts run with stand-ins for the commands that change the system; each stand-in
# logs its arguments. getent answers as $GROUP_EXISTS says.
stubs="$tmp/stubs"
mkdir -p "$stubs"
for cmd in addgroup mkdir chown chmod rm rmdir; do
    printf '#!/bin/sh\necho "%s $*" >>"$STUB_LOG"\n' "$cmd" >"$stubs/$cmd"
done
printf '#!/bin/sh\necho "getent $*" >>"$STUB_LOG"\nexit "$GETENT_STATUS"\n' >"$stubs/getent"
# dpkg-statoverride --list: no override (status 1).
printf '#!/bin/sh\necho "dpkg-statoverride $*" >>"$STUB_LOG"\nexit 1\n' >"$stubs/dpkg-statoverride"
chmod +x "$stubs"/*
run_script() { # <log> <getent status> <script> <args...>
    local log=$1 status=$2
    shift 2
    : >"$log"
    env -i PATH="$stubs" STUB_LOG="$log" GETENT_STATUS="$status" /bin/sh "$@"
}
log="$tmp/stub.log"
settings=/var/lib/VORKA/QP60Utl
check "postinst configure succeeds without the group" run_script "$log" 2 "$control/postinst" configure
check "postinst creates the missing group" grep -qx "addgroup --system lpadmin" "$log"
check "postinst creates the settings folder" grep -qx "mkdir -p $settings" "$log"
check "postinst gives it to group lpadmin" grep -qx "chown root:lpadmin $settings" "$log"
check "postinst makes it group-writable with set-group-ID" grep -qx "chmod 2775 $settings" "$log"
check "postinst configure succeeds with the group" run_script "$log" 0 "$control/postinst" configure
check "postinst leaves an existing group alone" test -z "$(grep addgroup "$log")"
check "postinst refuses an unknown action" \
    test "$(run_script "$log" 0 "$control/postinst" bogus 2>/dev/null; echo $?)" = 1
check "postrm purge succeeds" run_script "$log" 0 "$control/postrm" purge
check "postrm purge removes the settings folder" grep -qx "rm -rf $settings" "$log"
check "postrm remove succeeds" run_script "$log" 0 "$control/postrm" remove
check "postrm remove keeps the settings" test ! -s "$log"

# --- the unpacked utility ----------------------------------------------------------------
run="$tmp/run"
mkdir -p "$run/appdata" "$run/userdata" "$run/xdg"
chmod 700 "$run/xdg"
"$bindir/app/qpr60-emulator" --tcp 127.0.0.1:0 --discovery 127.0.0.1:0 \
    --state "$run/printer-state.txt" >"$run/emulator.out" 2>"$run/emulator.err" &
pids+=($!)
for _ in $(seq 1 100); do
    grep -qx ready "$run/emulator.out" 2>/dev/null && break
    sleep 0.1
done
address=$(awk '$1 == "listening" && $2 == "tcp" { print $3; exit }' "$run/emulator.out")
check "emulator listens on loopback" grep -q '^127\.0\.0\.1:' <<<"$address"
# Its port in the communication library's port list: one Ethernet record "NET",
# port name "address:port", device name "QP-R60".
mkdir -p "$run/appdata/VORKA/QPComm"
perl -e '
    my ($name, $out) = @ARGV;
    my $utf16 = sub { join("", map { $_ . "\0" } split(//, $_[0])) };
    my $record = "\0" x 5764;
    my $put = sub { my ($o, $t) = @_; my $b = $utf16->($t); substr($record, $o, length $b) = $b; };
    $put->(0, "NET"); $put->(520, $name); $put->(2092, "QP-R60");
    open(my $fh, ">:raw", $out) or die "$out: $!";
    print $fh "QPCPORTS", pack("VV", 1, 1), $record;
    close($fh) or die "$out: $!";
' "$address" "$run/appdata/VORKA/QPComm/ports.dat"

utility_env=(env -u LD_LIBRARY_PATH -u QP60UTIL_TEST_HOOK -u QP60UTIL_TEST_IDENTITY
    QT_QPA_PLATFORM=offscreen QPCOMM_DISCOVERY_ADDR=127.0.0.1
    QP60UTIL_COMMON_APPDATA="$run/appdata" QP60UTIL_USER_APPDATA="$run/userdata"
    XDG_RUNTIME_DIR="$run/xdg" XDG_CONFIG_HOME="$run/config" QP60UTIL_SYSCONF="$run/sysconf"
    TMPDIR="$run")
"${utility_env[@]}" "$root/usr/bin/qp60util" "/mF$run/out.dat" >"$run/utility.out" 2>"$run/utility.err" &
utility=$!
pids+=("$utility")

# The main window opens the activation channel just before it shows.
channel="$run/xdg/QP-R60_UTILITY_QP-R60"
for _ in $(seq 1 300); do
    [ -S "$channel" ] && break
    kill -0 "$utility" 2>/dev/null || break
    sleep 0.1
done
check "the unpacked utility shows its main window (activation channel open)" test -S "$channel"
sleep 1
check "the utility keeps running" kill -0 "$utility"
check "it runs from the unpacked program folder" \
    test "$(readlink "/proc/$utility/exe")" = "$app/qp60util"
check "it maps nothing from the build's program folder" \
    test -z "$(grep -F "$bindir/app/" "/proc/$utility/maps" 2>/dev/null)"
check "it created the shared settings folder" test -d "$run/appdata/VORKA/QP60Utl"
# A second copy finds the first, asks it to the front and ends by itself (not by the
# timeout, not by a signal).
timeout 20 "${utility_env[@]}" "$root/usr/bin/qp60util" "/mF$run/out.dat" \
    >"$run/second.out" 2>"$run/second.err"
status=$?
check "a second copy hands over to the running one and ends (status $status)" test "$status" -lt 124
check "the first copy is still running" kill -0 "$utility"

kill -TERM "$utility" 2>/dev/null
for _ in $(seq 1 100); do
    kill -0 "$utility" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$utility" 2>/dev/null; then
    fail "the utility ends on SIGTERM within 10 s"
else
    wait "$utility"
    status=$?
    check "the utility ends on SIGTERM (status $status)" test "$status" = 143 -o "$status" = 0
fi
if grep -Eiq 'error|fatal|abort|segmentation' "$run/utility.err"; then
    fail "the utility printed no error"
else
    pass "the utility printed no error"
fi
echo "--- utility stderr:"
cat "$run/utility.err"

# --- the SDK -----------------------------------------------------------------------------
# The SDK unpacked beside the utility, as installing both would put it.
dpkg -x "$dev_deb" "$root" || fail "dpkg -x SDK package"
multiarch=$(gcc -print-multiarch)
sdk_lib="$root/usr/lib/$multiarch"
check "SDK ships its CMake package" test -f "$sdk_lib/cmake/Qp60UtilSdk/Qp60UtilSdkConfig.cmake"
check "SDK ships its pkg-config file" test -f "$sdk_lib/pkgconfig/qp60util-sdk.pc"
check "SDK ships the helper library" test -f "$sdk_lib/libqpu_plugin_sdk.a"
check "SDK ships the contract headers" \
    test -f "$root/usr/include/qpu/plugin_sdk/plugin_base.h" -a -f "$root/usr/include/qpu/version.h"
example="$root/usr/share/doc/qp60util-dev/examples/hello_page"
check "SDK ships the sample plug-in" test -f "$example/hello_plugin.cpp"
check "the packages share no file" test -z "$(sort <(files_of "$main_deb") <(files_of "$emu_deb") \
    <(files_of "$dev_deb") | uniq -d)"

# Out of the tree: nothing of this source tree or build, only the unpacked SDK and Qt.
hello="$tmp/hello"
if cmake -S "$example" -B "$hello" -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON >"$tmp/hello.log" 2>&1 &&
    cmake --build "$hello" >>"$tmp/hello.log" 2>&1; then
    pass "the sample plug-in builds with find_package(Qp60UtilSdk)"
else
    fail "the sample plug-in builds with find_package(Qp60UtilSdk)"
    tail -n 30 "$tmp/hello.log"
fi
check "it was built against the unpacked SDK" grep -q "$root/usr/include" \
    "$hello/CMakeFiles/HelloPage.dir/flags.make"
check "it was built without this source tree" \
    test -z "$(grep -rl "$(cd "$(dirname "$0")/../.." && pwd)/sdk" "$hello/CMakeFiles/HelloPage.dir")"
exports() { nm -D --defined-only "$1" | awk '$2 == "T" { print $3 }' | sort | tr '\n' ' '; }
check "it exports the plug-in entry points and nothing else" test "$(exports "$hello/libHelloPage.so")" = \
    "FORMVIEWDLL_ChangeMenuState FORMVIEWDLL_Finalize FORMVIEWDLL_GetActiveView FORMVIEWDLL_GetDependPluginData FORMVIEWDLL_GetInterfaceVersion FORMVIEWDLL_GetMenuName FORMVIEWDLL_GetPluginInfo FORMVIEWDLL_Initialize FORMVIEWDLL_ReadPrinterSettings FORMVIEWDLL_SetDefaltDataToPluginDataMgr "
pc_flags=$(PKG_CONFIG_PATH="$sdk_lib/pkgconfig" pkg-config --cflags --libs qp60util-sdk)
# shellcheck disable=SC2086 # the flags are words
check "the sample plug-in builds with pkg-config" \
    g++ -std=c++20 -shared -fPIC -o "$tmp/libHelloPc.so" "$example/hello_plugin.cpp" $pc_flags \
    -Wl,--no-undefined

# The unpacked utility loads it from its program folder, named in its menu file, with the
# emulator as the printer (a port path on the command line: no dialog).
cp "$hello/libHelloPage.so" "$app/"
for menu in "$app"/MENUITEM*.DAT; do
    printf '\n[MENUITEM_HELLO]\nITEMID=9\nPARENTITEMID=1\nSELECTING=2\nUSE_DLL_NAME=libHelloPage.so\nSTRING=Hello\n' \
        >>"$menu"
done
QT_LOGGING_RULES="qpu.plugins.debug=true" "${utility_env[@]}" "$root/usr/bin/qp60util" \
    /mR "/r//$address/QP-R60" >"$run/hello.out" 2>"$run/hello.err" &
utility=$!
pids+=("$utility")
loaded="qpu.plugins: loaded $app/libHelloPage.so interface 1.0"
for _ in $(seq 1 300); do
    grep -qF "$loaded" "$run/hello.err" && break
    kill -0 "$utility" 2>/dev/null || break
    sleep 0.1
done
check "the unpacked utility loads the sample plug-in" grep -qF "$loaded" "$run/hello.err"
check "and refuses none" test -z "$(grep 'not loaded' "$run/hello.err")"
kill -TERM "$utility" 2>/dev/null
wait "$utility" 2>/dev/null
echo "--- utility stderr with the sample plug-in:"
cat "$run/hello.err"

bash "$(dirname "$0")/../qp60ctl/package_check.sh" "$root" "$version" || failures=$((failures + 1))
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
