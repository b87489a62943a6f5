# shellcheck shell=bash disable=SC2154  # here, build and root come from the sourcing script
# The simulated server below a private root, shared by scripts/demo and scripts/bench (sourced).
# Needs: here (source tree), build (build tree), root (fresh private root). Sets QV_ROOT,
# QV_LOG_FILE and MIBS. Everything started is recorded so simserver_stop ends it again.

simserver_pids=()   # stopped in reverse order
snmpd_pid=""
snmpd_port=""

simserver_stop() {
  if [ -n "$snmpd_pid" ] && kill -0 "$snmpd_pid" 2>/dev/null; then
    kill "$snmpd_pid"
    wait "$snmpd_pid" 2>/dev/null || true
  fi
  for ((i = ${#simserver_pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${simserver_pids[i]}" 2>/dev/null && wait "${simserver_pids[i]}" 2>/dev/null || true
  done
  simserver_pids=()
  snmpd_pid=""
}

# The root's directories, BIOS image, registry and PCI BIOS revision.
simserver_prepare_root() {
  export QV_ROOT=$root
  export QV_LOG_FILE=$root/qv.log
  export MIBS=
  mkdir -p "$root"/{dev,var/qvserver,usr/qvserver/etc,usr/qvserver/bin,etc,proc,snmpd/persist}
  "$build/sim/biosimage/qvsim-bios" --format smbios21 --model 55 "$root/dev/mem"
  "$build/platform/platprobe/platprobe" -w
  # The suite's version, as its installer records it (agents report it).
  "$build/platform/qvregtool/qvregtool" -s 'SOFTWARE\Quorvane\Trivoke=Version' string 5.10 >/dev/null
  "$build/inventory/qvslotcollect/qvslotcollect" || true   # PCI BIOS revision for qvslotagent
}

# The simulated controller on SCENARIO (default: the default scenario), up to its "ready" line.
simserver_start_controller() {
  local scenario=${1:-$here/sim/scenarios/default.json}
  "$build/sim/server/qvsim" --root "$root" --scenario "$scenario" --foreground \
    >"$root/qvsim.out" 2>&1 &
  simserver_pids+=($!)
  for _ in $(seq 100); do grep -q ready "$root/qvsim.out" 2>/dev/null && break; sleep 0.1; done
  grep -q ready "$root/qvsim.out"
}

# The services that guard the controller; returns once the sensor service has scanned the bus.
simserver_start_services() {
  QV_FOREGROUND=1 "$build/mgmtctl/qvbmccached/qvbmccached" &
  simserver_pids+=($!)
  QV_FOREGROUND=1 QV_COMPONENTS_LOG="$root/components.bin" "$build/mgmtctl/qvmgmtcardd/qvmgmtcardd" &
  simserver_pids+=($!)
  QV_FOREGROUND=1 "$build/health/qvclimated/qvclimated" >"$root/qvclimated.out" 2>&1 &
  simserver_pids+=($!)
  for _ in $(seq 600); do [ -S "$root/var/qvserver/qvclimated.socket" ] && break; sleep 0.1; done
}

# Volume capacity: the registry values that place its files in /usr/qvserver/etc, and a mount
# table with the file status stand-in giving two volumes.
simserver_prepare_volumes() {
  cp -R "$here/sim/fixtures/volumes/." "$root/"
  "$build/platform/qvregtool/qvregtool" -s 'SOFTWARE\Quorvane\Trivoke=Globalpath' string /usr/qvserver/etc
  "$build/platform/qvregtool/qvregtool" -s 'SOFTWARE\Quorvane\Trivoke\Qvscdll\CurrentVersion=Cfgfile' \
    string qvvolcap.cfg
}

# Network interfaces: the machine's own when it has eth* names, else a fixture.
simserver_prepare_network() {
  mkdir -p "$root/proc/net" "$root/etc/rc.d/init.d" "$root/var/qvsim"
  if grep -q '^ *eth[^:]*:' /proc/net/dev; then
    ln -s /proc/net/dev "$root/proc/net/dev"
  else
    printf '%s\n' 'Inter-|   Receive' ' face |bytes packets errs' \
      '  eth0: 81234 120 0 0 0 0 0 0 40960 98 0 0 0 0 0 0' \
      '  eth1: 5120 12 3 0 0 0 0 0 2048 9 1 0 0 0 0 0' >"$root/proc/net/dev"
    printf '%s\n' 'eth0 hwaddr=00:60:b0:0a:1b:2c base=0x1000 irq=10 mem=0xd0000 flags=0x1143' \
      'eth1 hwaddr=00:60:b0:0a:1b:2d base=0x2000 irq=11 flags=0x1043' >"$root/var/qvsim/netif"
  fi
  : >"$root/etc/rc.d/init.d/qvlanalertd"   # the NIC parameter segment's key comes from this file
}

# The interfaces above and the network trap daemon that keeps the NIC parameter segment.
simserver_start_network() {
  simserver_prepare_network
  QV_FOREGROUND=1 "$build/network/qvlanalertd/qvlanalertd" &
  simserver_pids+=($!)
  sleep 0.5
}

# A private snmpd on a free port of 127.0.0.1 with one pass line per "SUBTREE PROGRAM" argument.
simserver_start_snmpd() {
  snmpd_port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  local conf=$root/snmpd/snmpd.conf line
  echo "rwcommunity public 127.0.0.1" >"$conf"
  for line in "$@"; do echo "pass $line" >>"$conf"; done
  # snmpd's own system group would answer before the compatibility agent's pass line.
  SNMP_PERSISTENT_DIR=$root/snmpd/persist SNMPCONFPATH=$root/snmpd \
    /usr/sbin/snmpd -f -Lo -C -I -system_mib,sysORTable -c "$conf" -p "$root/snmpd/snmpd.pid" "udp:127.0.0.1:$snmpd_port" \
    >"$root/snmpd/snmpd.log" 2>&1 &
  snmpd_pid=$!
  for _ in $(seq 50); do
    snmp_client snmpget -t 0.3 -r 0 "udp:127.0.0.1:$snmpd_port" .1.3.6.1.6.3.10.2.1.3.0 >/dev/null 2>&1 && break
    sleep 0.1
  done
  snmp_client snmpget -t 1 -r 0 "udp:127.0.0.1:$snmpd_port" .1.3.6.1.6.3.10.2.1.3.0 >/dev/null ||
    { echo "snmpd did not answer:"; cat "$root/snmpd/snmpd.log"; return 1; }
}

# The snmpwalk operands that walk an agent's subtrees in one run: its one subtree, or, for an
# agent on several consecutive sibling branches, their parent up to the branch after the last.
agent_walk_operands() {
  if [ $# = 1 ]; then echo "$1"; return; fi
  local first=$1 last=${!#}
  echo "-CE ${last%.*}.$((${last##*.} + 1)) ${first%.*}"
}

snmp_client() {
  local tool=$1; shift
  SNMPCONFPATH=$root/snmpd SNMP_PERSISTENT_DIR=$root/snmpd/persist \
    "/usr/bin/$tool" -v2c -c public -On "$@"
}
