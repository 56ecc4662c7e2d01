#!/usr/bin/env bash
# Long power-cut run: the CTest powerloss_tests with every crash point cut
# ROUNDS times on ext4 and XFS (writeback timing differs from run to run) and
# every mix of pending calls rebuilt, up to MIXES per point.
#
#   bench/power-cuts.sh [ROUNDS [MIXES]]     defaults: 20 rounds, 65,536 mixes
#
# Needs root: loop devices, mounts and the shutdown call (the real kernel's
# cases skip and say why without them). Builds build-powerloss/ first
# (configuring it when missing). Exit status 0 when nothing failed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build="build-powerloss"
[[ -f $build/build.ninja ]] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSUMUGIYA_BUILD_UI=OFF
ninja -C "$build" powerloss_tests

export TSUMUGIYA_POWERLOSS_ROUNDS=${1:-20}
export TSUMUGIYA_POWERLOSS_MIXES=${2:-65536}
exec "$build/tests/powerloss/powerloss_tests" --gtest_brief=1
