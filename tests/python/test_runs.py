"""Runs as a user drives them: a thousand encodes in a loop, threads side by
side, arrays that outlive their coder, the sweep and the ablation against
the command line's tables."""
import concurrent.futures
import gc
import sys
import threading

import numpy as np
import pytest

import zorvel
from conftest import SAMPLE, read_csv, run_cli


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def test_a_thousand_encodes_keep_memory_flat(sample):
    samples = sample[:4 * 160]
    coder = zorvel.Coder("12.2")

    def encode_and_touch():
        result = coder.encode(samples, measures=True)
        assert result.frames["frameSnr"].shape == (4,)
        assert result.signals(1)["speech"].shape == (160,)
        return result.synthesis

    for _ in range(100):  # the allocator's pools settle
        encode_and_touch()
    gc.collect()
    before = resident_kib()
    for _ in range(1000):
        encode_and_touch()
    gc.collect()
    grown = resident_kib() - before
    # One leaked result (its coder, records and arrays) is well over 100 KiB.
    assert grown < 2048, f"resident memory grew by {grown} KiB over 1000 encodes"


def test_two_threads_give_the_bytes_of_one_at_a_time(short_inputs):
    inputs = [zorvel.read(path) for path in short_inputs]
    jobs = [(mode, samples) for mode in ("12.2", "4.75") for samples in inputs]
    alone = [zorvel.Coder(mode).encode(samples) for mode, samples in jobs]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        together = list(pool.map(lambda job: zorvel.Coder(job[0]).encode(job[1]), jobs * 2))
    for k, result in enumerate(together):
        first = alone[k % len(jobs)]
        assert result.wav() == first.wav()
        assert result.wav(post_processed=True) == first.wav(post_processed=True)
        np.testing.assert_array_equal(result.frames["pulsePositions"],
                                      first.frames["pulsePositions"])
    assert alone[0].wav() != alone[1].wav()


def test_arrays_stay_valid_after_the_coder_and_the_result_are_gone(sample):
    result = zorvel.Coder("5.90").encode(sample[:30 * 160])
    kept = {"synthesis": result.synthesis, "post_float": result.post_float,
            "lags": result.frames["pitchLag"], "signals": result.signals(3)["excitation"]}
    copies = {name: array.copy() for name, array in kept.items()}
    assert kept["synthesis"].base is not None  # a view of the core's memory, not a copy
    del result
    gc.collect()
    # New runs reuse freed memory: overwritten arrays would show it.
    for _ in range(5):
        zorvel.Coder("12.2").encode(sample[:30 * 160][::-1].copy())
    for name, array in kept.items():
        np.testing.assert_array_equal(array, copies[name], err_msg=name)
    imported, _ = zorvel.import_recording(SAMPLE)
    view = imported[100:200]
    copy = view.copy()
    del imported
    gc.collect()
    zorvel.import_recording(SAMPLE)
    np.testing.assert_array_equal(view, copy)


def test_the_sweep_is_the_command_lines_table(short_inputs):
    table = zorvel.sweep(short_inputs, settings={"gamma1": 0.9}, threads=2, measures=True)
    cli = read_csv(run_cli("sweep", *short_inputs, "--set", "gamma1=0.9", "--csv",
                           "--measures", "-j", "2").stdout)
    assert list(table) == list(cli)
    assert list(table["file"]) == cli["file"]
    for name in list(cli)[1:]:
        expected = np.array([float(c) if c else np.nan for c in cli[name]])
        np.testing.assert_array_equal(table[name].astype(float), expected, err_msg=name)
    # Arrays are taken as inputs too, and give the same figures.
    arrays = zorvel.sweep([zorvel.read(p) for p in short_inputs], settings={"gamma1": 0.9})
    np.testing.assert_array_equal(arrays["overall_snr_db"], table["overall_snr_db"])


def test_the_ablation_is_the_command_lines_table(short_inputs):
    table = zorvel.ablation(short_inputs[:1], modes=["12.2", "5.15"], threads=2)
    cli = read_csv(run_cli("sweep", short_inputs[0], "--ablation", "-m", "12.2", "-m", "5.15",
                           "--csv", "-j", "2").stdout)
    assert list(table) == list(cli)
    assert list(table["row"]) == cli["row"]
    for name in ("mode", "rate_kbps", "frames", "segmental_snr_db", "overall_snr_db",
                 "segmental_change_db", "overall_change_db"):
        np.testing.assert_array_equal(table[name].astype(float),
                                      np.array([float(c) for c in cli[name]]), err_msg=name)
    varied = zorvel.ablation(short_inputs[:1], modes="7.95", vary="gamma1=0.8:0.9:0.05")
    np.testing.assert_allclose(varied["value"][1:], [0.8, 0.85, 0.9])
    with pytest.raises(ValueError) as refused:
        zorvel.ablation(short_inputs[:1], vary="gamma1=0.9:0.8:0.1")
    reason = run_cli("sweep", short_inputs[0], "--vary", "gamma1=0.9:0.8:0.1",
                     check=False).stderr
    assert str(refused.value) in reason


def test_encoding_lets_other_threads_run(sample):
    # With a switch interval longer than any run, a thread holding the
    # interpreter's lock keeps it until it lets it go: the main thread gets
    # it while the worker codes only when encode releases it.
    samples = np.tile(sample, 20)  # some 110 s of speech: a long run
    coder = zorvel.Coder("12.2")
    started, done = threading.Event(), threading.Event()

    def work():
        started.set()
        coder.encode(samples)
        done.set()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    try:
        worker = threading.Thread(target=work)
        worker.start()
        started.wait()
        coding_meanwhile = not done.is_set()
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert coding_meanwhile, "the main thread ran only once the encode had ended"
