# A corpus coded with zorvel-cli by Snakemake: the list cut into SHARDS
# parts, each part coded in each mode as a job of its own (one core each),
# the records of all parts merged by `zorvel-cli aggregate` into one table.
# A job that is stopped and started again codes only what is missing: the
# records go to a .part file, which zorvel-cli appends to, and are named only
# when the part is whole.
#
#   snakemake -s scripts/corpus.smk --cores 2 \
#     --config list=files.txt shards=4 modes="12.2 4.75" out=coded
#
# config: list (one path a line, required), shards (default 4), modes
# (default "12.2"), out (default "coded"), cli (default "zorvel-cli").
LIST = config["list"]
SHARDS = int(config.get("shards", 4))
MODES = str(config.get("modes", "12.2")).split()
OUT = config.get("out", "coded")
CLI = config.get("cli", "zorvel-cli")


rule all:
    input:
        f"{OUT}/corpus.csv",


rule shard:
    input:
        LIST,
    output:
        f"{OUT}/records/{{mode}}-{{shard}}.jsonl",
    threads: 1
    shell:
        "{CLI} encode --files-from {input} --shard {wildcards.shard}/{SHARDS}"
        " -m {wildcards.mode} -d {OUT}/{wildcards.mode} --jsonl {output}.part"
        " --skip-existing -j {threads} > /dev/null && mv {output}.part {output}"


rule aggregate:
    input:
        expand(f"{OUT}/records/{{mode}}-{{shard}}.jsonl", mode=MODES, shard=range(1, SHARDS + 1)),
    output:
        f"{OUT}/corpus.csv",
    shell:
        "{CLI} aggregate --csv {input} > {output}"
