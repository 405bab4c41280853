#!/usr/bin/env bash
# `make run`: Tansy under Wine against the bundled sample feeds (see
# tools/run_demo.py). Argument: the win64 build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec /usr/bin/python3 "$here/run_demo.py" "$@"
