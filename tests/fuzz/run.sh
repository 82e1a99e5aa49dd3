#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a scratch copy of its seeds.
# Usage: tests/fuzz/run.sh <directory of fuzz binaries> [seconds per target]
# A crash leaves its input in tests/fuzz/crashes/<target>/ (to be added to
# the replayed inputs once fixed) and makes this script fail.
set -euo pipefail
bin_dir=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in fuzz_input fuzz_formula fuzz_f0_table fuzz_f1f2_table fuzz_structure_file fuzz_debye_waller_table; do
  mkdir -p "$work/$target"
  cp "$here/corpus/$target/"* "$work/$target/"
  if "$bin_dir/$target" "$work/$target" -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 \
      -artifact_prefix="$here/crashes/$target/" > "$work/$target.log" 2>&1; then
    echo "$target: $(grep -E '^Done [0-9]+ runs' "$work/$target.log" | tail -n 1);" \
      "$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$work/$target.log" | tail -n 1)"
  else
    echo "$target: FAILED"; tail -n 40 "$work/$target.log"; status=1
  fi
done
exit $status
