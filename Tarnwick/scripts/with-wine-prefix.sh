#!/usr/bin/env bash
# Runs a command in a throwaway Wine prefix on a private display, then removes both.
# Usage: with-wine-prefix.sh COMMAND [ARGUMENT...]
set -euo pipefail
. "$(dirname "$0")/lib/wine.sh"

root=$(mktemp -d /tmp/tarnwick-wine.XXXXXX)
trap 'end_wine; rm -rf "$root"' EXIT
start_private_display
make_wine_prefix "$root"
"$@"
