#!/usr/bin/env bash
# Twenty runs started together each ADD their own product to one library: every addition
# survives, numbered after the previous one, and the bytes there before stay as they were.
source "$(dirname "$0")/script_lib.sh" "$@"
cd "$tmp" && mkdir sim
# Large enough that runs overlap in time: each takes its turn at the lock.
library 20000 original.cfg && cp original.cfg sim/scenery.cfg
for i in $(seq 1 20); do
  mkdir "p$i"
  # Each run keeps its output in its product folder and spells the library from there, every
  # other one in capitals where the file system ignores case.
  library=$(winpath "$tmp/p$i/../sim") && [ -n "$emu" ] && ((i % 2)) && library=${library^^}
  (tmp=$tmp/p$i; run "$library" ADD "$(winpath "$tmp")" "Product $i"; echo "$rc" > "rc$i") &
done
wait
holds "every run ended with exit code 0" [ "$(cat rc* | sort -u)" = 0 ] ||
  for i in $(seq 1 20); do [ "$(cat "rc$i")" = 0 ] || echo "run $i: $(cat "p$i/err")"; done
size=$(stat -c %s original.cfg)
holds "the original bytes are kept" cmp -s -n "$size" sim/scenery.cfg original.cfg
# Whatever order the runs took, the k-th section appended is area and layer 20000 + k.
tail -c +$((size + 1)) sim/scenery.cfg > added
order=$(grep -ao 'Title=Product [0-9]*' added | cut -d' ' -f2) k=20000
for n in $order; do
  k=$((k + 1)); section $k $k "Product $n" "$(winpath "$tmp/p$n")"
done > expected
holds "20 sections, numbered in the order they were added" \
  eval 'cmp -s added expected && [ "$(sort -u <<< "$order" | wc -l)" = 20 ]'
finish concurrency
