"""What the benchmark drivers share: building one timing program of bench/ in Release."""

import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def build_program(target, build_dir):
    """Configures bench/ into `build_dir`, builds `target` there and returns its path."""
    subprocess.run(["cmake", "-G", "Ninja", "-S", str(ROOT / "bench"), "-B", str(build_dir),
                    "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", target], check=True,
                   stdout=subprocess.DEVNULL)
    return Path(build_dir) / target
