#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The Quillery developers
# Shared helpers for the build scripts: package installation and configuration.
set -euo pipefail

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages the build and the tests need on a fresh machine.
QUILLERY_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libzip-dev libdeflate-dev libarchive-dev liblzma-dev libseccomp-dev libre2-dev libgtest-dev
    fonts-dejavu-core zip unzip p7zip-full scdoc
    clang-format clang-tidy
)

# What scripts/package needs beside them.
QUILLERY_PACKAGE_TOOLS=(dpkg-dev fakeroot file lintian appstream)

# Installs the packages that are missing; does nothing when all are present.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
    local dir="$1"
    shift
    cmake -S "$REPO_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# The fuzz targets, their build (clang with libFuzzer) and one run of a target.
QUILLERY_FUZZERS=(unzip matcher command_line audit patterns index reader)
QUILLERY_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

build_fuzzers() {
    ensure_packages "${QUILLERY_PACKAGES[@]}" "${QUILLERY_FUZZ_PACKAGES[@]}"
    CC=clang CXX=clang++ configure_and_build "$REPO_ROOT/build/fuzz" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLERY_FUZZ=ON -DQUILLERY_SANITIZE=ON \
        -DQUILLERY_TESTS=OFF
}

# run_fuzzer TARGET NEW_INPUTS_DIR [libFuzzer options...]: runs one target over its corpus and
# seeds; inputs that reach new code are written to NEW_INPUTS_DIR. The archive targets (unzip,
# reader) also start from the archives of every format that the tests write into
# QUILLERY_FUZZ_SEEDS (see KeepAsFuzzSeed), when it names a folder. An allocation of more
# than 1 GiB returns null (AddressSanitizer's max_allocation_size_mb), as a reader's memory
# limit makes it do, instead of ending the run: a library that asks for that much on an
# archive's say-so (an LZMA dictionary, say) has to cope with the refusal. libFuzzer's own
# malloc limit, which reports any such allocation as a finding, lies above it. Fails when
# the target fails or leaves an input in fuzz/.
run_fuzzer() {
    local target="$1"
    local found="$2"
    shift 2
    local corpus="$REPO_ROOT/fuzz/corpus/$target"
    local seeds="$REPO_ROOT/fuzz/seeds/$target"
    mkdir -p "$corpus" "$seeds" "$found"
    echo "fuzz_$target $*"
    local dirs=("$found")
    if [ "$found" != "$corpus" ]; then
        dirs+=("$corpus")
    fi
    dirs+=("$seeds")
    if [[ ("$target" == unzip || "$target" == reader) && -d "${QUILLERY_FUZZ_SEEDS:-}" ]]; then
        dirs+=("$QUILLERY_FUZZ_SEEDS")
    fi
    local log status=0
    log="$(mktemp)"
    (cd "$REPO_ROOT/fuzz" &&
        ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024" \
        "$REPO_ROOT/build/fuzz/fuzz/fuzz_$target" -timeout=20 -rss_limit_mb=3000 \
        -malloc_limit_mb=2048 -print_final_stats=1 "$@" "${dirs[@]}") >"$log" 2>&1 || status=$?
    grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|INFO: seed|==[0-9]+==|SUMMARY|Done)" \
        "$log" | grep -v "WARNING: AddressSanitizer failed to allocate" || true
    local kind left=0
    for kind in crash timeout leak oom; do
        if compgen -G "$REPO_ROOT/fuzz/$kind-*" >/dev/null; then
            left=1
        fi
    done
    if [ "$status" -ne 0 ] || [ "$left" -ne 0 ]; then
        tail -n 40 "$log" >&2
        rm -f "$log"
        echo "fuzz_$target found a problem (exit status $status); the input is in fuzz/" >&2
        return 1
    fi
    rm -f "$log"
}
