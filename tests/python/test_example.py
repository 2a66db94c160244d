"""The example in examples/ runs on the sample and draws its two figures."""
import os
import subprocess
import sys

from conftest import SAMPLE, SOURCE


def test_the_example_codes_the_sample_and_draws_both_figures(tmp_path):
    done = subprocess.run([sys.executable, SOURCE / "examples" / "modes_and_sweep.py", SAMPLE,
                           "-o", tmp_path], capture_output=True, text=True,
                          env={**os.environ, "MPLCONFIGDIR": str(tmp_path / "mpl")})
    assert done.returncode == 0, done.stderr
    assert done.stdout.count("kbit/s: 283 frames") == 8
    for name in ("snr_per_frame.png", "sweep.png"):
        picture = (tmp_path / name).read_bytes()
        assert picture[:8] == b"\x89PNG\r\n\x1a\n", name
        assert len(picture) > 10000, name  # curves, not an empty frame
