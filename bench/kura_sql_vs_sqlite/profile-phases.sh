#!/bin/sh
# Runs the kura-sql/sqlite3 workload with every kura-sql process under a profiler, one output
# file per phase, to see where Kura's time goes.
#
#   profile-phases.sh perf|strace KURA_SQL BENCH OUTDIR [bench options ...]
#
# KURA_SQL: the kura-sql to profile, best built with -fno-omit-frame-pointer so that perf can
# walk the stacks. BENCH: kura_sql_vs_sqlite_bench. Each phase is stopped with SIGINT (so that the
# profiler still writes its data) after PROFILE_SECONDS seconds (default 60); a stopped phase
# leaves the tables in another state than a full run, so profile the phases that matter at a
# size where the ones before them finish.
#   perf:   OUTDIR/PHASE.perf.data (perf record -g); read with
#           perf report -i OUTDIR/PHASE.perf.data --stdio --no-children
#   strace: OUTDIR/PHASE.strace (strace -c -f: calls, errors and time per system call)
set -eu
if [ $# -lt 4 ]; then
  echo "usage: $0 perf|strace KURA_SQL BENCH OUTDIR [bench options ...]" >&2
  exit 2
fi
tool=$1 kura=$(realpath "$2") bench=$3 out=$4
shift 4
mkdir -p "$out"
out=$(realpath "$out")
seconds=${PROFILE_SECONDS:-60}
wrapper="$out/kura-sql-under-$tool"
case "$tool" in
  perf) run="perf record -g -q -o \"$out/\$phase.perf.data\" --" ;;
  strace) run="strace -c -f -o \"$out/\$phase.strace\" --" ;;
  *) echo "$0: perf or strace, not $tool" >&2; exit 2 ;;
esac
cat >"$wrapper" <<WRAPPER
#!/bin/sh
phase=\${KURA_BENCH_PHASE:-unnamed}
exec timeout -s INT $seconds $run "$kura" "\$@"
WRAPPER
chmod +x "$wrapper"
# The bench's own limit lies beyond the profiler's, so that the profiler always ends first.
"$bench" --kura-sql "$wrapper" --time-limit $((seconds + 60)) "$@"
