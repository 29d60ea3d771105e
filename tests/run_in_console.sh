#!/usr/bin/env bash
# Runs a Windows program under wine with a console: wine attaches one only
# when stdin is a terminal, so the program runs under a pseudo-terminal
# (script), and its output is piped out so that wine's console does not
# redraw it. The program's exit status is kept. script runs its command
# with $SHELL, which may be unset or dash on a CI machine, so bash is named.
#   run_in_console.sh WINE PROGRAM [ARGS...]
set -euo pipefail
command=$(printf '%q ' "$@")
SHELL=$(command -v bash) exec script -qec "set -o pipefail; $command 2>&1 | tr -d '\r'" /dev/null </dev/null
