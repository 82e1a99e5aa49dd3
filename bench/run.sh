#!/usr/bin/env bash
# Builds the release xrdcalc, the floor program and the timing harness; times
# xrdcalc on every case against the floor, in pairs, in the case's own
# directory, both pinned to one CPU; counts instructions with callgrind; times
# the library in process and the Python module; prints the report and writes
# it to bench/results.txt.
#
#   bench/run.sh [--rounds N] [--warmup W] [--blocks B] [--cpu C]
#                [--source DIR] [--label TEXT] [--baseline REV|DIR]
#                [--build-dir DIR] [--out FILE] [--no-callgrind]
#                [--tables-differ]
#
#   --rounds N       timed pairs per case (default 1000)
#   --warmup W       rounds run first and not counted (default 20)
#   --blocks B       the rounds are cut into B blocks of consecutive rounds,
#                    whose ratios show how stable it is (default 5)
#   --cpu C          the CPU that the harness and every run are pinned to
#                    (default: the last one)
#   --source DIR     source tree to measure (default: the one holding bench/)
#   --label TEXT     how the report names the measured tree (default: its
#                    path and git revision)
#   --baseline X     also measure a git revision X of this repository (read
#                    with git archive) or the source tree X, in the same
#                    rounds, each case in its own directory with its own
#                    floor pairs; its rows are prefixed "base:"
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
baseline_label=
label_text=
build_dir=$bench_dir/build
out=$bench_dir/results.txt
rounds=1000
warmup=20
blocks=5
cpu=
callgrind=1
tables_differ=0

while (($#)); do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --blocks) blocks=$2; shift 2 ;;
    --cpu) cpu=$2; shift 2 ;;
    --source) source_dir=$(cd "$2" && pwd); shift 2 ;;
    --label) label_text=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-callgrind) callgrind=0; shift ;;
    --tables-differ) tables_differ=1; shift ;;
    -h|--help) sed -n '2,30p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)
work=$build_dir/cases
case_file=$build_dir/cases.tsv
timings=$build_dir/timings.tsv
pairs=$build_dir/pairs.tsv

# Cases: id and formula. Lattice 0 0 0 (from the structure files), Cu Ka1,
# reflection 004, Bragg angle derived, scale 1.
cases=(
  "si004 Si"
  "gaas004 GaAs"
  "ga7in3as004 Ga7In3As"
  "mix10 Ga1In1Al1Ga1In1Al1Ga1In1Al1As"
  "heavy10 Au1W1Mo1Ag1Cu1Ni1Ge1Si1Al1C1"
  "lin1 Si1"
  "lin2 Si1Ge1"
  "lin5 Si1Ge1Si1Ge1Si1"
  "lin10 Si1Ge1Si1Ge1Si1Ge1Si1Ge1Si1Ge1"
)
declare -A formula
declare -A instructions

log() { echo "== $*" >&2; }
fail() { echo "run.sh: $*" >&2; exit 1; }

# Installs valgrind when it is missing and the script may; else no counts.
ensure_valgrind() {
  ((callgrind)) || return 0
  command -v valgrind >/dev/null && return 0
  if [[ $(id -u) == 0 ]] && command -v apt-get >/dev/null; then
    log "installing valgrind"
    (apt-get update -qq && apt-get install -y -qq valgrind) >&2 || true
  fi
  if ! command -v valgrind >/dev/null; then
    log "valgrind not found: no instruction counts"
    callgrind=0
  fi
}

# build <source tree> <build dir>: release xrdcalc, floor and harness.
build() {
  cmake -S "$bench_dir" -B "$2" -DCMAKE_BUILD_TYPE=Release -DXRDCALC_SOURCE="$1" >/dev/null
  cmake --build "$2" -j"$(nproc)" --target xrdcalc floor bench_runner >/dev/null
}

build_measured() {
  log "building $source_dir in $build_dir/new"
  build "$source_dir" "$build_dir/new"
  # The library's own benchmarks, for the measured tree only.
  cmake --build "$build_dir/new" -j"$(nproc)" --target library_bench >/dev/null
  cmake --build "$build_dir/new" -j"$(nproc)" --target _xrdcalc >/dev/null 2>&1 ||
    log "no Python module: its timings are left out"
}

