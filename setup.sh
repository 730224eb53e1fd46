#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for the suite and builds it.
#
#   ./setup.sh run        install what is missing, build the Release tree, and run the suite's
#                         main job on its built-in defaults: the sample project is made from its
#                         JSON form, checked and described, turned into its panel image, its PLC
#                         lines printed to a PDF file, and sent to a simulated 16 MB card (made on
#                         first use), whose contents are then listed
#   ./setup.sh card-demo  install what is missing, build the Release tree, and run the card
#                         loader on the simulated card: format, code file, font set, ROM file,
#                         then the card's code versions, information and contents
#   ./setup.sh package    install what is missing, build the Release tree, and make its Debian
#                         package, checked as the install test checks it (nothing instrumented)
#   ./setup.sh test       install what is missing, build the sanitizer tree, run every test
#                         (the CI command)
#   ./setup.sh build      install what is missing and build the sanitizer tree
#
# Two build trees; each puts every program, library and data file into its bin/ folder, the
# program folder:
#   build-release/  the users' tree: the deliverables only (programs, libraries, data; no tests,
#                   fuzz targets, benchmarks or galleries), optimised, without sanitizers, with
#                   the system compiler, whose warnings do not stop the build (CI keeps the
#                   code free of warnings in the other tree)
#   build/          the developers' and CI's tree: clang with AddressSanitizer and
#                   UndefinedBehaviorSanitizer, and everything, the libFuzzer targets included,
#                   which the tests run briefly
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev xvfb xauth poppler-utils
    qt6-image-formats-plugins libmagick++-6.q16-dev
    libcli11-dev nlohmann-json3-dev libsimdjson-dev dpkg-dev
    help2man lintian appstream bash-completion
)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    fi
    cmake --build build
}

build_release() {
    if [ ! -f build-release/CMakeCache.txt ]; then
        cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRA_SANITIZE=OFF \
            -DKESTRA_TESTS=OFF -DKESTRA_BENCH=OFF -DKESTRA_WARNINGS_AS_ERRORS=OFF
    fi
    cmake --build build-release
}

run_tests() {
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$(nproc)"
}

# The main job, in the program folder, on the configured card reader (the simulated reader and
# card by default; see the README): every step stops the chain when it fails.
run_main_job() {
    cd build-release/bin
    ./kestra import samples/sample-project.json -o sample.kpr
    ./kestra check sample.kpr
    ./kestra info sample.kpr
    ./kestra panel-image sample.kpr -o sample.img --check
    ./kestra print sample.kpr --pdf sample-plc-lines.pdf
    ./kestra card send sample.kpr
    ./kestra card list
}

# The card loader's demonstration run, in the program folder, on the configured card reader
# (the simulated reader and card by default; see the README).
run_card_loader() {
    cd build-release/bin
    ./cardload /format /font samples/Sample /rom samples/sample.rom
    ./cardload /firm samples/firm_sample.bin
    ./cardload /ver /info
    ./cardload /dump ""
}

# The Debian package of the Release tree, after the install test's checks have passed on it.
make_package() {
    rm -f build-release/kestra-panel-tools_*.deb
    cmake -DBUILD_DIR=build-release -DWORK_DIR=build-release/package-check -DSANITIZED=OFF \
        -DPACKAGE_OUT=build-release -P tests/install/check_install.cmake
    echo "Package: $(ls build-release/kestra-panel-tools_*.deb)"
}

case "${1:-test}" in
    run) install_missing; build_release; run_main_job ;;
    card-demo) install_missing; build_release; run_card_loader ;;
    package) install_missing; build_release; make_package ;;
    build) install_missing; build ;;
    test) install_missing; build; run_tests ;;
    *) echo "usage: $0 [run|card-demo|package|test|build]" >&2; exit 2 ;;
esac
