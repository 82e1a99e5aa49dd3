#!/usr/bin/env bash
# Builds the release xrdcalc, the floor program and the timing harness, then
# in one measurement times the floor and xrdcalc on every case, the cases
# taking turns; counts instructions with callgrind; prints the table and
# writes it to bench/results.txt.
#
#   bench/run.sh [--runs N] [--warmup W] [--source DIR] [--label TEXT]
#                [--baseline REV|DIR] [--build-dir DIR] [--out FILE]
#                [--no-callgrind]
#
#   --runs N         timed runs per case (default 300)
#   --warmup W       rounds run first and not counted (default 30)
#   --source DIR     source tree to measure (default: the one holding bench/)
#   --label TEXT     how the report names the measured tree (default: its
#                    path and git revision)
#   --baseline X     also measure a git revision X of this repository (read
#                    with git archive) or the source tree X, side by side in
#                    the same rounds; its rows are prefixed "base:"
#   --build-dir DIR  build directory (default bench/build)
#   --out FILE       results file (default bench/results.txt; "-" for none)
#   --no-callgrind   skip the instruction counts
#   --tables-differ  the baseline has other data tables: do not require the
#                    two builds' output.dat to be identical
set -euo pipefail

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$bench_dir/.." && pwd)
source_dir=$repo
baseline=
label_text=
build_dir=$bench_dir/build
out=$bench_dir/results.txt
runs=300
warmup=30
callgrind=1
tables_differ=0

while (($#)); do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --source) source_dir=$(cd "$2" && pwd); shift 2 ;;
    --label) label_text=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-callgrind) callgrind=0; shift ;;
    --tables-differ) tables_differ=1; shift ;;
    -h|--help) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

log() { echo "== $*" >&2; }

if ((callgrind)) && ! command -v valgrind >/dev/null; then
  if [[ $(id -u) == 0 ]] && command -v apt-get >/dev/null; then
    log "installing valgrind"
    (apt-get update -qq && apt-get install -y -qq valgrind) >&2 || true
  fi
  if ! command -v valgrind >/dev/null; then
    log "valgrind not found: no instruction counts"
    callgrind=0
  fi
fi

# build <source tree> <build dir>: release xrdcalc, floor and harness.
build() {
  cmake -S "$bench_dir" -B "$2" -DCMAKE_BUILD_TYPE=Release -DXRDCALC_SOURCE="$1" >/dev/null
  cmake --build "$2" -j"$(nproc)" --target xrdcalc floor bench_runner >/dev/null
}

log "building $source_dir in $build_dir/new"
build "$source_dir" "$build_dir/new"
# The library's own benchmarks, for the measured tree only.
cmake --build "$build_dir/new" -j"$(nproc)" --target library_bench >/dev/null
cmake --build "$build_dir/new" -j"$(nproc)" --target _xrdcalc >/dev/null 2>&1 || log "no Python module: its timings are left out"
variants=(new)
if [[ -n $baseline ]]; then
  if [[ -d $baseline ]]; then
    baseline_src=$(cd "$baseline" && pwd)
    baseline_label=$baseline_src
  else
    baseline_src=$build_dir/baseline-src
    rm -rf "$baseline_src"
    mkdir -p "$baseline_src"
    git -C "$repo" archive "$baseline" | tar -x -C "$baseline_src"
    baseline_label="$baseline ($(git -C "$repo" rev-parse --short "$baseline"))"
  fi
  log "building baseline $baseline_label in $build_dir/base"
  build "$baseline_src" "$build_dir/base"
  variants+=(base)
fi

# Cases: id, formula. Lattice 0 0 0 (from the structure files), Cu Ka1,
# reflection 004, Bragg angle derived, scale 1.
cases=(
  "si004 Si"
  "gaas004 GaAs"
  "ga7in3as004 Ga7In3As"
  "mix10 Ga1In1Al1Ga1In1Al1Ga1In1Al1As"
  "lin1 Si1"
  "lin2 Si1Ge1"
  "lin5 Si1Ge1Si1Ge1Si1"
  "lin10 Si1Ge1Si1Ge1Si1Ge1Si1Ge1Si1Ge1"
)
declare -A label=(
  [floor]="floor (writes one line)"
  [si004]="Si 004"
  [gaas004]="GaAs 004"
  [ga7in3as004]="Ga7In3As 004"
  [mix10]="10-component mix 004"
  [lin1]="linearity, 1 component"
  [lin2]="linearity, 2 components"
  [lin5]="linearity, 5 components"
  [lin10]="linearity, 10 components"
)
declare -A formula=([floor]="-")