build_baseline() {
  local src
  if [[ -d $baseline ]]; then
    src=$(cd "$baseline" && pwd)
    baseline_label=$src
  else
    src=$build_dir/baseline-src
    rm -rf "$src"
    mkdir -p "$src"
    git -C "$repo" archive "$baseline" | tar -x -C "$src"
    baseline_label="$baseline ($(git -C "$repo" rev-parse --short "$baseline"))"
  fi
  log "building baseline $baseline_label in $build_dir/base"
  build "$src" "$build_dir/base"
  # The same library benchmark (this tree's bench/) against the baseline's library.
  cmake --build "$build_dir/base" -j"$(nproc)" --target library_bench >/dev/null
}

# prepare_case <variant> <id> <formula>: the case's directory with its
# input.dat; xrdcalc must run there cleanly (status 0, nothing on standard
# error). Adds the case to the harness's case file.
prepare_case() {
  local v=$1 id=$2 f=$3 prefix dir program=$build_dir/$1/xrdcalc/xrdcalc
  prefix=$([[ $v == new ]] && echo "" || echo "base:")
  dir=$work/$v/$id
  mkdir -p "$dir"
  printf '0 0 0\n0 0 0\n1.5405929\n0 0 4\n0\n%s\n1\n' "$f" >"$dir/input.dat"
  if ! (cd "$dir" && "$program" 2>"$dir/stderr.txt"); then
    cat "$dir/stderr.txt" >&2; fail "$v xrdcalc failed on $f"
  fi
  if [[ -s $dir/stderr.txt ]]; then
    cat "$dir/stderr.txt" >&2; fail "$v xrdcalc wrote to standard error on $f"
  fi
  printf '%s\t%s\t%s\n' "$prefix$id" "$dir" "$program" >>"$case_file"
}

prepare_cases() {
  rm -rf "$work"
  : >"$case_file"
  local v entry id f
  for v in "$@"; do
    for entry in "${cases[@]}"; do
      read -r id f <<<"$entry"
      formula[$id]=$f
      prepare_case "$v" "$id" "$f"
    done
  done
}

# With a baseline, both builds must write the same output.dat on every case.
check_same_outputs() {
  local entry id f
  for entry in "${cases[@]}"; do
    read -r id f <<<"$entry"
    cmp -s "$work/new/$id/output.dat" "$work/base/$id/output.dat" ||
      fail "output.dat of $f differs from the baseline's"
  done
  log "outputs identical to the baseline's on every case"
}

time_cases() {
  local n
  n=$(wc -l <"$case_file")
  log "timing $n cases against the floor: $warmup warm-up rounds, then $rounds rounds of one pair per case"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  "$build_dir/new/bench_runner" --floor "$build_dir/new/floor" --rounds "$rounds" --warmup "$warmup" \
    --blocks "$blocks" ${cpu:+--cpu "$cpu"} --raw "$pairs" "$case_file" >"$timings"
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  pinned_cpu=$(sed -n 's/^# cpu \([0-9]*\),.*/\1/p' "$timings")
}

# callgrind <directory> <program>: instructions of one run, start-up included.
callgrind() {
  rm -f "$1/output.dat"
  (cd "$1" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$2" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
}

count_instructions() {
  ((callgrind)) || return 0
  log "counting instructions with callgrind"
  local name dir program count
  while IFS=$'\t' read -r name dir program; do
    count=$(callgrind "$dir" "$program")
    instructions[$name]=${count:-?}
  done <"$case_file"
  count=$(callgrind "$work/new/si004" "$build_dir/new/floor")
  instructions[floor]=${count:-?}
}

# The harness's summary lines without its comment lines.
summary() { grep -v '^#' "$timings"; }

report_header() {
  local flags link revision
  flags=$(sed -n 's/^CXX_FLAGS = //p' "$build_dir/new/xrdcalc/CMakeFiles/xrdcalc.dir/flags.make")
  link=$(sed 's/ CMakeFiles[^ ]*main\.cpp\.o / <objects> /' "$build_dir/new/xrdcalc/CMakeFiles/xrdcalc.dir/link.txt")
  if [[ -z $label_text ]]; then
    revision=$(git -C "$source_dir" rev-parse --short HEAD 2>/dev/null || echo "?")
    # The results file a previous run rewrote is not part of what is measured.
    if [[ -n $(git -C "$source_dir" status --porcelain --untracked-files=no -- . ':(top,exclude)bench/results.txt' \
      2>/dev/null) ]]; then
      revision+=" + uncommitted changes"
    fi
    label_text="$source_dir at $revision"
  fi
  echo "xrdcalc benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "machine:   $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1), $(nproc) CPUs, Linux $(uname -r)"
  echo "           load average $load_before at the start of the timing, $load_after at its end"
  echo "compiler:  $(c++ --version | head -1)"
  echo "flags:     $flags"
  echo "link:      $link"
  echo "measured:  $label_text"
  [[ -n $baseline ]] && echo "baseline:  $baseline_label (rows base:...)"
  echo "method:    every case against the floor in the case's own directory: each round runs, per case, the floor"
  echo "           and xrdcalc one right after the other (which first alternates by round), the cases in a new"
  echo "           random order each round; $rounds rounds after $warmup warm-up rounds, cut into $blocks blocks; the"
  echo "           harness and every run pinned to CPU $pinned_cpu; output.dat removed before every run (untimed),"
  echo "           input.dat present, standard streams on /dev/null; wall time from fork to wait4."
  echo "           ratio = xrdcalc's time over the floor's time of the same pair; its median over the pairs is"
  echo "           what the targets are checked on."
  echo
}

