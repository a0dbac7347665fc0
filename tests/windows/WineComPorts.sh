#!/usr/bin/env bash
# kq30.exe under Wine against simulated units (the Linux build's `kq30 sim`)
# on Wine's COM ports: Wine's serial driver, which nobody here wrote, is the
# peer of the Windows serial layer and port table.
#
#   WineComPorts.sh register FOLDER
#     registers COM31 to COM39 in the Wine prefix ($WINEPREFIX), each as the
#     link FOLDER/comN, and makes the links of the ports that are no unit.
#     Wine's mount manager reads the registry as the prefix starts, so the
#     prefix is restarted afterwards (scripts/test-windows does, before CTest).
#   WineComPorts.sh CASE KQ30_EXE LINUX_BUILD FOLDER WORK
#     one case (ports, connect, upgrade, unplugged), each on COM ports of its
#     own, so that cases run side by side.
#
# Wine's driver opens the path each time the port is opened, so a unit that
# links itself into FOLDER as comN is COM N, also when the link is replaced.
set -euo pipefail

# The ports: a unit's for each case, and four that are no unit.
readonly PORTS_PORT=31 GONE=32 PLAIN_FILE=33 A_FOLDER=34 NOTHING=35
readonly CONNECT_PORT=36 UPGRADE_PORT=37 UNPLUGGED_PORT=38

if [ "${1:-}" = register ]; then
  folder=$2
  mkdir -p "$folder/a-folder"
  printf 'a file, not a terminal\n' >"$folder/not-a-terminal"
  ln -sfn "$folder/gone/ttyUSB0" "$folder/com$GONE"  # a unit's link left behind
  ln -sfn "$folder/not-a-terminal" "$folder/com$PLAIN_FILE"
  ln -sfn "$folder/a-folder" "$folder/com$A_FOLDER"
  rm -f "$folder/com$NOTHING"  # registered, and nothing there
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 31 39); do printf '"COM%d"="%s/com%d"\r\n' "$n" "$folder" "$n"; done
  } >"$folder/ports.reg"
  wine reg import "$(winepath -w "$folder/ports.reg")" >/dev/null 2>&1
  exit 0
fi

case_name=$1 exe=$(realpath "$2") linux=$(realpath "$3") folder=$(realpath "$4") work=$5
kq30=$linux/tools/kq30
firmware=$linux/samples/KQ-30.bin
export KQ30_PORT_DIR=$folder
rm -rf "$work" && mkdir -p "$work" && cd "$work"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# kq30.exe with its arguments: its output in $out, its exit status in $rc.
# Wine now and then fails to start a program at all (no output, a failure);
# such a run is made again once.
win() {
  local attempt
  for attempt in 1 2; do
    rc=0
    out=$(wine "$exe" "$@" 2>&1) || rc=$?
    out=${out//$'\r'/}
    [ -n "$out" ] || [ "$rc" -eq 0 ] || continue
    break
  done
  printf '$ kq30.exe %s\n%s\n(exit %d)\n' "$*" "$out" "$rc" >>"$work/log"
}

expect() {  # expect STATUS TEXT: the last kq30.exe exited so and printed TEXT
  [ "$rc" -eq "$1" ] || fail "exit $rc, not $1: $out"
  grep -qF -- "$2" <<<"$out" || fail "no '$2' in: $out"
}

# A simulated unit on COM n (options after n), until the case ends.
sim_pids=()
trap 'for p in "${sim_pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait' EXIT
start_unit() {
  local n=$1
  shift
  rm -f "$folder/com$n"
  "$kq30" sim --port "$n" "$@" >"$work/sim$n.out" 2>"$work/sim$n.log" &
  sim_pids+=($!)
  unit=$!
  for _ in $(seq 100); do
    [ -L "$folder/com$n" ] && return 0
    kill -0 "$unit" 2>/dev/null || break
    sleep 0.05
  done
  fail "the simulated unit on COM$n did not start: $(cat "$work/sim$n.log")"
}
stop_unit() {
  kill "$unit"
  wait "$unit" || true
}

# Whether the unit on COM n holds the firmware: it is restarted into its boot
# loader and the Linux tool reads every block back and compares it.
expect_flash_is_image() {
  local n=$1 link=$folder/com$1
  stty -F "$link" 38400 raw -echo
  printf '$PTST,,,,,00008*17\r\n' >"$link"
  for _ in $(seq 100); do
    grep -q 'restarted into the boot loader' "$work/sim$n.log" && break
    sleep 0.05
  done
  "$kq30" bootloader verify --port "$n" --firmware "$firmware" >"$work/verify.log" 2>&1 ||
    fail "the unit's flash is not the image: $(cat "$work/verify.log")"
}

case $case_name in
  ports)
    # Wine's ports are listed by the registry's SERIALCOMM only.
    start_unit $PORTS_PORT
    win ports
    [ "$rc" -eq 0 ] || fail "kq30.exe ports failed: $out"
    while read -r n why; do
      line=$(grep -E "^COM$n " <<<"$out") || fail "COM$n is not listed: $out"
      [[ $line == *"  $why "*"serial port ("*"Device"*"Serial"* ]] || fail "COM$n is not '$why': $line"
    done <<EOF
