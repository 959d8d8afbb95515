#!/usr/bin/env bash
# Builds with warnings as errors and runs every test: the native build, the sanitizer builds
# of the Qt-free units, and the Windows cross-build under Wine. Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)
declare -a names results
status=0
passed_total=0
failed_total=0

# Adds a ctest run's closing line ("N tests passed, M tests failed out of T") to the totals.
tally() { # name, log, exit status
    local name=$1 log=$2 rc=$3 line failed total
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    if [ -n "$line" ]; then
        failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
        total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
        passed_total=$((passed_total + total - failed))
        failed_total=$((failed_total + failed))
    elif [ "$rc" -ne 0 ]; then
        failed_total=$((failed_total + 1))
    fi
    names+=("$name")
    results+=("$rc")
    [ "$rc" -eq 0 ] || status=1
}

run_logged() { # name, command...
    local name=$1 log rc
    shift
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    tally "$name" "$log" "$rc"
    rm -f "$log"
}

run_ctest() { # name, build dir, ctest arguments...
    local name=$1 dir=$2
    shift 2
    run_logged "$name" ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@"
}

step() { # name, command...
    local name=$1
    shift
    echo "=== $name"
    if ! "$@"; then
        echo "=== $name FAILED"
        names+=("$name")
        results+=(1)
        failed_total=$((failed_total + 1))
        status=1
        return 1
    fi
}

# Native: everything, warnings as errors.
if step "native build" bash -c "cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_WERROR=ON >/dev/null && cmake --build build -j$JOBS"; then
    run_ctest "native tests" build
fi

# AddressSanitizer and UndefinedBehaviorSanitizer over the Qt-free units.
if step "asan+ubsan build" bash -c "cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORNIX_WERROR=ON -DVORNIX_WITH_QT=OFF -DVORNIX_WITH_BENCH=OFF -DVORNIX_SANITIZE=address,undefined >/dev/null && cmake --build build-asan -j$JOBS"; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest "asan+ubsan tests" build-asan
fi

# ThreadSanitizer over the threaded units.
if step "tsan build" bash -c "cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVORNIX_WERROR=ON -DVORNIX_WITH_QT=OFF -DVORNIX_WITH_BENCH=OFF -DVORNIX_SANITIZE=thread >/dev/null && cmake --build build-tsan -j$JOBS"; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest "tsan tests" build-tsan -L threaded
fi

# The fuzz targets, built with clang's libFuzzer and run briefly: a smoke check that they
# still build and hold; long runs are made by hand (README).
if step "fuzz build" bash -c "CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_WITH_FUZZ=ON -DVORNIX_WITH_QT=OFF -DVORNIX_WITH_SIM=OFF -DVORNIX_WITH_BENCH=OFF >/dev/null && cmake --build build-fuzz --target feed_fuzz parameter_file_fuzz settings_fuzz proc_net_tcp_fuzz product_xml_fuzz event_xml_fuzz cert_text_fuzz sim_http_fuzz lumo_style_fuzz web_settings_fuzz -j$JOBS"; then
    for target in feed_fuzz parameter_file_fuzz settings_fuzz proc_net_tcp_fuzz product_xml_fuzz event_xml_fuzz cert_text_fuzz sim_http_fuzz lumo_style_fuzz web_settings_fuzz; do
        if step "fuzz $target (20 s)" build-fuzz/fuzz/$target -max_total_time=20 -rss_limit_mb=2048 -print_final_stats=1; then
            names+=("fuzz $target")
            results+=(0)
            passed_total=$((passed_total + 1))
        fi
    done
fi

# The Windows backend, cross-compiled and run under Wine.
if [ -x scripts/wine-tests.sh ]; then
    echo "=== wine"
    run_logged "wine tests" scripts/wine-tests.sh
fi

echo
echo "=== summary"
for i in "${!names[@]}"; do
    if [ "${results[$i]}" -eq 0 ]; then echo "  ok      ${names[$i]}"; else echo "  FAILED  ${names[$i]}"; fi
done
echo "$passed_total passed, $failed_total failed"
exit $status