# Times and resources, per case: the floor's and xrdcalc's runs.
report_times() {
  summary | while IFS=$'\t' read -r name rest; do
    printf '%s\t%s\t%s\t%s\n' "$name" "${formula[${name#base:}]}" "$rest" "${instructions[$name]:--}"
  done | awk -F'\t' '
    BEGIN {
      printf "%-19s %-10s %-20s  %-20s  %8s  %13s\n", "case", "formula", "floor, ms", "xrdcalc, ms", "peak RSS", "instructions"
      printf "%-19s %-10s %-20s  %-20s  %8s  %13s\n", "", "", "median (q1..q3)", "median (q1..q3)", "MiB", "(callgrind)"
    }
    {
      shown = length($2) > 10 ? substr($2, 1, 8) ".." : $2
      printf "%-19s %-10s %5.3f (%5.3f..%5.3f)  %5.3f (%5.3f..%5.3f)  %8.2f  %13s\n", $1, shown, $4 / 1000, $5 / 1000,
             $6 / 1000, $7 / 1000, $8 / 1000, $9 / 1000, $19 / 1024, $20
      if ($18 > floor_rss) floor_rss = $18
    }
    END { printf "floor: peak RSS %.2f MiB", floor_rss / 1024 }'
  echo ", ${instructions[floor]:--} instructions"
  echo
}

# Ratios to the floor, per case from its own pairs.
report_ratios() {
  summary | awk -F'\t' -v blocks="$blocks" '
    BEGIN {
      printf "%-19s %-22s %9s     %-12s   %s\n", "case", "xrdcalc / floor, pair", "ratio of", "blocks (" blocks ")", "floor first /"
      printf "%-19s %-22s %9s     %-12s   %s\n", "", "median  (q1..q3)", "medians", "min..max", "xrdcalc first"
    }
    { printf "%-19s %6.3f  (%5.3f..%5.3f) %9.3f     %5.3f..%-5.3f   %5.3f / %5.3f\n", $1, $10, $11, $12, $9, $13, $14, $15, $16 }'
  echo
  echo "formulas: mix10   = ${formula[mix10]} (9 weighted components + partner As)"
  echo "          heavy10 = ${formula[heavy10]} (10 weighted components, no partner)"
  echo "          lin10   = ${formula[lin10]}"
}

# Least-squares line through the 1, 2, 5, 10 component cases, for xrdcalc's
# median time and for instructions.
report_linearity() {
  local v prefix n t who
  for v in "$@"; do
    prefix=$([[ $v == new ]] && echo "" || echo "base:")
    who=$([[ $v == new ]] && echo "" || echo " (baseline)")
    for n in 1 2 5 10; do
      t=$(summary | awk -F'\t' -v k="${prefix}lin$n" '$1 == k {print $6}')
      echo "$n $t ${instructions[${prefix}lin$n]:-0}"
    done | awk -v who="$who" '
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
}

