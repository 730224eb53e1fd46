#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for the suite and builds it.
#
#   ./setup.sh run        install what is missing, build, and run the suite's main job on its
#                         built-in defaults: the sample project is made from its JSON form,
#                         checked and described, turned into its panel image, its PLC lines
#                         printed to a PDF file, and sent to a simulated 16 MB card (made on
#                         first use), whose contents are then listed
#   ./setup.sh card-demo  install what is missing, build, and run the card loader on the
#                         simulated card: format, code file, font set, ROM file, then the
#                         card's code versions, information and contents
#   ./setup.sh test       install what is missing, build, run every test (the CI command)
#   ./setup.sh build      install what is missing and build
#
# The build tree is build/; every program, library and data file lands in build/bin/. It is
# built with clang, AddressSanitizer and UndefinedBehaviorSanitizer, so that the same tree also
# holds the libFuzzer targets that the tests run briefly.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev xvfb xauth poppler-utils
    qt6-image-formats-plugins libmagick++-6.q16-dev
    libcli11-dev nlohmann-json3-dev libsimdjson-dev dpkg-dev
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

run_tests() {
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$(nproc)"
}

# The main job, in the program folder, on the configured card reader (the simulated reader and
# card by default; see the README): every step stops the chain when it fails.
run_main_job() {
    cd build/bin
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
    cd build/bin
    ./cardload /format /font samples/Sample /rom samples/sample.rom
    ./cardload /firm samples/firm_sample.bin
    ./cardload /ver /info
    ./cardload /dump ""
}

case "${1:-test}" in
    run) install_missing; build; run_main_job ;;
    card-demo) install_missing; build; run_card_loader ;;
    build) install_missing; build ;;
    test) install_missing; build; run_tests ;;
    *) echo "usage: $0 [run|card-demo|test|build]" >&2; exit 2 ;;
esac
