#!/usr/bin/env python3
"""Codes a recording in all eight modes and draws two figures with matplotlib:
the SNR of every frame in each mode (snr_per_frame.png) and the sweep's
segmental and overall SNR against the bit rate (sweep.png).

    PYTHONPATH=build/release/python python3 examples/modes_and_sweep.py \\
        samples/mowa.wav -o /tmp/figures

Any recording is taken: one of another format is converted as
`zorvel-cli import` converts it."""
import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")  # files only, no display needed
import matplotlib.pyplot as plt
import numpy as np

import zorvel


def load(path):
    """The samples of `path`, converted when it is not 8 kHz mono 16-bit."""
    try:
        return zorvel.read(path)
    except OSError as refused:
        if refused.errno is not None:
            raise  # a file that cannot be read at all
        samples, info = zorvel.import_recording(path)
        print(f"{path}: converted from {info['description']}")
        return samples


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input", type=pathlib.Path)
    parser.add_argument("-o", "--output", type=pathlib.Path, default=pathlib.Path("."),
                        help="folder of the figures (default: here)")
    arguments = parser.parse_args()
    arguments.output.mkdir(parents=True, exist_ok=True)
    samples = load(arguments.input)

    figure, axes = plt.subplots(figsize=(10, 5))
    for mode in zorvel.modes():
        result = zorvel.Coder(mode["rate"]).encode(samples)
        seconds = (result.frames["frameCount"] - 0.5) * 160 / 8000
        axes.plot(seconds, result.frames["frameSnr"], linewidth=0.8,
                  label=f"{mode['rate']} kbit/s ({result.segmental_snr:.1f} dB)")
        print(f"{mode['rate']:>5} kbit/s: {result.frame_count} frames, "
              f"SNRseg {result.segmental_snr:.2f} dB, SNR {result.overall_snr:.2f} dB")
    axes.set(xlabel="time [s]", ylabel="frame SNR [dB]",
             title=f"SNR per frame: {arguments.input.name}")
    axes.grid(alpha=0.3)
    axes.legend(fontsize="small", ncol=2)
    figure.tight_layout()
    figure.savefig(arguments.output / "snr_per_frame.png", dpi=100)

    table = zorvel.sweep([samples], threads=2)
    rows = table["file"] != "(total)"
    figure, axes = plt.subplots(figsize=(6, 4))
    rate = table["bit_rate_kbps"][rows]
    order = np.argsort(rate)
    for column, label in (("segmental_snr_db", "SNRseg"), ("overall_snr_db", "SNR")):
        axes.plot(rate[order], table[column][rows][order], marker="o", label=label)
    axes.set(xlabel="bit rate [kbit/s]", ylabel="[dB]", title="The eight modes")
    axes.grid(alpha=0.3)
    axes.legend()
    figure.tight_layout()
    figure.savefig(arguments.output / "sweep.png", dpi=100)
    print(f"figures written to {arguments.output}")


if __name__ == "__main__":
    main()
