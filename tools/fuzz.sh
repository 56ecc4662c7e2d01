#!/usr/bin/env bash
# Builds the libFuzzer targets of tools/fuzz in build-fuzz and runs each for a
# bounded time.
#   tools/fuzz.sh [SECONDS [TARGET...]]   default 60 s each (or $FUZZ_SECONDS)
#   targets: file_path profile backup_name; FUZZ_CXX picks the clang (clang++-14)
# New inputs go to build-fuzz/fuzz-corpus/<target>, reproducers of findings
# to build-fuzz/fuzz-findings/<target>; the seeds in tests/fuzz/corpus are
# only read.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-60}}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
((${#targets[@]})) || targets=(file_path profile backup_name)
build=build-fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++-14}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSUMUGIYA_BUILD_TESTS=ON -DTSUMUGIYA_FUZZ=ON >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

status=0
summary=()
for target in "${targets[@]}"; do
    corpus=$build/fuzz-corpus/$target
    findings=$build/fuzz-findings/$target
    log=$build/fuzz-$target.log
    mkdir -p "$corpus" "$findings"
    before=$(find "$findings" -type f | wc -l)
    echo "== $target: ${seconds}s"
    # A hang counts as a finding after 10 s; -rss_limit_mb keeps runaways bounded.
    set +e
    "$build/tools/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$target" \
        >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    found=$(($(find "$findings" -type f | wc -l) - before))
    if ((rc != 0)); then
        status=1
        grep -E 'check failed|invariant broken|ERROR: |SUMMARY: |Test unit written' "$log" || true
    fi
    summary+=("$(printf '%-12s executions %-10s findings %s%s' "$target" "${runs:-?}" "$found" \
        "$( ((rc == 0)) || echo " (exit $rc)")")")
done
echo "== summary (logs in $build/fuzz-*.log)"
printf '%s\n' "${summary[@]}"
exit $status
