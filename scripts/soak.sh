#!/usr/bin/env bash
# Soak: PASSES poll passes (default 100000) run back to back by tools/soak/zelsnmp_soak, without
# the one-second waits, against four simulated devices on port 161 in a network namespace of the
# script's own: one honest, two that give half of their answers a random fault (silent, late,
# twice, garbage or an empty datagram first, wrong ID, error status), and one address where
# nothing listens. Memory (VmRSS, VmHWM) and open descriptors are sampled every 1000 passes
# into build/soak/curve.txt; the end prints the growth after warm-up and the error log's lines
# by kind. Needs root (or unprivileged user namespaces) for the namespace.
#
#   scripts/soak.sh [PASSES]
set -euo pipefail
cd "$(dirname "$0")/.."
passes="${1:-100000}"

if [[ "${ZELSNMP_SOAK_INSIDE:-}" != 1 ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j2 --target zelsnmp_soak agentsim >/dev/null
  if [[ $(id -u) == 0 ]]; then
    exec unshare -n env ZELSNMP_SOAK_INSIDE=1 bash "$0" "$passes"
  fi
  exec unshare -rn env ZELSNMP_SOAK_INSIDE=1 bash "$0" "$passes"
fi

build=build/default
out=build/soak
rm -rf "$out"
mkdir -p "$out/site/tm/SOAK"
ip link set lo up

pids=()
stop_agents() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait || true; }
trap stop_agents EXIT

cat >"$out/device.snmprec" <<'DATA'
1.3.6.1.2.1.1.3.0|67|123456
1.3.6.1.2.1.2.2.1.8.1|2|1
1.3.6.1.2.1.2.2.1.10.1|65|4000000000
1.3.6.1.4.1.7.1|4|21.5
DATA
start_agent() {
  "$build/tools/agentsim/agentsim" --listen "$1" --data "$out/device.snmprec" "${@:2}" \
    >/dev/null 2>>"$out/agents.err" &
  pids+=($!)
}
start_agent 127.0.0.2
start_agent 127.0.0.3 --random-faults
start_agent 127.0.0.4 --random-faults --twice
sleep 0.5

config="$out/soak.ini"
: >"$config"
for host in 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5; do
  n=${host##*.}
  printf '[%s:public]\n#TC%s:1:1=1.3.6.1.2.1.2.2.1.8.1\n#TS%s:1:2=1.3.6.1.2.1.1.3.0\n' \
    "$host" "$n" "$n" >>"$config"
  printf '#TT%s:1:3=1.3.6.1.4.1.7.1\n#TT%s:1:4=1.3.6.1.2.1.2.2.1.10.1\n' "$n" "$n" >>"$config"
done

start=$(date +%s)
ZELSNMP_SITE="$out/site" "$build/tools/soak/zelsnmp_soak" "$config" "$passes" 20 \
  2>/dev/null | tee "$out/curve.txt"
seconds=$(( $(date +%s) - start ))

echo "--- $passes passes in $seconds s"
awk '$2 >= 2000 && !base { base = $4; bp = $2 } { last = $4; lp = $2; fd = $8 }
     END { if (base) printf "VmRSS %d kB at pass %d, %d kB at pass %d: %+.2f %%; %d descriptors\n",
                            base, bp, last, lp, 100 * (last - base) / base, fd }' "$out/curve.txt"
echo "--- error log lines by kind"
if [[ -f "$out/site/log/error.log" ]]; then
  tr '\r' '\n' <"$out/site/log/error.log" | sed '/^$/d' | sed 's/[0-9][0-9.]*/N/g' | sort |
    uniq -c | sort -rn | head -20
fi
