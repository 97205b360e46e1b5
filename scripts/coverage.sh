#!/usr/bin/env bash
# Line and branch coverage of the Linux build, per folder of the product (src, platform,
# hostsim, tools), from one run of the whole Linux test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if ! command -v gcovr >/dev/null; then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends gcovr
fi

build=build/linux-coverage
cmake --preset linux-coverage >/dev/null
cmake --build --preset linux-coverage
find "$build" -name '*.gcda' -delete
ctest --preset linux-coverage

# gcovr searches only the build tree for coverage data: the Wine prefix of a windows build
# links its drive z: to /, which would lead a search from the source root into every tree.
# gcovr's summary of one folder: "lines: P% (covered out of total)" and the same for branches.
printf '%-9s %-30s %s\n' folder lines branches
for folder in src platform hostsim tools; do
  summary=$(gcovr --root . --object-directory "$build" --filter "$folder/" \
                  --exclude-throw-branches --exclude-unreachable-branches \
                  --gcov-ignore-parse-errors --print-summary --output "$build/coverage-$folder.txt" \
                  "$build")
  lines=$(echo "$summary" | sed -n 's/^lines: //p')
  branches=$(echo "$summary" | sed -n 's/^branches: //p')
  printf '%-9s %-30s %s\n' "$folder" "$lines" "$branches"
done
