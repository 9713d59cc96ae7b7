# Sourced by the benchmark scripts.
# median RUNS COMMAND...: the median wall seconds of RUNS runs of COMMAND. Before
# each run the caller's `clear_outputs` removes what an earlier run wrote and the
# disk's write-back settles, so that no run pays for another.
median() {
  local runs=$1; shift
  local times=()
  for _ in $(seq "$runs"); do
    clear_outputs
    sync
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s.%N)
    times+=("$(echo "$t1 - $t0" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}
