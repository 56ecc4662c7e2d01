#!/usr/bin/env bash
# Long crash trials: the CTest crash_trials program with many more kills.
#
#   bench/crash-trials.sh [TRIALS [SEED]]     defaults: 2000 trials, a new seed each run
#
# Builds build-crash/ first (configuring it when missing). The seed is printed,
# so that a failing run can be repeated; TSUMUGIYA_CRASH_SECONDS (default 3600)
# stops starting trials after that many seconds. Exit status 0 when no trial failed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build="build-crash"
[[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C "$build" crash_trials tsumugiya-cli

export TSUMUGIYA_CRASH_TRIALS=${1:-2000}
export TSUMUGIYA_CRASH_SEED=${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
export TSUMUGIYA_CRASH_SECONDS=${TSUMUGIYA_CRASH_SECONDS:-3600}
exec "$build/tests/crash/crash_trials" --gtest_brief=1
