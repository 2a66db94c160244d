"""The modes and settings the module lists are the command line's, and what
it refuses it refuses with the command line's reasons."""
import errno
import re
import wave

import numpy as np
import pytest

import zorvel
from conftest import SAMPLE, run_cli, write_samples


def test_modes_are_the_eight_in_their_order():
    modes = zorvel.modes()
    assert [m["number"] for m in modes] == list(range(1, 9))
    assert [m["rate"] for m in modes] == ["12.2", "10.2", "7.95", "7.40", "6.70", "5.90", "5.15",
                                          "4.75"]
    assert [m["bit_rate_kbps"] for m in modes] == [12.2, 10.2, 7.95, 7.4, 6.7, 5.9, 5.15, 4.75]
    assert modes[3]["file_suffix"] == "_07.40"
    for spelling in ("7.4", "07.40", "7.40", 4, "4"):
        assert zorvel.Coder(spelling).mode == "7.40"
        assert zorvel.Coder(spelling).mode_number == 4


def test_settings_are_the_listing_of_the_command_line():
    listing = run_cli("settings").stdout
    entries = re.findall(r"^  (\S+?)=(.*)  \(default (.*)\)\n      (.*)$", listing, re.M)
    assert entries, listing
    assert [(s["name"], s["values"], s["default"], s["meaning"]) for s in zorvel.settings()] \
        == entries


def test_settings_given_as_python_values():
    coder = zorvel.Coder("12.2", {"pitch-resolution": "1/6", "gamma1": 0.9, "enhancement": False,
                                  "high-pass": 80, "lag-window": True})
    values = coder.settings
    assert values["pitch-resolution"] == "1/6"
    assert values["gamma1"] == "0.9"
    assert values["enhancement"] == "off"
    assert values["high-pass"] == "80"
    assert values["lag-window"] == "on"
    assert values["gamma2"] == "0.6"  # a default
    assert zorvel.Coder("12.2", {"high-pass": None}).settings["high-pass"] == "off"
    assert "gamma1=0.9" in repr(coder)


def cli_reason(*args):
    """The reason zorvel-cli gives for refusing its arguments."""
    done = run_cli("encode", SAMPLE, "-d", "/nonexistent", *args, check=False)
    assert done.returncode != 0
    return done.stderr


@pytest.mark.parametrize("settings, cli", [
    ({"gamma1": 1.5}, ["--set", "gamma1=1.5"]),
    ({"gamma1": "abc"}, ["--set", "gamma1=abc"]),
    ({"gamma9": 0.5}, ["--set", "gamma9=0.5"]),
    ({"pitch-resolution": "1/4"}, ["--set", "pitch-resolution=1/4"]),
    ({"high-pass": 20}, ["--set", "high-pass=20"]),
    ({"gamma1": 0.5, "gamma2": 0.55}, ["--set", "gamma1=0.5", "--set", "gamma2=0.55"]),
])
def test_a_refused_setting_is_a_value_error_with_the_reason(settings, cli):
    with pytest.raises(ValueError) as refused:
        zorvel.Coder("12.2", settings)
    reason = str(refused.value)
    assert reason and reason in cli_reason(*cli)


@pytest.mark.parametrize("mode", ["13", "0", "9", "fast", "", True])
def test_an_unknown_mode_is_a_value_error_with_the_reason(mode):
    with pytest.raises(ValueError) as refused:
        zorvel.Coder(mode)
    assert str(refused.value).startswith(f"unknown mode '{mode}': give 12.2, 10.2")
    if mode is not True:
        assert str(refused.value) in cli_reason("-m", mode)


def test_settings_of_the_wrong_type_are_type_errors():
    with pytest.raises(TypeError):
        zorvel.Coder("12.2", ["gamma1=0.9"])
    with pytest.raises(TypeError):
        zorvel.Coder("12.2", {"gamma1": [0.9]})


