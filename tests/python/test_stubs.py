"""The module's public names, parameters and their p_ names, as type stubs: the stubs of the
installed module are generated again with nanobind's stubgen and must equal the committed
src/module/verbix.pyi, which the wheel ships beside the module. A binding whose name or
parameter changes fails here until the committed stubs are regenerated on purpose:

    .venv/bin/python -m nanobind.stubgen -m verbix --exclude-values -o src/module/verbix.pyi
"""

import pathlib
import subprocess
import sys

import pytest

import verbix

COMMITTED = pathlib.Path(__file__).resolve().parents[2] / "src" / "module" / "verbix.pyi"


@pytest.mark.skipif(sys.platform == "win32",
                    reason="the stubs are generated where the module is built; the wheel ships them")
def test_stubs_of_the_built_module_equal_the_committed_ones(tmp_path):
    out = tmp_path / "verbix.pyi"
    subprocess.run([sys.executable, "-m", "nanobind.stubgen", "-q", "-m", "verbix",
                    "--exclude-values", "-o", str(out)], check=True, cwd=tmp_path)
    assert out.read_text(encoding="utf-8") == COMMITTED.read_text(encoding="utf-8"), (
        "the module's API differs from src/module/verbix.pyi; regenerate it if on purpose")


def test_the_installed_module_has_its_stubs_beside_it():
    shipped = pathlib.Path(verbix.__file__).parent / "verbix.pyi"
    assert shipped.read_text(encoding="utf-8") == COMMITTED.read_text(encoding="utf-8")


def test_the_window_methods_of_the_design_are_typed():
    stubs = COMMITTED.read_text(encoding="utf-8")
    for line in ("def verify(self) -> object: ...", "def update(self) -> object: ...",
                 "def get_src_pth(self) -> str: ...", "def get_dst_pth(self) -> str: ..."):
        assert line in stubs, line
