#!/usr/bin/env bash
# Runs the playbook of docs/fleet.md with the real ansible-playbook against three emulated
# printers on loopback, inventory with a local connection: the first run changes all three
# printers and fetches their backups, the second changes nothing. Skipped (status 77) when
# ansible-playbook is not installed.
#   ansible_test.sh SOURCE_DIR PROGRAM_FOLDER
set -u
source_dir="$1"
app="$(cd "$2" && pwd)"
if ! command -v ansible-playbook >/dev/null 2>&1; then
    echo "SKIP: ansible-playbook is not installed (apt-get install ansible-core); the playbook" \
        "of docs/fleet.md was not run"
    exit 77
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/qp60ctl-ansible.XXXXXX")"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export PATH="$app:$PATH" QP60UTIL_COMMON_APPDATA="$work/appdata" XDG_RUNTIME_DIR="$work"
export QPCOMM_DISCOVERY_ADDR=127.0.0.1 LC_ALL=C.UTF-8 HOME="$work/home"
export ANSIBLE_LOCAL_TEMP="$work/ansible-local" ANSIBLE_REMOTE_TEMP="$work/ansible-remote"
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_HOST_KEY_CHECKING=0
mkdir -p "$HOME"

failures=0
check() {
    local what="$1"
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# The playbook exactly as the document shows it.
awk '/<!-- playbook:/ { take = 1; next } take && /^```yaml/ { inside = 1; next }
     inside && /^```/ { exit } inside { print }' "$source_dir/docs/fleet.md" >"$work/qp60ctl-fleet.yml"
check "docs/fleet.md holds the playbook" grep -q "qp60ctl --json set" "$work/qp60ctl-fleet.yml"

echo "[shops]" >"$work/shops.ini"
for shop in berlin madrid lisbon; do
    "$app/qpr60-emulator" --tcp 127.0.0.1:0 --restart-ms 100 --control "$work/$shop.ctl" \
        >"$work/$shop.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$work/$shop.out" && break; sleep 0.05; done
    address=$(awk '/^listening tcp/ { print $3 }' "$work/$shop.out")
    echo "shop-$shop ansible_connection=local ansible_python_interpreter=$(command -v python3) printer=net:$address" \
        >>"$work/shops.ini"
done

# How the "Apply the chain's settings" task ended on each host in a run's log: "changed" or
# "ok" lines.
applied() {
    awk '/^TASK \[/ { inside = /Apply the chain/ } inside && /^'"$2"': \[/' "$work/run$1.log" | wc -l
}
run_playbook() {
    timeout 300 ansible-playbook -i "$work/shops.ini" -e "shop_backup_dir=$work/shop" \
        "$work/qp60ctl-fleet.yml" >"$work/run$1.log" 2>&1
}
run_playbook 1
status=$?
check "the first run succeeds (status $status)" test "$status" -eq 0
check "the first run changes all three printers" test "$(applied 1 changed)" -eq 3
for shop in berlin madrid lisbon; do
    check "the backup of shop-$shop arrived" grep -q '^custom 5=100$' "$work/backups/shop-$shop.bak"
done
check "the printers hold the chain's settings" \
    sh -c "qp60ctl get net:$(awk '/^listening tcp/ { print $3 }' "$work/berlin.out") density speed memsw2.bit3 |
           tr '\n' ' ' | grep -qx 'density=110 speed=5 memsw2.bit3=1 '"
run_playbook 2
status=$?
check "the second run succeeds (status $status)" test "$status" -eq 0
check "the second run changes no printer" test "$(applied 2 ok)" -eq 3
if [ "$failures" -ne 0 ]; then
    echo "--- first run:"; cat "$work/run1.log"
    echo "--- second run:"; cat "$work/run2.log"
fi
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
