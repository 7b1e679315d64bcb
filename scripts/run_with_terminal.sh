#!/usr/bin/env bash
# Runs a command under a pseudo-terminal (util-linux script), so that a Windows program run by
# Wine gets a console even in CI. Usage: scripts/run_with_terminal.sh COMMAND [ARGUMENT...]
# The exit status is the command's.
#
# The terminal's input is an open, silent FIFO: when its input ends, script types the
# end-of-file character into the terminal, which Wine's console would see as a key press.
set -euo pipefail
command_line=$(printf '%q ' "$@")
fifo=$(mktemp -u)
mkfifo "$fifo"
exec 3<>"$fifo"
rm -f "$fifo"
exec script -qec "$command_line" /dev/null <&3
