#!/usr/bin/env bash
# Builds zelSNMP and runs every test, with output that fits an 80-column terminal.
#
# Usage: scripts/test.sh [PRESET]
#   default    optimised build with debug info (the default)
#   sanitize   debug build under AddressSanitizer and UndefinedBehaviorSanitizer
#   release    release build
#   windows    32-bit Windows build (the production zelSNMP.exe) with
#              mingw-w64, every test run under Wine
#   windows64  the same for 64-bit Windows
#   -h, --help print this text
#
# On a terminal the build and the tests show their progress on one line,
# naming a test that runs long; elsewhere (a CI log) a line of the build's
# progress every 20 s, a line per tenth of the tests and one per test still
# running after 10 s. At the end come each
# skipped test with its reason and each failed test with its whole output.
# Every test's output is kept in build/PRESET/Testing/Temporary/LastTest.log,
# the build's messages in build/PRESET/build.log.
#
# Exit status: 0 when every test passed or skipped, non-zero when the build or
# a test failed, 2 for an unknown preset. For a Windows preset whose compiler
# or Wine cannot be installed, the tests are reported as skipped and the exit
# status is 77.
set -euo pipefail
set -f  # test names are no patterns
cd "$(dirname "$0")/.."

readonly COLUMNS_SHOWN=79        # one less than the terminal, so that no line wraps
readonly SLOW_TEST_SECONDS=10    # a test running this long is named in a CI log
readonly BUILD_REPORT_SECONDS=20 # a CI log is told the build's progress this often
readonly TEST_TIMEOUT_SECONDS=300

usage() { sed -n 's/^# \{0,1\}//; 4,23p' "$0"; }

preset=default
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  "" | default | sanitize | release | windows | windows64) preset=${1:-default} ;;
  *)
    echo "test: unknown preset or option: $1" >&2
    usage >&2
    exit 2
    ;;
