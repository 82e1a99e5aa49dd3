#!/usr/bin/env bash
# The shared library exports its interface and nothing else: every symbol
# that nm -D lists as defined is one of the declarations of include/xrdcalc
# (the calculator, the result, the reading of input.dat and the writing of
# output.dat, the default data directory, photon energy and wavelength, rocking
# curves) or what a caller needs to catch xrd::Error.
# Usage: exports_test.sh <libxrdcalc.so>
set -euo pipefail
interface='^(xrd::(Calculator::|Result::(values|d_spacing|bragg_angle_deg|polarisation_factor)|ParseRunInput|FormatOutput'
interface+='|DefaultDataDirectory|PhotonEnergyOf|WavelengthOf|ComputeRockingCurve)'
interface+='|(typeinfo|typeinfo name|vtable) for xrd::Error$)'
symbols=$(nm -DC --defined-only "$1" | cut -d' ' -f3-)
[[ -n $symbols ]] || { echo "FAILED: $1 exports nothing" >&2; exit 1; }
others=$(grep -Ev "$interface" <<<"$symbols" || true)
if [[ -n $others ]]; then
  echo "FAILED: $1 exports more than its interface:" >&2
  echo "$others" >&2
  exit 1
fi
echo "$(wc -l <<<"$symbols") symbols, all of the interface"