# The library in process, and the Python module with xraylib's binding as
# the yardstick, measured in the same session.
report_library() {
  local variants=(new) v round
  [[ -n $baseline ]] && variants+=(base)
  echo "in process (C++, Calculator::compute, microseconds per evaluation; pinned to CPU $pinned_cpu,"
  echo "  the builds taking turns, 5 runs each, the median of each case's runs):"
  for v in "${variants[@]}"; do : >"$build_dir/library-$v.txt"; done
  for round in 1 2 3 4 5; do
    for v in "${variants[@]}"; do
      taskset -c "$pinned_cpu" "$build_dir/$v/library_bench" "$source_dir/Base" >>"$build_dir/library-$v.txt"
    done
  done
  for v in "${variants[@]}"; do
    sort -k1,1 -k2,2n "$build_dir/library-$v.txt" | awk '{ t[$1, ++n[$1]] = $2 } END { for (c in n) print c, t[c, 3] }' |
      sort >"$build_dir/library-$v-median.txt"
  done
  cp "$build_dir/library-new-median.txt" "$build_dir/library.txt"
  if [[ -n $baseline ]]; then
    join "$build_dir/library-new-median.txt" "$build_dir/library-base-median.txt" |
      awk '{ printf "  %-14s %8.2f us   base: %8.2f us   new / base %.3f\n", $1, $2, $3, $2 / $3 }'
  else
    awk '{ printf "  %-14s %8.2f us\n", $1, $2 }' "$build_dir/library.txt"
  fi
  local python_dir=$build_dir/new/python
  if [[ -d $python_dir/xrdcalc ]] && /usr/bin/python3 -c "import numpy" 2>/dev/null; then
    echo "Python (microseconds per evaluation; xraylib on the same GaAs job as the yardstick):"
    PYTHONPATH=$python_dir /usr/bin/python3 "$bench_dir/python_bench.py" --base "$source_dir/Base" | sed 's/^/  /'
  fi
  echo
}

# The targets, for the measured tree; the process ratios are the medians of
# the per-pair ratios, the block range beside them.
report_targets() {
  summary | awk -F'\t' '
    { ratio[$1] = $10; low[$1] = $13; high[$1] = $14; if ($1 !~ /^base:/ && $18 > rss) rss = $18 }
    function target(text, id, bound) {
      printf "%-42s %.2fx (blocks %.2f..%.2f)  %s\n", text, ratio[id], low[id], high[id], ratio[id] <= bound ? "met" : "NOT MET"
    }
    END {
      target("target Ga7In3As 004 <= 1.3x floor:", "ga7in3as004", 1.3)
      target("target heavy10 (with Au, W) <= 1.6x floor:", "heavy10", 1.6)
      target("target mix10 (Ga/In/Al/As) <= 1.6x floor:", "mix10", 1.6)
      printf "%-42s %.2f MiB  %s\n", "target peak RSS <= 8 MiB:", rss / 1024, rss <= 8192 ? "met" : "NOT MET"
    }'
  awk '
    { us[$1] = $2 }
    function target(text, id, bound) { printf "%-42s %.2f us  %s\n", text, us[id], us[id] <= bound ? "met" : "NOT MET" }
    END {
      target("target in process Si 004 <= 1 us:", "si004", 1)
      target("target in process Ga7In3As <= 3 us:", "ga7in3as004", 3)
      target("target in process mix10 <= 15 us:", "mix10", 15)
      if (us["sic4h004"] > 0) {
        ratio = us["sic4h004"] / us["sic004"]
        printf "%-42s %.2fx  %s\n", "target 4H-SiC 004 <= 1.5x cubic SiC 004:", ratio, ratio <= 1.5 ? "met" : "NOT MET"
      }
    }' "$build_dir/library.txt"
}

main() {
  ensure_valgrind
  build_measured
  local variants=(new)
  if [[ -n $baseline ]]; then
    build_baseline
    variants+=(base)
  fi
  prepare_cases "${variants[@]}"
  if [[ -n $baseline && $tables_differ == 0 ]]; then check_same_outputs; fi
  time_cases
  count_instructions
  local report=$build_dir/report.txt
  {
    report_header
    report_times
    report_ratios
    report_linearity "${variants[@]}"
    report_library
    report_targets
  } >"$report"
  cat "$report"
  if [[ $out != - ]]; then
    cp "$report" "$out"
    log "written to $out"
  fi
}

main