work=$build_dir/cases
rm -rf "$work"
case_file=$build_dir/cases.tsv
: >"$case_file"
for v in "${variants[@]}"; do
  prefix=$([[ $v == new ]] && echo "" || echo "base:")
  mkdir -p "$work/$v/floor"
  printf '%s\t%s\t%s\n' "${prefix}floor" "$work/$v/floor" "$build_dir/$v/floor" >>"$case_file"
  for entry in "${cases[@]}"; do
    read -r id f <<<"$entry"
    formula[$id]=$f
    dir=$work/$v/$id
    mkdir -p "$dir"
    printf '0 0 0\n0 0 0\n1.5405929\n0 0 4\n0\n%s\n1\n' "$f" >"$dir/input.dat"
    # Every case must run cleanly: status 0, no warning, an output file.
    if ! (cd "$dir" && "$build_dir/$v/xrdcalc/xrdcalc" 2>"$dir/stderr.txt"); then
      echo "run.sh: $v xrdcalc failed on $f:" >&2; cat "$dir/stderr.txt" >&2; exit 1
    fi
    if [[ -s $dir/stderr.txt ]]; then
      echo "run.sh: $v xrdcalc wrote to standard error on $f:" >&2; cat "$dir/stderr.txt" >&2; exit 1
    fi
    printf '%s\t%s\t%s\n' "$prefix$id" "$dir" "$build_dir/$v/xrdcalc/xrdcalc" >>"$case_file"
  done
done
if [[ -n $baseline && $tables_differ == 0 ]]; then
  for entry in "${cases[@]}"; do
    read -r id f <<<"$entry"
    if ! cmp -s "$work/new/$id/output.dat" "$work/base/$id/output.dat"; then
      echo "run.sh: output.dat of $f differs from the baseline's" >&2; exit 1
    fi
  done
  log "outputs identical to the baseline's on every case"
fi

n_cases=$(wc -l <"$case_file")
log "timing $n_cases cases: $warmup warm-up rounds, then $runs rounds, cases taking turns"
timings=$build_dir/timings.tsv
"$build_dir/new/bench_runner" --runs "$runs" --warmup "$warmup" "$case_file" >"$timings"

