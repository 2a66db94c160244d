#!/bin/sh
# A corpus coded as four shards through GNU parallel, as the README's recipe
# runs it: the aggregate of the shards' records must be byte for byte the
# aggregate of one run over the whole list. Then the same run killed once its
# first output is there (parallel and every job it started) and resumed with
# parallel --resume-failed and zorvel-cli --skip-existing must give that table
# again, with every output equal to the one run's.
#
# Usage: parallel_shards.sh ZORVEL_CLI SAMPLE. Exits 77 (skipped) when GNU
# parallel is not installed (scripts/install-deps.sh installs it).
set -eu
cli=$(realpath "$1")
sample=$(realpath "$2")
scripts=$(dirname "$(realpath "$0")")/../../scripts
command -v parallel >/dev/null 2>&1 || { echo "GNU parallel is not installed"; exit 77; }
parallel --version 2>/dev/null | grep -q "GNU parallel" || { echo "parallel is not GNU parallel"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Eight inputs of different lengths, long enough for a run to be killed.
"$scripts/corpus-from-sample.sh" "$sample" corpus 8
find corpus -name '*.wav' -print0 | sort -z > list0

fail() { echo "FAIL: $*"; exit 1; }

# One run over the whole list.
"$cli" encode --files-from list0 -0 -d single --jsonl single.jsonl -j 2 > /dev/null
"$cli" aggregate --csv single.jsonl > single.csv
[ "$(wc -l < single.csv)" -eq 2 ] || fail "the table of one run has not one row: $(cat single.csv)"
grep -q '^default,1,12.2,8,0,' single.csv || fail "not 8 files coded: $(cat single.csv)"

# Four shards through parallel.
parallel --will-cite -j 4 --joblog shards.log \
  "$cli" encode --files-from list0 -0 --shard {}/4 -d shards --jsonl part{}.jsonl -j 1 ::: 1 2 3 4 \
  > /dev/null
"$cli" aggregate --csv part1.jsonl part2.jsonl part3.jsonl part4.jsonl > shards.csv
cmp single.csv shards.csv || fail "the shards' aggregate differs from one run's"
[ "$(ls shards | wc -l)" -eq 8 ] || fail "the shards did not write 8 outputs"

# The same, killed once its first output is there, then resumed: the job
# line of the README's recipe, with --skip-existing from the first run on.
cat > shards.sh <<SHARDS
#!/bin/sh
exec parallel --will-cite -j 4 --joblog resume.log "\$@" '$cli' encode --files-from list0 -0 \\
  --shard {}/4 -d resumed --jsonl resumed{}.jsonl --skip-existing -j 1 ::: 1 2 3 4
SHARDS
chmod +x shards.sh
mkdir resumed
# A session of its own, so that one signal ends parallel and every job it started.
setsid ./shards.sh > /dev/null 2>&1 &
group=$!
looks=0
while [ -z "$(find resumed -name '*_sout.wav' -print -quit)" ]; do
  looks=$((looks + 1))
  [ "$looks" -lt 6000 ] || fail "no output after a minute"
  sleep 0.01
done
# Every process of the session at once, as a power cut would end them:
# parallel gives each job a process group of its own, so the session is what
# they share. Found through perl, which parallel runs on.
perl -e 'opendir(my $d, "/proc") or die;
  for my $pid (grep { /^\d+$/ } readdir $d) {
    open(my $f, "<", "/proc/$pid/stat") or next;
    my @field = split / /, (<$f> =~ s/^.*\) //r);
    kill "KILL", $pid if $field[3] == $ARGV[0];
  }' "$group"
wait "$group" 2> /dev/null || true
done_before=$(find resumed -name '*_sout.wav' | wc -l)
[ "$done_before" -lt 8 ] || fail "the run ended before it was killed"
./shards.sh --resume-failed > /dev/null 2> resume.err || fail "the resumed run failed: $(cat resume.err)"
grep -q "files skipped: their outputs exist" resume.err || fail "no count of skipped files"
"$cli" aggregate --csv resumed*.jsonl > resumed.csv
cmp single.csv resumed.csv || fail "the resumed run's aggregate differs from one run's"
for f in single/*; do
  cmp "$f" "resumed/$(basename "$f")" || fail "output $(basename "$f") differs"
done
[ "$(ls -A resumed | wc -l)" -eq 8 ] || fail "leftovers in the outputs: $(ls -A resumed)"
echo "4 shards through GNU parallel: aggregate equals one run; killed with $done_before of 8 outputs and resumed: equal too"
