#!/usr/bin/env bash
# Configuring without pybind11 succeeds and says that the Python module is
# left out; asking for the module with -DXRDCALC_PYTHON=ON then fails.
# Usage: configure_test.sh <source dir>
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
hidden=(-DCMAKE_DISABLE_FIND_PACKAGE_pybind11=ON -DXRDCALC_TESTS=OFF)
log=$(cmake -S "$source" -B "$scratch/auto" "${hidden[@]}" 2>&1) || fail "configure without pybind11: $log"
grep -q "The Python module is not built: pybind11 was not found" <<<"$log" || fail "no word of the Python module: $log"
if cmake -S "$source" -B "$scratch/on" "${hidden[@]}" -DXRDCALC_PYTHON=ON >"$scratch/on.log" 2>&1; then
  fail "XRDCALC_PYTHON=ON without pybind11 configured"
fi
grep -q "XRDCALC_PYTHON is ON but pybind11 was not found" "$scratch/on.log" || fail "$(cat "$scratch/on.log")"
echo "without pybind11: AUTO leaves the module out with a message, ON stops"
