#!/usr/bin/env bash
# End-to-end runs of the Windows build under Wine: zelSNMP.exe feeds a stand-in site from the
# native agent simulator, in a network namespace of this test's own, and is stopped with SIGINT
# (Wine turns it into the Ctrl+C console event; SIGTERM would end the process without it).
#
# Three runs, each with a program folder and a site of its own, show what a site must ship:
#   alone-v2c  zelSNMP.exe alone in its folder, v2c agents only: it polls them;
#   alone-v3   the same folder with a v3 agent configured: the error log names the missing
#              DLLs once, the v3 agent's points are flagged, the v2c agents are polled;
#   with-dlls  zelSNMP.exe with libgcrypt-20.dll and libgpg-error-0.dll beside it (taken from
#              beside the build's program): the v3 agent is read too (needs snmpd).
#   traps      zelSNMP.exe with /t10162: after a pass, the native snmptrap sends a v2c trap and
#              snmpinform a v2c inform from 127.0.0.2, the answering agent's address; where
#              snmpd runs, the DLLs are beside the program and snmpinform also sends a v3
#              inform (SHA-256, AES) from 127.0.0.4, the v3 agent's address, discovering the
#              task's own engine; every value reaches its point, snmpinform gets its Responses,
#              and the engine's boots file is written;
#   port-taken zelSNMP.exe alone with /t10163 while a native program holds that port: the error
#              log names the port and the reason once, and the agents are polled all the same.
# Given zelsnmp-check.exe, the test also runs it alone in a folder on the v3 configuration: it
# must name the missing DLLs too.
#
# The agents are native Linux programs (Wine binds every 127.0.0.x socket to 0.0.0.0, so they
# cannot run under it): one answering on 127.0.0.2:161, one silent on 127.0.0.3:161, and, where
# net-snmp's snmpd is installed, an SNMPv3 agent on 127.0.0.4:1161 that the task reads with
# authentication (SHA-256) and privacy (AES) through the section's options. Wine's
# server creates the task's sockets, so it must run inside the namespace too: the run has a Wine
# prefix of its own, whose server is started there and stopped before the namespace goes.
# The site, the TM server and the configuration file have Cyrillic names: the command line
# reaches the task in Windows-1251, the site's path through the environment, and the stand-in
# must find the folders and files of those characters.
#
# Usage: scripts/wine_end_to_end_test.sh ZELSNMP_EXE AGENTSIM WORK_DIR [CHECK_EXE]
#   ZELSNMP_EXE  the Windows build's zelSNMP.exe, the two DLLs of SNMPv3 beside it
#   AGENTSIM     a native build's agentsim (tools/agentsim)
#   WORK_DIR     made anew for the test: per run a program folder, site, console output;
#                the Wine prefix (kept) and the agents' output
#   CHECK_EXE    the Windows build's zelsnmp-check.exe
# Exit status 0 when every check passed, 77 when Wine or a network namespace is not available
# here (the test is then skipped), 1 on any failed check.
set -uo pipefail

readonly EXIT_SKIP=77
readonly TM_SERVER=Север
readonly CONFIG_NAME=Опрос.cfg
readonly SITE_NAME=Сайт
readonly LISTEN_TIMEOUT_S=10
# The first run makes the Wine prefix (tens of seconds); a pass then costs the silent agent's
# 5 s time-out.
readonly PASS_TIMEOUT_S=240
# A pass under way is finished before the task notices the stop event.
readonly STOP_TIMEOUT_S=30

REPO_DIR=$(cd "$(dirname "$0")/.." && pwd)
readonly REPO_DIR
readonly SCRIPT=$REPO_DIR/scripts/wine_end_to_end_test.sh
readonly DATA_FILE=$REPO_DIR/scripts/demo/switch.snmprec
readonly SNMPD=/usr/sbin/snmpd
# The v3 user of snmpd and of the task's section; the passphrases must appear in no output.
readonly V3_USER=wineops
readonly V3_AUTH_PASSPHRASE='wine auth passphrase 1'
readonly V3_PRIV_PASSPHRASE='wine priv passphrase 2'
readonly V3_SYS_SERVICES=76
readonly CRYPTO_DLLS=(libgcrypt-20.dll libgpg-error-0.dll)

say() { echo "wine-e2e: $*"; }