$PORTS_PORT openable
$GONE not openable (not a serial device)
$PLAIN_FILE not openable (not a serial device)
$A_FOLDER not openable (not a serial device)
$NOTHING not openable (not a serial device)
EOF
    ;;

  connect)
    start_unit $CONNECT_PORT
    win connect --port $CONNECT_PORT --baud 38400
    expect 0 "software_version: 1.05"
    grep -qF "model_serial_code: SIM0000001" <<<"$out" || fail "no identity: $out"
    # Ports that are no unit: a message, and nothing lost.
    for n in $GONE $PLAIN_FILE $A_FOLDER $NOTHING; do
      win connect --port "$n" --baud 38400 --force
      expect 1 "Serial port open error! Please check!"
    done
    [ "$(cat "$folder/not-a-terminal")" = "a file, not a terminal" ] || fail "the file behind COM$PLAIN_FILE changed"
    # A unit at another rate than asked: a time-out, and the unit goes on at
    # its own.
    stop_unit
    start_unit $CONNECT_PORT --baud 4800
    win connect --port $CONNECT_PORT --baud 38400
    expect 1 "Serial port connection time out!"
    win connect --port $CONNECT_PORT --baud 4800
    expect 0 "software_version: 1.05"
    ;;

  upgrade)
    start_unit $UPGRADE_PORT
    win upgrade --port $UPGRADE_PORT --baud 38400 --yes --firmware "$firmware"
    expect 0 "upgraded to SAMPLE 1.10"
    grep -q 'software version is now SAMPLE 1.10' "$work/sim$UPGRADE_PORT.log" || fail "the unit never heard the version"
    expect_flash_is_image $UPGRADE_PORT
    ;;

  unplugged)
    # The cable pulled in the middle of the upgrade: Wine's driver reports
    # the hang-up, and the message says the port went away; the unit,
    # plugged in again, waits in its boot loader, and the rescue writes the
    # firmware into it.
    start_unit $UNPLUGGED_PORT --unplug-at 300
    win upgrade --port $UNPLUGGED_PORT --baud 38400 --yes --firmware "$firmware"
    expect 1 "the port or its adapter went away during the upgrade, and the unit waits in its boot loader"
    kill -USR1 "$unit"
    for _ in $(seq 100); do
      grep -q 'plugged in again' "$work/sim$UNPLUGGED_PORT.out" && break
      sleep 0.05
    done
    win upgrade --recover --port $UNPLUGGED_PORT --yes --firmware "$firmware"
    expect 0 "upgraded to SAMPLE 1.10"
    expect_flash_is_image $UNPLUGGED_PORT
    ;;

  *)
    fail "no case $case_name"
    ;;
esac
echo "$case_name: passed"
