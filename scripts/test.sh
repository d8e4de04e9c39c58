#!/usr/bin/env bash
# Installs what is missing, then checks the formatting and builds and runs the whole suite: the
# release build, AddressSanitizer with UBSan, ThreadSanitizer on the tests labelled "threads", and
# the Windows build, cross-compiled with mingw-w64 and tested under Wine.
# It stops at the first failure and says where.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

started=$SECONDS
passed_total=0
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

fail() {
    echo
    echo "test.sh: FAILED: $*" >&2
    exit 1
}

stage() {
    echo
    echo "==== $* ($((SECONDS - started)) s)"
}

# Runs one ctest preset (through the command in $runner, if any), keeps its closing lines, and adds
# its count of passed tests to the total.
runner=()
run_ctest() {
    local preset=$1
    shift
    local log="$logs/ctest-$preset.log"
    # A bound per test keeps one that hangs from eating the whole time of a CI run.
    if ! "${runner[@]}" ctest --preset "$preset" --timeout 300 "$@" 2>&1 | tee "$log"; then
        fail "ctest --preset $preset: tests failed (see the list above)"
    fi
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    [[ -n "$summary" ]] || fail "ctest --preset $preset printed no summary"
    local total=${summary##* out of }
    ((total > 0)) || fail "ctest --preset $preset ran no test"
    passed_total=$((passed_total + total))
    summaries+=("$preset: $summary")
}
summaries=()

stage "dependencies"
bash scripts/install-deps.sh || fail "installing the dependencies"

stage "formatting"
mapfile -t sources < <(find src tests bench tools -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
clang-format --dry-run -Werror "${sources[@]}" ||
    fail "clang-format: the files above differ from .clang-format (fix with clang-format -i)"
echo "${#sources[@]} files formatted as .clang-format asks"

for preset in default asan tsan; do
    stage "$preset: configure and build"
    cmake --preset "$preset" >"$logs/configure-$preset.log" 2>&1 || {
        cat "$logs/configure-$preset.log"
        fail "cmake --preset $preset: configure"
    }
    cmake --build --preset "$preset" -j2 || fail "cmake --build --preset $preset: build"
    stage "$preset: tests"
    run_ctest "$preset" -j2
done

# The Windows build, cross-compiled, and its tests under Wine on a display of their own.
stage "windows: configure and build"
cmake --preset windows >"$logs/configure-windows.log" 2>&1 || {
    cat "$logs/configure-windows.log"
    fail "cmake --preset windows: configure"
}
cmake --build --preset windows -j2 || fail "cmake --build --preset windows: build"
stage "windows: tests under Wine"
windows_started=$SECONDS
runner=(bash scripts/wine-session.sh)
# One at a time: the tests share one display, its cursor and its foreground window.
run_ctest windows
runner=()
echo "the Windows build's tests took $((SECONDS - windows_started)) s"

stage "done"
printf '%s\n' "${summaries[@]}"
echo "test.sh: all stages passed in $((SECONDS - started)) s"
echo "total: $passed_total passed, 0 failed"