# ---- Inside the namespace: loopback, agents, Wine's server and the task. --------------------

started_pids=()

is_running() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z && $state != X ]]
}

# Waits up to $2 seconds for child $1 to end; true when it has ended, its exit status then in
# ended_status.
ended_status=
wait_for_end() {
  local pid=$1 deadline=$((SECONDS + $2))
  while is_running "$pid"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
  wait "$pid" 2>/dev/null
  ended_status=$?
  return 0
}

stop_started() {
  local pid
  for pid in "${started_pids[@]}"; do
    if is_running "$pid"; then
      kill -INT "$pid" 2>/dev/null
      wait_for_end "$pid" 5 || { kill -KILL "$pid" 2>/dev/null; wait_for_end "$pid" 5; }
    fi
  done
  # The prefix's own server, started in this namespace by the task's first Wine process.
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
  WINEPREFIX=$WINEPREFIX wineserver -w 2>/dev/null
}

start_agent() {
  local address=$1 log=$2
  shift 2
  "$AGENTSIM" --listen "$address:161" --data "$DATA_FILE" "$@" </dev/null >"$log" 2>&1 &
  started_pids+=("$!")
  local pid=$! deadline=$((SECONDS + LISTEN_TIMEOUT_S))
  until grep -q "agentsim listening on" "$log"; do
    if ! is_running "$pid" || ((SECONDS >= deadline)); then
      echo "wine-e2e: the agent on $address did not start: $(cat "$log")" >&2
      return 1
    fi
    sleep 0.1
  done
}

