#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test three times: in an optimised
# build, under AddressSanitizer and UndefinedBehaviorSanitizer, and in an optimised build
# made with clang instead of g++ (so the code stays portable between the two).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

packages=(cmake make g++ clang libgtest-dev libbenchmark-dev libsuitesparse-dev locales clang-format
          pybind11-dev python3-dev python3-pytest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# A comma-decimal locale lets the formatting tests prove their locale independence.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null || echo "== no de_DE locale; its test is skipped"
fi

# Every C++ source follows the committed .clang-format.
echo "== format check"
(cd "$root" && git ls-files -z '*.h' '*.cpp' '*.inl' | xargs -0 clang-format --dry-run --Werror)

# The Python module is built for Debian's system interpreter, which also runs its tests (a
# version manager's python3 may come first on PATH).
python=/usr/bin/python3

run_suite() {
  local dir="$1"; shift
  echo "== configure $dir"
  cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE="$python" "$@" > /dev/null
  echo "== build $dir"
  cmake --build "$root/$dir" -j "$jobs"
  echo "== test $dir"
  ctest --test-dir "$root/$dir" -j "$jobs" --output-on-failure
}

# The optimised build also builds the benchmarks, so they keep compiling.
run_suite build -DEQNKIT_BENCHMARKS=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DEQNKIT_SANITIZE=ON -DEQNKIT_BENCHMARKS=OFF
run_suite build-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DEQNKIT_BENCHMARKS=OFF
echo "== all tests passed"
