"""verbix-cli built in Release for the benchmarks that time or measure the program."""

import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def build(build_dir):
    """The path of verbix-cli, configured and built in `build_dir` (reused between runs)."""
    subprocess.run(["cmake", "-G", "Ninja", "-S", str(ROOT), "-B", str(build_dir),
                    "-DCMAKE_BUILD_TYPE=Release", "-DVERBIX_BUILD_TESTS=OFF"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "verbix-cli"], check=True,
                   stdout=subprocess.DEVNULL)
    return Path(build_dir) / "src" / "cli" / "verbix-cli"
