#!/bin/sh
# A Slurm cluster of one node on this machine, to run the corpus recipe of
# the README for real: installs Debian's slurm-wlm and munge when missing
# (as root), writes a slurm.conf for this host and its CPUs into a work
# directory, starts munged, slurmctld and slurmd, submits the job array (one
# task per shard, each `zorvel-cli encode --shard $SLURM_ARRAY_TASK_ID/N`),
# waits for it, runs `zorvel-cli aggregate` over the shards' records and
# compares the table byte for byte with that of one run over the whole list.
# Stops the daemons it started on the way out. Not part of the test suite:
# it needs root and starts system daemons.
#
# Usage: sudo scripts/slurm-one-node.sh [ZORVEL_CLI] [SHARDS]
#   ZORVEL_CLI  default build/release/cli/zorvel-cli
#   SHARDS      default 4
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(realpath "${1:-$root/build/release/cli/zorvel-cli}")
shards=${2:-4}
[ "$(id -u)" -eq 0 ] || { echo "run as root: it installs packages and starts daemons"; exit 1; }
[ -x "$cli" ] || { echo "no zorvel-cli at $cli: build it first"; exit 1; }

missing=""
for p in slurm-wlm munge; do
  dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "install ok installed" ||
    missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "== installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing > /dev/null
fi

work=$(mktemp -d /tmp/zorvel-slurm.XXXXXX)
chmod 755 "$work"
host=$(hostname -s)
cpus=$(nproc)
stop() {
  status=$?
  echo "== stopping the daemons"
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
    [ -s "$pidfile" ] && kill "$(cat "$pidfile")" 2> /dev/null || true
  done
  sleep 1
  echo "== work directory (logs): $work"
  exit "$status"
}
trap stop EXIT INT TERM

echo "== munge"
mkdir -p "$work/munge"
chown munge:munge "$work/munge"
if [ ! -s /etc/munge/munge.key ]; then
  mungekey --create --keyfile=/etc/munge/munge.key 2> /dev/null ||
    dd if=/dev/urandom bs=1 count=1024 of=/etc/munge/munge.key 2> /dev/null
  chown munge:munge /etc/munge/munge.key
  chmod 400 /etc/munge/munge.key
fi
mkdir -p /run/munge /var/log/munge /var/lib/munge
chown munge:munge /run/munge /var/log/munge /var/lib/munge
runuser -u munge -- munged --pid-file="$work/munge/munged.pid"
munge -n | unmunge > /dev/null || { echo "munge does not work"; exit 1; }

echo "== slurm.conf for $host with $cpus CPUs"
mkdir -p "$work/state" "$work/spool"
export SLURM_CONF="$work/slurm.conf"
cat > "$SLURM_CONF" << CONF
ClusterName=zorvel
SlurmctldHost=$host
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
NodeName=$host CPUs=$cpus State=UNKNOWN
PartitionName=corpus Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF

echo "== starting slurmctld and slurmd"
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
looks=0
until sinfo -h -o %T 2> /dev/null | grep -q idle; do
  looks=$((looks + 1))
  [ "$looks" -lt 60 ] || { echo "the node did not come up:"; sinfo; tail "$work"/*.log; exit 1; }
  sleep 1
done
sinfo

echo "== corpus and one run over the whole list"
cd "$work"
"$root/scripts/corpus-from-sample.sh" "$root/samples/mowa.wav" corpus 8
find "$work/corpus" -name '*.wav' | sort > list
"$cli" encode --files-from list -d single --jsonl single.jsonl > /dev/null
"$cli" aggregate --csv single.jsonl > single.csv

echo "== the job array: $shards tasks"
cat > shard.sbatch << JOB
#!/bin/sh
#SBATCH --job-name=zorvel-corpus
#SBATCH --cpus-per-task=1
#SBATCH --output=$work/shard-%a.out
exec "$cli" encode --files-from "$work/list" --shard "\$SLURM_ARRAY_TASK_ID/$shards" \\
  -d "$work/out" --jsonl "$work/part-\$SLURM_ARRAY_TASK_ID.jsonl" --skip-existing -j 1
JOB
job=$(sbatch --parsable --array=1-"$shards" shard.sbatch)
echo "submitted job $job"
looks=0
while [ -n "$(squeue -h -j "$job" 2> /dev/null)" ]; do
  looks=$((looks + 1))
  [ "$looks" -lt 600 ] || { echo "the array did not finish in 10 minutes"; squeue; exit 1; }
  sleep 1
done
sacct -j "$job" 2> /dev/null || true
cat "$work"/shard-*.out

echo "== aggregate of the shards against the one run"
"$cli" aggregate part-*.jsonl
"$cli" aggregate --csv part-*.jsonl > shards.csv
if cmp single.csv shards.csv; then
  echo "the aggregate of $shards Slurm tasks equals the one run, byte for byte"
else
  echo "the aggregate of the Slurm tasks differs from the one run"
  diff single.csv shards.csv || true
  exit 1
fi
