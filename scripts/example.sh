#!/usr/bin/env bash
# Builds the toolkit and walks the example model through it: load, start values,
# compiled equations, residuals and the symbolic Jacobian.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
model="${1:-$root/examples/models/circleLine.txt}"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$root/build" -j "$(nproc)" --target explainModel > /dev/null
"$root/build/examples/explainModel" "$model"