esac
if (($# > 1)); then
  echo "test: one preset only" >&2
  usage >&2
  exit 2
fi

if [[ -t 1 ]]; then terminal=1; else terminal=0; fi
status_shown=0

# Text cut to the columns shown, ending in "…" when cut.
fit() {
  local text=$1
  if ((${#text} > COLUMNS_SHOWN)); then text="${text:0:COLUMNS_SHOWN-1}…"; fi
  printf '%s' "$text"
}
# The one progress line of a terminal, rewritten in place.
show_status() {
  ((terminal)) || return 0
  printf '\r\033[K%s' "$(fit "$1")"
  status_shown=1
}
clear_status() {
  if ((status_shown)); then printf '\r\033[K'; status_shown=0; fi
}
# A line that stays.
say() {
  clear_status
  fit "$*"
  printf '\n'
}

case "$preset" in
  windows | windows64)
    bash scripts/setup.sh windows || true
    if [ "$preset" = windows ]; then
      needed=(i686-w64-mingw32-g++-posix wine) wine_package=wine32:i386
    else
      needed=(x86_64-w64-mingw32-g++-posix wine) wine_package=wine64
    fi
    missing=()
    for program in "${needed[@]}"; do
      command -v "$program" >/dev/null || missing+=("$program")
    done
    dpkg-query -W -f='${Status}' "$wine_package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$wine_package")
    if [ ${#missing[@]} -gt 0 ]; then
      echo "test: SKIPPED: the $preset tests were not run; missing: ${missing[*]}" >&2
      exit 77
    fi
    ;;
  *)
    bash scripts/setup.sh
    ;;
esac

# Builds `target` (everything when empty) of `build_preset`, its progress on the status line
# and its messages in BUILD_DIR/build.log; the whole log when it fails.
build() {
  local build_preset=$1 target=${2:-}
  local build_dir=build/$build_preset
  cmake --preset "$build_preset" >/dev/null
  local log=$build_dir/build.log
  local arguments=(--build --preset "$build_preset" -j "$(nproc)")
  [[ -n $target ]] && arguments+=(--target "$target")
  say "test: building ${target:-everything} ($build_preset preset)"
  local line partial= progress=starting status=0 read_status started=$SECONDS
  local reported=$SECONDS
  # A step of a long compilation may print nothing for minutes: the read times out every
  # second, so that a CI log is still told the progress so far.
  while :; do
    line= read_status=0
    IFS= read -r -t 1 line || read_status=$?
    if ((read_status > 128)); then
      partial+=$line  # a time-out keeps what came of a line so far
    elif [[ -n $partial$line ]] || ((read_status == 0)); then
      line=$partial$line partial=
      printf '%s\n' "$line" >>"$log"
      # Makefiles count in per cent ("[ 45%]"), Ninja in steps ("[12/340]").
      if [[ $line =~ ^\[\ *([0-9]+%|[0-9]+/[0-9]+)\]\ (Building|Linking)\ [A-Za-z+]+\ [a-z]+\ (.*)$ ]]
      then
        progress="${BASH_REMATCH[1]} ${BASH_REMATCH[3]##*/}"
        show_status "build: $progress"
      fi
    fi
    ((read_status == 0 || read_status > 128)) || break  # the output ended
    if ((!terminal && SECONDS - reported >= BUILD_REPORT_SECONDS)); then
      say "test: still building after $((SECONDS - started)) s: $progress"
      reported=$SECONDS
    fi
  done < <(: >"$log"; cmake "${arguments[@]}" 2>&1; echo "build exit status $?")
  clear_status
  status=$(tail -n 1 "$log")
  status=${status##* }
  local warnings
  warnings=$(grep -c 'warning:' "$log" || true)
  if [[ $status != 0 ]]; then
    cat "$log"
    say "test: the build failed (exit status $status); its messages are above and in $log"
    exit 1
  fi
  if ((warnings > 0)); then
    say "test: the build gave $warnings warnings: see $log"
  fi
}

if [ "$preset" = windows ]; then
  # The Wine end-to-end test polls the native agent simulator of the default build.
  build default agentsim
fi
build "$preset"

ctest_arguments=(--preset "$preset" -j "$(nproc)" --timeout "$TEST_TIMEOUT_SECONDS")
case "$preset" in
  windows | windows64)
    # Every test program starts a Wine process; under load Wine's server now and then drops a
    # client, which ends that test with no result of its own. A test is run once more then; one
    # that fails twice fails the run.
    ctest_arguments+=(--repeat until-pass:2)
    ;;
esac

build_dir=build/$preset
test_log=$build_dir/Testing/Temporary/LastTest.log
ctest_output=$build_dir/ctest.log
# Tests are kept by their CTest number: names may hold "$", quotes and other characters that
# an array subscript would expand again.
declare -A names=() started=() slow_named=() final=() failed_once=()
failed_count=0 skipped_count=0 done_count=0 total=0 next_report=0 ctest_status=
started_at=$SECONDS

progress() {
  if ((total == 0)); then
    printf 'test: starting'
  else
    printf 'test: %d/%d, %d failed, %d skipped' "$done_count" "$total" "$failed_count" \
      "$skipped_count"
  fi
}

# Names the longest-running test on the status line, or in a CI log each test that passes
# SLOW_TEST_SECONDS once.
show_running() {
  local number longest= longest_seconds=0 now=$SECONDS
  for number in "${!started[@]}"; do
    local seconds=$((now - started[$number]))
    if ((seconds >= longest_seconds)); then longest=$number longest_seconds=$seconds; fi
    if ((!terminal && seconds >= SLOW_TEST_SECONDS)) && [[ -z ${slow_named[$number]:-} ]]; then
      slow_named[$number]=1
      say "test: still running after $seconds s: ${names[$number]}"
    fi
  done
  local line
  line=$(progress)
  if [[ -n $longest ]] && ((longest_seconds >= 2)); then
    line+="; running ${longest_seconds}s: ${names[$longest]}"
  fi
  show_status "$line"
}

say "test: running the tests ($preset preset)"
: >"$ctest_output"
# Follows CTest's output on standard input until its exit status line.
follow_tests() {
  # Bytes, not characters: a test name may hold bytes that are no UTF-8, which a UTF-8
  # locale's regular expressions do not match. CTest itself runs in the caller's locale.
  local LC_ALL=C
  local partial= line number result kind
  # The name is taken from the start line; in the result line it may hold blanks and dots.
  # A test run once more (until-pass) has a result line without the "N/M" count.
  result_pattern='^ *(([0-9]+)/([0-9]+) )?Test +#([0-9]+): .*[ .](Passed|\*\*\*Skipped|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|\*\*\*Not Run|Not Run)'
  while :; do
    line=
    if IFS= read -r -t 1 line; then
      line=$partial$line partial=
      printf '%s\n' "$line" >>"$ctest_output"
      if [[ $line =~ ^ctest\ exit\ status\ ([0-9]+)$ ]]; then
        ctest_status=${BASH_REMATCH[1]}
        break
      elif [[ $line =~ ^\ *Start\ +([0-9]+):\ (.*)$ ]]; then
        number=${BASH_REMATCH[1]}
        names[$number]=${BASH_REMATCH[2]%%  # GetParam() = *}
        started[$number]=$SECONDS
      elif [[ $line =~ $result_pattern ]]; then
        [[ -n ${BASH_REMATCH[3]} ]] && total=${BASH_REMATCH[3]}
        number=${BASH_REMATCH[4]}
        result=${BASH_REMATCH[5]#\*\*\*}
        unset 'started[$number]'
        if [[ -n ${final[$number]:-} ]]; then
          # Run once more after a failure: it counts once, by its last result.
          [[ -n ${failed_once[$number]:-} ]] && failed_count=$((failed_count - 1))
        else
          done_count=$((done_count + 1))
        fi
        final[$number]=$result
        case $result in
          Passed) ;;
          Skipped) skipped_count=$((skipped_count + 1)) ;;
          *)
            failed_count=$((failed_count + 1))
            failed_once[$number]=1
            kind=" ($result)"
            [[ $result == Failed ]] && kind=
            say "test: FAILED$kind: ${names[$number]}"
            ;;
        esac
        if ((!terminal && done_count >= next_report)); then
          say "$(progress)"
          next_report=$((done_count + (total + 9) / 10))
        fi
      fi
    elif (($? <= 128)); then
      break  # the output ended without an exit status
    else
      partial+=$line  # a time-out keeps what came of a line so far
    fi
    show_running
  done
}

follow_tests < <(ctest "${ctest_arguments[@]}" 2>&1; echo "ctest exit status $?")
clear_status

# The output of test `name` in the test log: its last run's.
test_output() {
  name=$1 LC_ALL=C awk '
    $0 ~ "^[0-9]+/[0-9]+ Test: " {
      # A parameterised test'"'"'s name may be followed by its parameter as a comment.
      test = substr($0, index($0, "Test: ") + 6)
      sub(/  # GetParam\(\) = .*$/, "", test)
      if (test == ENVIRON["name"]) { take = 1; text = ""; next }
    }
    take && $0 == "<end of output>" { take = 0; kept = text; next }
    take && $0 !~ /^(Command|Directory): / && $0 !~ /start time: / && $0 != "Output:" &&
      $0 !~ /^-+$/ { text = text $0 "\n" }
    END { printf "%s", kept }' "$test_log"
}

# Why a skipped test skipped: the text after GoogleTest's "Skipped" line, else its last line.
skip_reason() {
  test_output "$1" | LC_ALL=C awk '
    /: Skipped$/ { take = 1; next }
    /^\[  SKIPPED \]/ { take = 0 }
    take && NF { reason = reason (reason == "" ? "" : " ") $0 }
    NF { last = $0 }
    END { print (reason != "" ? reason : last) }'
}

# A test run twice (until-pass) counts once, by its last result.
skipped=() really_failed=() passed_on_rerun=()
for number in $(printf '%s\n' "${!final[@]}" | sort -n); do
  case ${final[$number]} in
    Passed) [[ -n ${failed_once[$number]:-} ]] && passed_on_rerun+=("${names[$number]}") ;;
    Skipped) skipped+=("$number") ;;
    *) really_failed+=("$number") ;;
  esac
done

if ((${#skipped[@]} > 0)); then
  say ""
  say "Skipped tests (${#skipped[@]}), with their reasons:"
  for number in "${skipped[@]}"; do
    say "  ${names[$number]}"
    say "    $(skip_reason "${names[$number]}")"
  done
fi
if ((${#passed_on_rerun[@]} > 0)); then
  say ""
  say "Passed when run once more (${#passed_on_rerun[@]}):"
  for name in "${passed_on_rerun[@]}"; do say "  $name"; done
fi
for number in "${really_failed[@]}"; do
  say ""
  say "=== FAILED: ${names[$number]}"
  test_output "${names[$number]}"
done

say ""
passed=$((${#final[@]} - ${#skipped[@]} - ${#really_failed[@]}))
summary="test: ${#final[@]} tests in $((SECONDS - started_at)) s: $passed passed"
summary+=", ${#skipped[@]} skipped, ${#really_failed[@]} failed"
if ((${#really_failed[@]} > 0)); then
  say "$summary; output above"
elif [[ ${ctest_status:-1} != 0 ]]; then
  say "$summary; ctest ended with status ${ctest_status:-unknown}: see $ctest_output"
else
  say "$summary"
fi
exit "${ctest_status:-1}"
