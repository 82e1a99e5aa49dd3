#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that what a user of
# the installed tree gets agrees with the program: the installed xrdcalc, a
# C++ program built with find_package(xrdcalc), one built with pkg-config,
# and python3 -c "import xrdcalc" all compute Ga7In3As 004 as the recorded
# output.dat. Usage: install_test.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
example=$source/examples/ga7in3as-004
expected=$(tr -d '\r' <"$example/output.dat")
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

mkdir "$scratch/run" && cp "$example/input.dat" "$scratch/run/"
(cd "$scratch/run" && "$prefix/bin/xrdcalc")
[[ $(tr -d '\r' <"$scratch/run/output.dat") == "$expected" ]] || fail "installed program"

cmake -S "$source/examples/library" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
[[ $("$scratch/consumer/ga7in3as" "$example/input.dat") == "$expected" ]] || fail "find_package consumer"

if command -v pkg-config >/dev/null; then
  flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs xrdcalc)
  # shellcheck disable=SC2086
  c++ "$source/examples/library/main.cpp" $flags -Wl,-rpath,"$prefix/lib" -o "$scratch/pkgconfig-consumer"
  [[ $("$scratch/pkgconfig-consumer" "$example/input.dat") == "$expected" ]] || fail "pkg-config consumer"
fi

# A moved tree finds its data beside the library: a structure that only the
# moved Base/ holds computes.
mv "$prefix" "$scratch/moved"
cp "$scratch/moved/lib/xrdcalc/Base/GaAs.stf" "$scratch/moved/lib/xrdcalc/Base/GaAsMoved.stf"
sed 's/^Ga7In3As$/GaAsMoved/' "$example/input.dat" >"$scratch/moved.dat"
sed 's/^Ga7In3As$/GaAs/' "$example/input.dat" >"$scratch/gaas.dat"
moved_output=$(LD_LIBRARY_PATH="$scratch/moved/lib" "$scratch/pkgconfig-consumer" "$scratch/moved.dat") ||
  fail "moved tree"
[[ $moved_output == $(LD_LIBRARY_PATH="$scratch/moved/lib" "$scratch/pkgconfig-consumer" "$scratch/gaas.dat") ]] ||
  fail "moved tree: another result"
mv "$scratch/moved" "$prefix"

if [[ -d $prefix/lib/python3/dist-packages/xrdcalc ]]; then
  python_values=$(PYTHONPATH="$prefix/lib/python3/dist-packages" /usr/bin/python3 -c "
import xrdcalc
r = xrdcalc.Calculator().compute('Ga7In3As', 1.5405929, (0, 0, 4))
print(' '.join('%g' % v for v in r.values()))")
  program_values=$(awk 'NF { printf "%s%g", (n++ ? " " : ""), $1 }' <<<"$expected")
  [[ $python_values == "$program_values" ]] || fail "python: $python_values against $program_values"
fi
echo "installed program, find_package, pkg-config and Python consumers agree"
