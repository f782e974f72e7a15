#!/usr/bin/env bash
# Installs what is missing, builds the Python module and solves a model text end to end
# through examples/solveModel.py, printing the solution. Usage: solve.sh [--complex] [model file]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The module is built for, and run by, Debian's system interpreter.
python=/usr/bin/python3

complex=()
if [ "${1:-}" = "--complex" ]; then
  complex=(--complex)
  shift
fi
model="${1:-$root/examples/models/circleLine.txt}"

# What configuring and building needs (Debian packages).
packages=(cmake make g++ libgtest-dev libsuitesparse-dev pybind11-dev python3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE="$python" > /dev/null
cmake --build "$root/build" -j "$(nproc)" --target simHostPy > /dev/null
PYTHONPATH="$root/build/pymodule" "$python" "$root/examples/solveModel.py" "${complex[@]}" "$model"
