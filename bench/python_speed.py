#!/usr/bin/env python3
"""The Python module's speed, run by hand from the release build:

    PYTHONPATH=build/release/python python3 bench/python_speed.py

1. Coding through Python against zorvel-cli encode on the same input (the
   sample repeated to about a minute), each reading the file and writing the
   output: the ratio of their speeds (1 = as fast as the CLI).
2. Two threads, each coding its own input, against one thread coding both one
   after the other: the speed-up the released interpreter lock gives; beside
   it the same for two zorvel-cli processes, which is what the machine's
   cores give at the moment (other work on them lowers both alike).

Each time is the best of --repeats runs, so that other work on the machine
counts as little as it can."""
import argparse
import concurrent.futures
import os
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np

import zorvel

SOURCE = pathlib.Path(__file__).resolve().parents[1]


def best_of(repeats, run):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def cpu_seconds():
    """Processor time of this process and of its children that have ended."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def best_cpu_of(repeats, run):
    """The least processor time of `repeats` runs: what other work on a
    shared machine changes least."""
    times = []
    for _ in range(repeats):
        start = cpu_seconds()
        run()
        times.append(cpu_seconds() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=str(SOURCE / "build" / "release" / "cli" / "zorvel-cli"))
    parser.add_argument("--mode", default="12.2")
    parser.add_argument("--copies", type=int, default=10, help="sample repeats in the input")
    parser.add_argument("--repeats", type=int, default=5)
    a = parser.parse_args()

    sample = zorvel.read(SOURCE / "samples" / "mowa.wav")
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        inputs = []
        for k, samples in enumerate((np.tile(sample, a.copies), np.tile(sample[::-1], a.copies))):
            path = folder / f"input{k}.wav"
            path.write_bytes(bytes(60) + samples.astype("<i2").tobytes())
            inputs.append(path)
        seconds = len(zorvel.read(inputs[0])) / 8000
        coder = zorvel.Coder(a.mode)

        def python_run():
            (folder / "python.wav").write_bytes(coder.encode(zorvel.read(inputs[0])).wav())

        def cli_run():
            subprocess.run([a.cli, "encode", inputs[0], "-m", a.mode, "-o", folder / "cli.wav",
                            "-y", "-j", "1"], check=True, stdout=subprocess.DEVNULL)

        python_time = best_of(a.repeats, python_run)
        cli_time = best_of(a.repeats, cli_run)
        python_cpu = best_cpu_of(a.repeats, python_run)
        cli_cpu = best_cpu_of(a.repeats, cli_run)
        same = (folder / "python.wav").read_bytes() == (folder / "cli.wav").read_bytes()
        print(f"input: {seconds:.1f} s of speech, mode {a.mode}, best of {a.repeats}")
        print(f"zorvel-cli encode   {cli_time:7.3f} s  {seconds / cli_time:6.1f} x real time"
              f"  ({cli_cpu:.3f} s of processor time)")
        print(f"Python encode       {python_time:7.3f} s  {seconds / python_time:6.1f} x real time"
              f"  ({python_cpu:.3f} s of processor time; same bytes: {same})")
        print(f"Python / CLI speed  {cli_time / python_time:.3f} by the clock, "
              f"{cli_cpu / python_cpu:.3f} by processor time  (>= 0.95 wanted)")

        arrays = [zorvel.read(path) for path in inputs]
        one = best_of(a.repeats, lambda: [coder.encode(x) for x in arrays])
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            two = best_of(a.repeats, lambda: list(pool.map(coder.encode, arrays)))
            # Processor time over clock time of the two threads: above 1 only
            # when both coded at once, whatever else the cores run.
            start, clock = cpu_seconds(), time.perf_counter()
            list(pool.map(coder.encode, arrays))
            busy = (cpu_seconds() - start) / (time.perf_counter() - clock)
        print(f"one thread, both inputs   {one:7.3f} s")
        print(f"two threads side by side  {two:7.3f} s  (cores busy at once: {busy:.2f})")
        print(f"speed-up                  {one / two:.3f}  (>= 1.8 wanted on {os.cpu_count()} cores)")

        def cli_processes(side_by_side):
            commands = [[a.cli, "encode", path, "-m", a.mode, "-o", folder / f"cli{k}.wav", "-y",
                         "-j", "1"] for k, path in enumerate(inputs)]
            if side_by_side:
                running = [subprocess.Popen(c, stdout=subprocess.DEVNULL) for c in commands]
                assert all(process.wait() == 0 for process in running)
            else:
                for command in commands:
                    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)

        one = best_of(a.repeats, lambda: cli_processes(False))
        two = best_of(a.repeats, lambda: cli_processes(True))
        print(f"two zorvel-cli processes: speed-up {one / two:.3f} (the machine's cores now)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
