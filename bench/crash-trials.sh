#!/usr/bin/env bash
# Long crash trials: the CTest crash_trials program, which kills watch
# mid-copy, with many more kills (a tenth of TRIALS).
#
#   bench/crash-trials.sh [TRIALS [SEED]]     defaults: 2000 trials, a new seed each run
#
# Builds build-crash/ first (configuring it when missing). The seed is printed,
# so that a failing run can be repeated. Exit status 0 when no trial failed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build="build-crash"
[[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C "$build" crash_trials tsumugiya-cli

export TSUMUGIYA_CRASH_TRIALS=${1:-2000}
export TSUMUGIYA_CRASH_SEED=${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
exec "$build/tests/crash/crash_trials" --gtest_brief=1