declare -A instructions
if ((callgrind)); then
  log "counting instructions with callgrind"
  while IFS=$'\t' read -r name dir program; do
    count=$(cd "$dir" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$program" 2>&1 >/dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
    instructions[$name]=${count:-?}
  done <"$case_file"
fi

# The report.
flags=$(sed -n 's/^CXX_FLAGS = //p' "$build_dir/new/xrdcalc/CMakeFiles/xrdcalc.dir/flags.make")
link=$(sed 's/ CMakeFiles[^ ]*main\.cpp\.o / <objects> /' "$build_dir/new/xrdcalc/CMakeFiles/xrdcalc.dir/link.txt")
if [[ -z $label_text ]]; then
  revision=$(git -C "$source_dir" rev-parse --short HEAD 2>/dev/null || echo "?")
  if [[ -n $(git -C "$source_dir" status --porcelain --untracked-files=no 2>/dev/null) ]]; then
    revision+=" + uncommitted changes"
  fi
  label_text="$source_dir at $revision"
fi

report=$build_dir/report.txt
{
  echo "xrdcalc benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "machine:   $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1), $(nproc) CPUs, Linux $(uname -r)"
  echo "compiler:  $(c++ --version | head -1)"
  echo "flags:     $flags"
  echo "link:      $link"
  echo "measured:  $label_text"
  [[ -n $baseline ]] && echo "baseline:  $baseline_label (rows base:...)"
  echo "method:    $runs timed runs per case after $warmup warm-up rounds; every round runs each case once,"
  echo "           in a new random order; wall time from fork to wait4; peak RSS = largest ru_maxrss over the runs"
  echo
  awk -F'\t' -v OFS='\t' '{print}' "$timings" | while IFS=$'\t' read -r name n median q1 q3 min rss; do
    id=${name#base:}
    v=$([[ $name == base:* ]] && echo base || echo new)
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "${label[$id]}" "${formula[$id]}" "$median" "$q1" "$q3" "$rss" \
      "${instructions[$name]:--}"
  done | awk -F'\t' '
    { name[NR] = $1; what[NR] = $2; f[NR] = $3; med[NR] = $4; q1[NR] = $5; q3[NR] = $6; rss[NR] = $7; ins[NR] = $8
      if ($1 == "floor") floor_new = $4
      if ($1 == "base:floor") floor_base = $4 }
    END {
      printf "%-19s %-31s %-10s %9s %13s %8s %9s %14s\n", "case", "", "formula", "median", "q1..q3", "x floor", "peak RSS", "instructions"
      printf "%-19s %-31s %-10s %9s %13s %8s %9s %14s\n", "", "", "", "ms", "ms", "", "MiB", "(callgrind)"
      for (i = 1; i <= NR; ++i) {
        fl = (name[i] ~ /^base:/) ? floor_base : floor_new
        shown = length(f[i]) > 10 ? substr(f[i], 1, 8) ".." : f[i]
        printf "%-19s %-31s %-10s %9.3f %6.3f..%-6.3f %8.2f %9.2f %14s\n", name[i], what[i], shown, med[i] / 1000,
               q1[i] / 1000, q3[i] / 1000, med[i] / fl, rss[i] / 1024, ins[i]
      }
    }'
  echo
  echo "formulas: mix10 = ${formula[mix10]} (9 weighted components + partner As);"
  echo "          lin10 = ${formula[lin10]}"
  # Linearity: least-squares line through the 1, 2, 5, 10 component cases.
  for v in "${variants[@]}"; do
    prefix=$([[ $v == new ]] && echo "" || echo "base:")
    for n in 1 2 5 10; do
      t=$(awk -F'\t' -v k="${prefix}lin$n" '$1 == k {print $3}' "$timings")
      echo "$n $t ${instructions[${prefix}lin$n]:-0}"
    done | awk -v who="$([[ $v == new ]] && echo "" || echo " (baseline)")" '
      { n[NR] = $1; t[NR] = $2 / 1000; c[NR] = $3; sn += $1; st += $2 / 1000; sc += $3; snn += $1 * $1
        snt += $1 * $2 / 1000; snc += $1 * $3 }
      END {
        m = NR; d = m * snn - sn * sn
        bt = (m * snt - sn * st) / d; at = (st - bt * sn) / m
        bc = (m * snc - sn * sc) / d; ac = (sc - bc * sn) / m
        for (i = 1; i <= m; ++i) {
          rt = (t[i] - (at + bt * n[i])) / t[i]; if (rt < 0) rt = -rt; if (rt > wt) wt = rt
          if (c[i] > 0) { rc = (c[i] - (ac + bc * n[i])) / c[i]; if (rc < 0) rc = -rc; if (rc > wc) wc = rc }
        }
        printf "linearity%s: time = %.3f ms + %.3f ms per component (worst deviation from the line %.1f%%)", who, at, bt, 100 * wt
        if (sc > 0) printf ";\n    instructions = %.0f + %.0f per component (worst deviation %.2f%%)", ac, bc, 100 * wc
        printf "\n"
      }'
  done
  echo "  (each data file is read once per run: repeated components cost little)"
  echo
  # The library in process, and the Python module with xraylib's binding as
  # the yardstick, measured in the same session.
  echo "in process (C++, Calculator::compute, microseconds per evaluation):"
  "$build_dir/new/library_bench" "$source_dir/Base" | tee "$build_dir/library.txt" | awk '{ printf "  %-14s %8.2f us\n", $1, $2 }'
  python_dir=$build_dir/new/python
  if [[ -d $python_dir/xrdcalc ]] && /usr/bin/python3 -c "import numpy" 2>/dev/null; then
    echo "Python (microseconds per evaluation; xraylib on the same GaAs job as the yardstick):"
    PYTHONPATH=$python_dir /usr/bin/python3 "$bench_dir/python_bench.py" --base "$source_dir/Base" | sed 's/^/  /'
  fi
  echo
  # The targets, for the measured tree.
  awk -F'\t' '
    { med[$1] = $3; rss[$1] = $7 }
    END {
      r1 = med["ga7in3as004"] / med["floor"]; r2 = med["mix10"] / med["floor"]
      worst = 0; for (k in rss) if (k !~ /^base:/ && rss[k] > worst) worst = rss[k]
      printf "target Ga7In3As 004 <= 1.3x floor:       %.2fx  %s\n", r1, r1 <= 1.3 ? "met" : "NOT MET"
      printf "target 10-component mix <= 1.6x floor:   %.2fx  %s\n", r2, r2 <= 1.6 ? "met" : "NOT MET"
      printf "target peak RSS <= 8 MiB:                %.2f MiB  %s\n", worst / 1024, worst <= 8192 ? "met" : "NOT MET"
    }' "$timings"
  awk '
    { us[$1] = $2 }
    END {
      printf "target in process Si 004 <= 1 us:        %.2f us  %s\n", us["si004"], us["si004"] <= 1 ? "met" : "NOT MET"
      printf "target in process Ga7In3As <= 3 us:      %.2f us  %s\n", us["ga7in3as004"], us["ga7in3as004"] <= 3 ? "met" : "NOT MET"
      printf "target in process mix10 <= 15 us:       %.2f us  %s\n", us["mix10"], us["mix10"] <= 15 ? "met" : "NOT MET"
    }' "$build_dir/library.txt"
} >"$report"

cat "$report"
if [[ $out != - ]]; then
  cp "$report" "$out"
  log "written to $out"
fi
