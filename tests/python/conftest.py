"""What the suite of the Python module shares: the built zorvel-cli, the
bundled sample, short inputs, and the CLI's CSV read back as numbers.

CTest runs it with PYTHONPATH set to the built module and ZORVEL_CLI to the
built zorvel-cli (python/CMakeLists.txt)."""
import csv
import io
import os
import pathlib
import subprocess

import numpy as np
import pytest

import zorvel

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SAMPLE = SOURCE / "samples" / "mowa.wav"
MODES = [m["rate"] for m in zorvel.modes()]


def cli_path():
    path = os.environ.get("ZORVEL_CLI")
    if not path:
        pytest.skip("ZORVEL_CLI names no built zorvel-cli")
    return path


def run_cli(*args, check=True):
    """zorvel-cli with `args`; its completed process (text)."""
    done = subprocess.run([cli_path(), *map(str, args)], capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"zorvel-cli {' '.join(map(str, args))} failed:\n{done.stderr}")
    return done


def read_csv(text):
    """A CSV table as {column: list of cells}, in the columns' order."""
    rows = list(csv.reader(io.StringIO(text)))
    return {name: [row[i] for row in rows[1:]] for i, name in enumerate(rows[0])}


def write_samples(path, samples):
    """A file of the coder's layout: 60 bytes of zeros, then the samples."""
    path.write_bytes(bytes(60) + np.asarray(samples, dtype="<i2").tobytes())
    return path


@pytest.fixture(scope="session")
def sample():
    return zorvel.read(SAMPLE)


@pytest.fixture(scope="session")
def sample_results(sample):
    """The sample coded once in every mode, shared by the suites that compare."""
    return {mode: zorvel.Coder(mode).encode(sample) for mode in MODES}


@pytest.fixture(scope="session")
def short_inputs(tmp_path_factory, sample):
    """Two different short inputs as files: 40 frames of the sample from its
    start and from frame 150 on."""
    folder = tmp_path_factory.mktemp("short")
    return [write_samples(folder / "a.wav", sample[:6400]),
            write_samples(folder / "b.wav", sample[150 * 160:150 * 160 + 6400])]
