#!/usr/bin/env bash
# The installed tree, as the README's Install section describes it:
# - installed into a scratch prefix, the program, a C++ program built with
#   find_package(xrdcalc), one built with pkg-config, and the Python package
#   on the documented PYTHONPATH all compute Ga7In3As 004 as the recorded
#   output.dat, and a moved tree finds its data beside the library;
# - staged (DESTDIR) for the prefixes /usr and /usr/local, the Python
#   package lands where the README's table says, in a directory that the
#   system's Python searches without PYTHONPATH, and finds its staged data.
# Usage: install_test.sh <build dir> <source dir> <1 if the Python module is built, else 0>
set -euo pipefail
build=$1
source=$2
python_built=$3
python=/usr/bin/python3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
example=$source/examples/ga7in3as-004
expected=$(tr -d '\r' <"$example/output.dat")
fail() { echo "FAILED: $*" >&2; exit 1; }
command -v pkg-config >/dev/null || fail "pkg-config is needed (Debian package pkg-config)"

# The directory that holds the Python package, as the README's table gives
# it for a prefix ("/usr", "/usr/local" or any other, DIR).
readme_python_dir() {
  local row
  case $1 in
    /usr | /usr/local) row=$(grep -F "| \`$1\` | " "$source/README.md") ;;
    *) row=$(grep -F "| any other, \`DIR\` | " "$source/README.md") ;;
  esac
  [[ -n $row ]] || fail "README: no row of the Python package table for the prefix $1"
  awk -F'`' '{print $4}' <<<"$row" | sed "s#^DIR#$1#; s#/xrdcalc\$##"
}

# Ga7In3As 004 computed by the Python package in $1, as output.dat's values.
python_values() {
  PYTHONPATH=$1 $python -c "
import xrdcalc
r = xrdcalc.Calculator().compute('Ga7In3As', 1.5405929, (0, 0, 4))
print(' '.join('%g' % v for v in r.values()))"
}
program_values=$(awk 'NF { printf "%s%g", (n++ ? " " : ""), $1 }' <<<"$expected")

cmake --install "$build" --prefix "$prefix" >/dev/null

mkdir "$scratch/run" && cp "$example/input.dat" "$scratch/run/"
(cd "$scratch/run" && "$prefix/bin/xrdcalc")
[[ $(tr -d '\r' <"$scratch/run/output.dat") == "$expected" ]] || fail "installed program"

cmake -S "$source/examples/library" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
[[ $("$scratch/consumer/ga7in3as" "$example/input.dat") == "$expected" ]] || fail "find_package consumer"

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs xrdcalc)
# shellcheck disable=SC2086
c++ "$source/examples/library/main.cpp" $flags -Wl,-rpath,"$prefix/lib" -o "$scratch/pkgconfig-consumer"
[[ $("$scratch/pkgconfig-consumer" "$example/input.dat") == "$expected" ]] || fail "pkg-config consumer"

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

if [[ $python_built == 1 ]]; then
  site=$(readme_python_dir "$prefix")
  [[ -f $site/xrdcalc/__init__.py ]] || fail "python: no package in $site, where the README puts it"
  [[ $(python_values "$site") == "$program_values" ]] || fail "python in a scratch prefix"
  for system_prefix in /usr /usr/local; do
    root=$scratch/root$system_prefix
    DESTDIR=$root cmake --install "$build" --prefix "$system_prefix" >/dev/null
    site=$(readme_python_dir "$system_prefix")
    [[ -f $root$site/xrdcalc/__init__.py ]] || fail "python: no package in $site for the prefix $system_prefix"
    env -i $python -c "import sys; sys.exit(0 if '$site' in sys.path else 1)" ||
      fail "python: $site is not on the search path of $python"
    [[ $(python_values "$root$site") == "$program_values" ]] || fail "python staged for $system_prefix"
  done
fi
echo "installed program, find_package, pkg-config and Python consumers agree; Python installs where it is found"