def test_samples_that_are_no_16_bit_integers_are_refused(sample):
    coder = zorvel.Coder("12.2")
    with pytest.raises(ValueError, match="16-bit integers, not float64"):
        coder.encode(sample.astype(np.float64))
    with pytest.raises(ValueError, match="outside the 16-bit range"):
        coder.encode(np.array([0, 40000], dtype=np.int32))
    with pytest.raises(ValueError, match="1-D"):
        coder.encode(np.zeros((2, 320), dtype=np.int16))
    # Wider integers within the range are taken as they are.
    wide = coder.encode(sample[:1600].astype(np.int64))
    np.testing.assert_array_equal(wide.synthesis, coder.encode(sample[:1600]).synthesis)
    # Fewer samples than a frame code no frame.
    assert coder.encode(np.zeros(159, dtype=np.int16)).frame_count == 0


def test_files_that_cannot_be_read_are_os_errors_with_their_errno(tmp_path):
    missing = tmp_path / "missing.wav"
    with pytest.raises(FileNotFoundError) as refused:
        zorvel.read(missing)
    assert refused.value.errno == errno.ENOENT
    assert refused.value.filename == str(missing)
    assert refused.value.strerror == "input file not found"
    assert "input file not found" in run_cli("encode", missing, check=False).stderr

    with pytest.raises(IsADirectoryError) as refused:
        zorvel.read(tmp_path)
    assert refused.value.strerror == "input is a directory"
    with pytest.raises(FileNotFoundError) as refused:
        zorvel.import_recording(missing)
    assert refused.value.strerror in run_cli("import", missing, check=False).stderr
    with pytest.raises(FileNotFoundError):
        zorvel.sweep([missing])


def write_recording(path, rate, channels, frames):
    """A 16-bit WAV recording of a chirp in every channel."""
    t = np.arange(frames) / rate
    tone = (8000 * np.sin(2 * np.pi * (200 + 300 * t) * t)).astype("<i2")
    with wave.open(str(path), "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(np.repeat(tone, channels).tobytes())
    return path


def test_a_recording_of_another_format_is_refused_and_imported_as_the_cli_does(tmp_path):
    recording = write_recording(tmp_path / "stereo.wav", 16000, 2, 16000)
    with pytest.raises(OSError) as refused:
        zorvel.read(recording)
    assert refused.value.errno is None
    assert str(refused.value) == (f"{recording}: 16000 Hz, 2 channels, 16-bit; the coder takes "
                                  "8000 Hz mono 16-bit: convert it with zorvel.import_recording()")

    samples, info = zorvel.import_recording(recording)
    assert info["description"] == "16000 Hz, 2 channels, 16-bit"
    assert (info["sample_rate"], info["channels"], info["frames"]) == (16000, 2, 16000)
    assert info["samples"] == len(samples) == 8000
    assert info["seconds"] == 1.0
    assert info["clipped"] == 0 and info["non_finite"] == 0
    assert 0.2 < info["peak"] < 0.3
    run_cli("import", recording, "-d", tmp_path)
    converted = (tmp_path / "stereo.wav_8k.wav").read_bytes()
    assert samples.tobytes() == converted[60:]
    np.testing.assert_array_equal(zorvel.read(tmp_path / "stereo.wav_8k.wav"), samples)


def test_a_file_of_the_coder_layout_is_read_from_byte_60(tmp_path):
    samples = np.arange(-500, 500, dtype=np.int16) * 31
    path = write_samples(tmp_path / "raw.w60", samples)
    np.testing.assert_array_equal(zorvel.read(path), samples)
    path.write_bytes(path.read_bytes() + b"\x01")  # an odd last byte is no sample
    assert len(zorvel.read(path)) == len(samples)


def test_the_api_is_documented():
    for thing in (zorvel, zorvel.Coder, zorvel.Coder.encode, zorvel.Result, zorvel.Result.signals,
                  zorvel.sweep, zorvel.ablation, zorvel.read, zorvel.import_recording,
                  zorvel.modes, zorvel.settings):
        assert thing.__doc__ and len(thing.__doc__) > 60, thing
