"""The coder's output through Python is the command line's, byte for byte:
the golden digests of the sample in every mode and option, the frames
export's fields in every mode, and each frame's signals."""
import hashlib
import json
import re

import numpy as np
import pytest

import zorvel
from conftest import MODES, SAMPLE, SOURCE, read_csv, run_cli

GOLDEN = SOURCE / "tests" / "cli" / "golden_encode.inc"


def golden_digests():
    """The digests of the files zorvel-cli encode writes, by file name."""
    text = GOLDEN.read_text()
    return dict(re.findall(r'\{"([^"]+)", "([0-9a-f]{64})"\}', text))


def output_name(mode, post, adaptive):
    suffix = [m["file_suffix"] for m in zorvel.modes() if m["rate"] == mode][0]
    return f"mowa.wav{suffix}_{'spout' if post else 'sout'}{'' if adaptive else '_noadapt'}.wav"


@pytest.mark.parametrize("mode", MODES)
def test_golden_digests_of_the_sample(mode, sample, sample_results):
    digests = golden_digests()
    noadapt = zorvel.Coder(mode, {"adaptive-codebook": False}).encode(sample)
    for adaptive, result in ((True, sample_results[mode]), (False, noadapt)):
        for post in (False, True):
            wav = result.wav(post_processed=post)
            name = output_name(mode, post, adaptive)
            assert hashlib.sha256(wav).hexdigest() == digests[name], name
            written = result.post if post else result.synthesis
            assert written.dtype == np.int16
            assert wav[60:] == written.tobytes()
    # The written samples are the computed ones truncated and clipped.
    result = sample_results[mode]
    expected = np.clip(np.trunc(result.synthesis_float), -32767, 32767).astype(np.int16)
    np.testing.assert_array_equal(result.synthesis, expected)
    assert result.frame_count == len(sample) // 160
    assert len(result.synthesis) == result.frame_count * 160


def assert_frames_equal_csv(frames, table):
    """Every field of `frames` against its CSV column (list fields: name_0,
    name_1, ...), as the exact doubles the CSV's shortest texts give."""
    columns = []
    for name, values in frames.items():
        if values.ndim == 1:
            columns.append(name)
            cells = table[name]
            expected = np.array([float(c) if c else np.nan for c in cells])
            np.testing.assert_array_equal(values.astype(float), expected, err_msg=name)
        else:
            for i in range(values.shape[1]):
                column = f"{name}_{i}"
                columns.append(column)
                expected = np.array([float(c) for c in table[column]])
                np.testing.assert_array_equal(values[:, i].astype(float), expected,
                                              err_msg=column)
    assert columns == list(table), "the same columns in the same order"


@pytest.mark.parametrize("mode", MODES)
def test_frames_equal_the_csv_export(mode, sample_results):
    table = read_csv(run_cli("frames", SAMPLE, "-m", mode, "-o", "-").stdout)
    frames = sample_results[mode].frames
    assert frames["frameCount"].dtype == np.int32
    assert frames["pulsePositions"].shape[0] == sample_results[mode].frame_count
    assert_frames_equal_csv(frames, table)


def test_frames_and_measures_with_settings_equal_the_csv_exports(sample, tmp_path):
    # A fine lag adds pitchLagFine; the distances follow the parameters.
    path = tmp_path / "short.wav"
    path.write_bytes(bytes(60) + sample[:80 * 160].astype("<i2").tobytes())
    settings = {"pitch-resolution": "1/3", "gamma1": 0.9}
    options = ["-m", "7.95", "--set", "pitch-resolution=1/3", "--set", "gamma1=0.9"]
    result = zorvel.Coder("7.95", settings).encode(zorvel.read(path), measures=True,
                                                   post_processed=True)
    assert result.frame_count == 80
    assert "pitchLagFine" in result.frames
    table = read_csv(run_cli("frames", path, *options, "--measures", "--post", "-o", "-").stdout)
    assert_frames_equal_csv(result.frames, table)
    # The file's means, STOI and ESTOI are the encoding run's.
    figures = read_csv(run_cli("encode", path, *options, "--post", "--measures", "--csv",
                               "-d", tmp_path).stdout)
    assert set(result.measures) <= set(figures)
    for name, value in result.measures.items():
        assert value == float(figures[name][0]), name
    assert result.segmental_snr == float(figures["segmental_snr_db"][0])


def test_signals_equal_the_json_export_and_their_spectra(short_inputs):
    path = short_inputs[0]
    result = zorvel.Coder("12.2").encode(zorvel.read(path))
    exported = json.loads(run_cli("frames", path, "-m", "12.2", "--format", "json",
                                  "--signals", "-o", "-").stdout)
    for row in (0, 17, -1):
        signals = result.signals(row)
        record = exported[row]
        for name, values in signals.items():
            if name in ("spectra", "spectrum_hz"):
                continue
            np.testing.assert_array_equal(values, np.array(record[name]), err_msg=name)
        # The spectra against numpy's transform: 10 ln|X(k)|^2 of bins 0..79.
        spectra = signals["spectra"]
        for name, signal in (("speech", "speech"), ("synthesized", "synthesizedSpeech"),
                             ("lpResidual", "lpResidual")):
            power = np.abs(np.fft.fft(signals[signal]))[:80] ** 2
            np.testing.assert_allclose(spectra[name], 10 * np.log(power), rtol=1e-9, atol=1e-9)
        error = signals["speech"] - signals["synthesizedSpeech"]
        np.testing.assert_allclose(spectra["error"],
                                   10 * np.log(np.abs(np.fft.fft(error))[:80] ** 2), rtol=1e-9)
        a = np.zeros(160)
        a[:11] = record["lpCoeffsI"] if "lpCoeffsI" in record else result.frames["lpCoeffsI"][row]
        response = result.frames["lpErrorI"][row] / np.abs(np.fft.fft(a))[:80] ** 2
        np.testing.assert_allclose(spectra["responseI"], 10 * np.log(response), rtol=1e-9)
        assert len(spectra) == 10
        np.testing.assert_array_equal(signals["spectrum_hz"], np.arange(80) * 50.0)
    with pytest.raises(IndexError):
        result.signals(result.frame_count)