# Runs the program of run $1 against its site until one whole pass is done, then stops it.
run_task() {
  local run=$1 run_dir=$WORK_DIR/$1
  # The site as a Windows path on Wine's drive Z: (the whole Unix file system).
  local site_windows=Z:${run_dir//\//\\}\\$SITE_NAME
  local switches=()
  [[ -f $run_dir/switches ]] && read -ra switches <"$run_dir/switches"
  say "$run: starting wine zelSNMP.exe $TM_SERVER . /f$CONFIG_NAME ${switches[*]}"
  (cd "$run_dir/run" && ZELSNMP_SITE=$site_windows ZELSNMP_DEBUG=0 \
     exec wine "$run_dir/program/zelSNMP.exe" "$TM_SERVER" . "/f$CONFIG_NAME" "${switches[@]}") \
    </dev/null >"$run_dir/console.log" 2>&1 &
  local task=$!
  started_pids+=("$task")

  # One whole pass: the silent agent's analog point is flagged last.
  local journal=$run_dir/$SITE_NAME/tm/$TM_SERVER/journal.tsv
  local deadline=$((SECONDS + PASS_TIMEOUT_S))
  until awk -F'\t' '$2 == "slSetAnalogFlags" && $3 == 2 { found = 1 } END { exit !found }' \
          "$journal" 2>/dev/null; do
    if ! is_running "$task"; then
      echo "wine-e2e: $run: zelSNMP.exe ended before a whole pass" >&2
      return 1
    fi
    if ((SECONDS >= deadline)); then
      echo "wine-e2e: $run: no whole pass within ${PASS_TIMEOUT_S} s" >&2
      return 1
    fi
    sleep 0.5
  done
  if [[ $run == traps ]]; then send_notifications "$run_dir" "$journal" || return 1; fi
  say "$run: one pass done; stopping zelSNMP.exe with SIGINT"
  kill -INT "$task"
  if ! wait_for_end "$task" "$STOP_TIMEOUT_S"; then
    echo "wine-e2e: $run: zelSNMP.exe did not stop within ${STOP_TIMEOUT_S} s of SIGINT" >&2
    return 1
  fi
  echo "$ended_status" >"$run_dir/task-exit-status"
}

# The native net-snmp tools, keeping to a folder of their own, send from 127.0.0.2 to the task.
net_snmp_tool() {
  HOME=$WORK_DIR/netsnmp SNMPCONFPATH=$WORK_DIR/netsnmp SNMP_PERSISTENT_DIR=$WORK_DIR/netsnmp \
    MIBS= "$@" </dev/null >>"$WORK_DIR/netsnmp/tools.log" 2>&1
}

# Until the journal $1 holds a write of value $2 into the analog point $3 (1:1:1 by default).
wait_for_analog() {
  local deadline=$((SECONDS + LISTEN_TIMEOUT_S))
  until awk -F'\t' -v value="$2" -v point="${3:-1:1:1}" '$2 == "slSetAnalogFloatCodeUT" &&
          $3 ":" $4 ":" $5 == point && $6 == value { found = 1 } END { exit !found }' "$1"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# A v2c trap and a v2c inform to the task on port 10162, each writing its value into 1:1:1.
send_notifications() {
  local run_dir=$1 journal=$2 oid=1.3.6.1.2.1.2.2.1.5.3
  mkdir -p "$WORK_DIR/netsnmp"
  net_snmp_tool snmptrap --clientaddr=127.0.0.2 -v2c -c public 127.0.0.1:10162 '' \
    1.3.6.1.6.3.1.1.5.3 "$oid" u 777
  wait_for_analog "$journal" 777 || { echo "wine-e2e: the trap's value was not written" >&2; return 1; }
  net_snmp_tool snmpinform --clientaddr=127.0.0.2 -r 3 -t 2 -v2c -c public 127.0.0.1:10162 '' \
    1.3.6.1.6.3.1.1.5.3 "$oid" u 778
  echo "$?" >"$run_dir/snmpinform-exit-status"
  wait_for_analog "$journal" 778 || { echo "wine-e2e: the inform's value was not written" >&2; return 1; }
  [[ -d $WORK_DIR/snmpd ]] || return 0
  # SNMPv3: snmpinform discovers the task's engine and its clock, then sends at authPriv.
  net_snmp_tool snmpinform --clientaddr=127.0.0.4 -r 3 -t 2 -v3 -u "$V3_USER" -l authPriv \
    -a SHA-256 -A "$V3_AUTH_PASSPHRASE" -x AES -X "$V3_PRIV_PASSPHRASE" 127.0.0.1:10162 '' \
    1.3.6.1.6.3.1.1.5.3 1.3.6.1.2.1.1.7.0 u 779
  echo "$?" >"$run_dir/snmpinform-v3-exit-status"
  wait_for_analog "$journal" 779 3:1:1 ||
    { echo "wine-e2e: the v3 inform's value was not written" >&2; return 1; }
}

run_inside() {
  AGENTSIM=$1 WORK_DIR=$2
  shift 2
  export WINEPREFIX=$WORK_DIR/wine-prefix WINEDEBUG=-all LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  trap stop_started EXIT
  ip link set lo up || { echo "wine-e2e: cannot bring loopback up" >&2; return 1; }
  start_agent 127.0.0.2 "$WORK_DIR/agent-answering.log" || return 1
  start_agent 127.0.0.3 "$WORK_DIR/agent-silent.log" --silent || return 1
  # A native program holding the port the run port-taken asks for.
  "$AGENTSIM" --listen 0.0.0.0:10163 --data "$DATA_FILE" </dev/null \
    >"$WORK_DIR/agent-port-holder.log" 2>&1 &
  started_pids+=("$!")
  if [[ -d $WORK_DIR/snmpd ]]; then
    # Its configuration, state and home its own: nothing of /var/lib/snmp or ~/.snmp.
    HOME=$WORK_DIR/snmpd SNMPCONFPATH=$WORK_DIR/snmpd:$WORK_DIR/snmpd/persist \
      SNMP_PERSISTENT_DIR=$WORK_DIR/snmpd/persist MIBS= \
      "$SNMPD" -f -Lo udp:127.0.0.4:1161 </dev/null >"$WORK_DIR/snmpd.log" 2>&1 &
    started_pids+=("$!")
    # It logs its version once its port is open.
    local snmpd=$! deadline=$((SECONDS + LISTEN_TIMEOUT_S))
    until grep -q "NET-SNMP version" "$WORK_DIR/snmpd.log"; do
      if ! is_running "$snmpd" || ((SECONDS >= deadline)); then
        echo "wine-e2e: snmpd did not start: $(cat "$WORK_DIR/snmpd.log")" >&2
        return 1
      fi
      sleep 0.1
    done
  fi
  local run status=0
  for run in "$@"; do
    run_task "$run" || status=1
  done
  if [[ -f $WORK_DIR/check/zelsnmp-check.exe ]]; then
    local config=$WORK_DIR/alone-v3/$SITE_NAME/config/TM_SERVER/$TM_SERVER/$CONFIG_NAME
    wine "$WORK_DIR/check/zelsnmp-check.exe" --wide "Z:${config//\//\\}" </dev/null \
      >"$WORK_DIR/check/report.txt" 2>&1
  fi
  return "$status"
}

if [[ ${1:-} == --inside ]]; then
  shift
  run_inside "$@"
  exit $?
fi

# ---- Outside: preconditions, the site, the run, the checks. ---------------------------------

if (($# != 3 && $# != 4)); then
  echo "usage: wine_end_to_end_test.sh ZELSNMP_EXE AGENTSIM WORK_DIR [CHECK_EXE]" >&2
  exit 1
fi
ZELSNMP_EXE=$(realpath "$1") AGENTSIM=$(realpath "$2") WORK_DIR=$(realpath -m "$3")
CHECK_EXE=${4:+$(realpath "$4")}
readonly ZELSNMP_EXE AGENTSIM WORK_DIR CHECK_EXE

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "skipped: Wine is not installed"
  exit "$EXIT_SKIP"
fi
if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then
  namespace_command=(unshare -n)
elif unshare -rn true 2>/dev/null; then
  namespace_command=(unshare -rn)
else
  echo "skipped: no network namespace can be made here (unshare -n / unshare -rn)"
  exit "$EXIT_SKIP"
fi
[[ -f $ZELSNMP_EXE ]] || { echo "wine-e2e: no program $ZELSNMP_EXE" >&2; exit 1; }
if [[ ! -x $AGENTSIM ]]; then
  echo "wine-e2e: no native agentsim at $AGENTSIM; build it first:" \
       "cmake --preset default && cmake --build --preset default --target agentsim" >&2
  exit 1
fi

for dll in "${CRYPTO_DLLS[@]}"; do
  [[ -f $(dirname "$ZELSNMP_EXE")/$dll ]] ||
    { echo "wine-e2e: no $dll beside $ZELSNMP_EXE" >&2; exit 1; }
done

# The Wine prefix is kept between tests (making it is the slow part); everything else is new.
mkdir -p "$WORK_DIR"
find "$WORK_DIR" -mindepth 1 -maxdepth 1 ! -name wine-prefix -exec rm -rf {} +

if [[ -x $SNMPD ]]; then
  mkdir -p "$WORK_DIR/snmpd/persist"
  cat >"$WORK_DIR/snmpd/snmpd.conf" <<EOF
sysServices $V3_SYS_SERVICES
createUser $V3_USER SHA-256 "$V3_AUTH_PASSPHRASE" AES "$V3_PRIV_PASSPHRASE"
rouser $V3_USER priv
EOF
  runs=(alone-v2c alone-v3 with-dlls)
else
  say "snmpd is not installed ($SNMPD): the run that reads the SNMPv3 agent is left out"
  runs=(alone-v2c alone-v3)
fi
if command -v snmptrap >/dev/null && command -v snmpinform >/dev/null; then
  runs+=(traps)
else
  say "net-snmp's snmptrap/snmpinform are not installed: the run with notifications is left out"
fi
runs+=(port-taken)

# Run $1's program folder (zelSNMP.exe, with the DLLs when $2 is "with-dlls"), working
# directory and site with its configuration (the v3 agent's section when $3 is "v3").
make_run() {
  local run_dir=$WORK_DIR/$1
  local site=$run_dir/$SITE_NAME
  mkdir -p "$run_dir/program" "$run_dir/run" "$site/tm/$TM_SERVER" \
           "$site/config/TM_SERVER/$TM_SERVER"
  cp "$ZELSNMP_EXE" "$run_dir/program/"
  if [[ $2 == with-dlls ]]; then
    for dll in "${CRYPTO_DLLS[@]}"; do
      cp "$(dirname "$ZELSNMP_EXE")/$dll" "$run_dir/program/"
    done
  fi
  local config_file=$site/config/TM_SERVER/$TM_SERVER/$CONFIG_NAME
  cat >"$config_file" <<'EOF'
; answering switch: status, uptime and an analog value past 2^31
[127.0.0.2:public]
#TC1:1:1=1.3.6.1.2.1.2.2.1.8.1
#TC1:1:2=1.3.6.1.2.1.2.2.1.8.2
#TS1:1:10=1.3.6.1.2.1.1.3.0
#TT1:1:1=1.3.6.1.2.1.2.2.1.5.3

EOF
  if [[ $3 == v3 ]]; then
    cat >>"$config_file" <<EOF
; SNMPv3 agent (snmpd) on a port of its own, read with SHA-256 and AES
[127.0.0.4]
@port = 1161
@version = 3
@user = $V3_USER
@auth = SHA-256:$V3_AUTH_PASSPHRASE
@priv = AES:$V3_PRIV_PASSPHRASE
#TS3:1:10=1.3.6.1.2.1.1.7.0
#TT3:1:1=1.3.6.1.2.1.1.7.0

EOF
  fi
  cat >>"$config_file" <<'EOF'
; silent device
[127.0.0.3]
#TC2:1:1=1.3.6.1.2.1.2.2.1.8.1
#TS2:1:10=1.3.6.1.2.1.1.3.0
#TT2:1:1=1.3.6.1.2.1.2.2.1.5.3
EOF
}
make_run alone-v2c alone v2c
make_run alone-v3 alone v3
make_run with-dlls with-dlls v3
if [[ -d $WORK_DIR/snmpd ]]; then
  make_run traps with-dlls v3
else
  make_run traps alone v2c
fi
echo /t10162 >"$WORK_DIR/traps/switches"
make_run port-taken alone v2c
echo /t10163 >"$WORK_DIR/port-taken/switches"
if [[ -n $CHECK_EXE ]]; then
  mkdir -p "$WORK_DIR/check"
  cp "$CHECK_EXE" "$WORK_DIR/check/"
fi

"${namespace_command[@]}" bash "$SCRIPT" --inside "$AGENTSIM" "$WORK_DIR" "${runs[@]}"
run_status=$?

failures=0
run=
check() {
  local description=$1
  shift
  if "$@"; then
    echo "ok: $run: $description"
  else
    echo "FAILED: $run: $description" >&2
    failures=$((failures + 1))
  fi
}

# The site of the run being checked.
SITE=
# A journal line of operation $1 on point $2 ("channel:rtu:point") with value $3.
journal_has() {
  local d='[0-9]'
  local stamp="^$d$d$d$d-$d$d-$d${d}T$d$d:$d$d:$d$d[.]$d$d$d\$"
  awk -F'\t' -v stamp="$stamp" -v op="$1" -v point="$2" -v value="$3" '
    $1 ~ stamp &&
    $2 == op && $3 ":" $4 ":" $5 == point && $6 == value && NF == 6 { found = 1 }
    END { exit !found }' "$SITE/tm/$TM_SERVER/journal.tsv"
}
journal_lacks_point() {
  awk -F'\t' -v point="$1" '$3 ":" $4 ":" $5 == point { found = 1 } END { exit found }' \
    "$SITE/tm/$TM_SERVER/journal.tsv"
}
log_has() { grep -qF -- "$2" "$SITE/log/$1.log"; }
# The error log holds exactly the text $1 (its line end aside).
error_log_is() { [[ $(tr -d '\r' 2>/dev/null <"$SITE/log/error.log") == "$1" ]]; }

# What every run shows: the v2c agents polled, an orderly start and stop, no passphrase.
check_v2c_run() {
  check "the run in the namespace succeeded" test "$run_status" -eq 0
  check "status point: ifOperStatus up 1 written as 0" journal_has slSetStatus 1:1:1 0
  check "status point: ifOperStatus down 2 written as 1" journal_has slSetStatus 1:1:2 1
  check "status point: TimeTicks as they are" journal_has slSetStatus 1:1:10 123456789
  check "analog point: Gauge32 4000000000" journal_has slSetAnalogFloatCodeUT 1:1:1 4e+09
  check "silent agent: #TC flagged 0x0001" journal_has slSetStatusFlags 2:1:1 0x0001
  check "silent agent: #TT flagged 0x0001" journal_has slSetAnalogFlags 2:1:1 0x0001
  check "silent agent: #TS untouched" journal_lacks_point 2:1:10
  check "registered with the process monitor" log_has pmon " register pid="
  check "the start event was signalled" log_has pmon " started pid="
  check "message: task started" log_has message "Задача запущена"
  check "message: task stopped (orderly stop)" log_has message "Задача остановлена"
  check "trace state 2 at the end" log_has trace " state 2"
  check "the process ended with exit code 0" grep -qx 0 "$WORK_DIR/$run/task-exit-status"
  check "the local configuration copy was deleted" \
    test -z "$(find "$WORK_DIR/$run/run" -name 'zelSNMP_*' ! -name '*.boots' -print -quit)"
  # The configuration and snmpd's own files hold the passphrases; nothing the task wrote may.
  check "no v3 passphrase in the task's logs, journal or console" \
    test -z "$(grep -rlF -e "$V3_AUTH_PASSPHRASE" -e "$V3_PRIV_PASSPHRASE" "$SITE/log" \
                 "$SITE/tm" "$WORK_DIR/$run/console.log" "$WORK_DIR/$run/run" 2>/dev/null)"
}

readonly MISSING_DLLS_LINE="Агенты SNMPv3 не опрашиваются: нет файлов libgcrypt-20.dll, \
libgpg-error-0.dll рядом с программой"
for run in "${runs[@]}"; do
  SITE=$WORK_DIR/$run/$SITE_NAME
  check_v2c_run
  case $run in
    alone-v2c)
      check "no error logged" error_log_is ""
      ;;
    alone-v3)
      check "the missing DLLs named once, nothing else logged" error_log_is "$MISSING_DLLS_LINE"
      check "v3 agent: #TT flagged 0x0001" journal_has slSetAnalogFlags 3:1:1 0x0001
      check "v3 agent: #TS untouched" journal_lacks_point 3:1:10
      ;;
    traps)
      check "no error logged" error_log_is ""
      check "listening said in the message log" log_has message "принимаются на порту UDP 10162"
      check "the trap's value written" journal_has slSetAnalogFloatCodeUT 1:1:1 777
      check "the inform's value written" journal_has slSetAnalogFloatCodeUT 1:1:1 778
      check "snmpinform got its Response (exit 0)" \
        grep -qx 0 "$WORK_DIR/$run/snmpinform-exit-status"
      check "the trace names the trap" log_has debug "Уведомление SNMPv2-Trap от 127.0.0.2:public"
      if [[ -d $WORK_DIR/snmpd ]]; then
        check "the v3 inform's value written" journal_has slSetAnalogFloatCodeUT 3:1:1 779
        check "snmpinform v3 got its Response (exit 0)" \
          grep -qx 0 "$WORK_DIR/$run/snmpinform-v3-exit-status"
        check "the trace names the v3 inform" log_has debug "Уведомление InformRequest"
        check "the engine's boots file holds 1" \
          test "$(tr -d '\r' <"$WORK_DIR/$run/run/zelSNMP__D1_E5_E2_E5_F0.boots")" = 1
        check "the engine ID said in the message log" log_has message \
          "Inform SNMPv3 принимаются машиной задачи: engine ID 8000000005"
      fi
      ;;
    port-taken)
      check "the taken port named once with its reason" error_log_is \
        "Уведомления не принимаются: порт UDP 10163 (IPv4) не открыт, ошибка 10048 $(
          )Address already in use; опрос идёт без уведомлений"
      ;;
    with-dlls)
      check "no error logged" error_log_is ""
      check "v3 agent: sysServices read with SHA-256 and AES" \
        journal_has slSetStatus 3:1:10 "$V3_SYS_SERVICES"
      check "v3 agent: the same value into an analog point" \
        journal_has slSetAnalogFloatCodeUT 3:1:1 "$V3_SYS_SERVICES"
      ;;
  esac
done

if [[ -n $CHECK_EXE ]]; then
  run=zelsnmp-check
  check "the checker alone names the missing DLLs" grep -aqF \
    "SNMPv3 cannot be used here: libgcrypt-20.dll, libgpg-error-0.dll are not beside the program" \
    "$WORK_DIR/check/report.txt"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  [[ -f $WORK_DIR/check/report.txt ]] && cat "$WORK_DIR/check/report.txt" >&2
  for run in "${runs[@]}"; do
    echo "=== $run: the task's console:" >&2
    cat "$WORK_DIR/$run/console.log" >&2
    for log in "$WORK_DIR/$run/$SITE_NAME"/log/*.log; do
      echo "--- $log" >&2; cat "$log" >&2; echo >&2
    done
  done
  exit 1
fi
echo "all checks passed"
