"""The start-up dependency check, run in child processes with the tool made to look like
its source form and a stand-in host executable that records how it was called."""

import json
import os
import subprocess
import sys
import textwrap
import time

import pytest

import stand_in
import verbix

CHECK = textwrap.dedent("""
    import json, sys, verbix
    u = verbix.utils
    u.module_file, u.executable = sys.argv[1], sys.argv[2]
    u.CSH_WAIT = False
    u.ensure_installation(json.loads(sys.argv[3]), sys.argv[4] == "1")
    print("START-UP GOES ON")
""")

FAKE_HOST = textwrap.dedent("""\
    import json, os, sys
    with open(os.environ["RECORD"], "a") as f:
        f.write(json.dumps(sys.argv[1:]) + "\\n")
    fail = os.environ.get("FAIL", "")
    sys.exit(1 if fail and any(fail in a for a in sys.argv[1:]) else 0)
""")

# The host's distribution lookup as the tests want it: only the names in INSTALLED exist.
FAKE_LOOKUP = textwrap.dedent("""\
    import os
    class DistributionNotFound(Exception):
        pass
    def get_distribution(name):
        if name not in os.environ.get("INSTALLED", "").split(","):
            raise DistributionNotFound(name)
        return name
""")


@pytest.fixture
def tool(tmp_path):
    """A tool folder with a source-form module file, a recording host and a lookup."""
    (tmp_path / "tool").mkdir()
    stand_in.program(tmp_path, "host", FAKE_HOST)
    lookup = tmp_path / "lookup"
    lookup.mkdir()
    (lookup / "pkg_resources.py").write_text(FAKE_LOOKUP)
    return tmp_path


def run_check(tool, packages, restart=True, installed="pytest", fail="", stdin="",
              lookup=True, extra_path=None):
    env = dict(os.environ, RECORD=str(tool / "record.jsonl"), INSTALLED=installed, FAIL=fail)
    paths = ([str(tool / "lookup")] if lookup else []) + ([str(extra_path)] if extra_path else [])
    env["PYTHONPATH"] = os.pathsep.join(paths)
    proc = subprocess.run(
        [sys.executable, "-c", CHECK, str(tool / "tool" / "verbix.py"),
         str(stand_in.program_path(tool, "host")),
         json.dumps(packages), "1" if restart else "0"],
        input=stdin, capture_output=True, text=True, env=env, timeout=60)
    return proc, wait_for_records(tool, proc)


def wait_for_records(tool, proc):
    record = tool / "record.jsonl"
    # A relaunch starts the host without waiting for it: give it a moment to write.
    deadline = time.time() + (10 if "Relaunching..." in proc.stdout else 0)
    while True:
        lines = record.read_text().splitlines() if record.exists() else []
        relaunches = [x for x in lines if "pip" not in x]
        if relaunches or time.time() >= deadline:
            return [json.loads(x) for x in lines]
        time.sleep(0.05)


def installs(records):
    return [r for r in records if r[:3] == ["-m", "pip", "install"]]


def relaunches(records):
    return [r for r in records if r[:3] != ["-m", "pip", "install"]]


def test_everything_installed_does_nothing(tool):
    proc, records = run_check(tool, "pytest")
    assert proc.returncode == 0
    assert proc.stdout == "START-UP GOES ON\n"
    assert records == []


def test_local_wheel_chosen_by_text_order_and_installed_offline(tool):
    wheels = tool / "tool" / "dependencies"
    wheels.mkdir()
    for name in ["pkgx-1.10-py3-none-any.whl", "pkgx-1.2-py3-none-any.whl",
                 "pkgxtra-9.0-py3-none-any.whl", "pkgx-beta.whl", "notes.txt"]:
        (wheels / name).write_text("")
    proc, records = run_check(tool, ["pkgx"])
    assert proc.returncode == 0
    chosen = str(wheels / "pkgx-1.2-py3-none-any.whl")
    assert installs(records) == [
        ["-m", "pip", "install", chosen, "--no-index", "--find-links", str(wheels)]]
    assert f"\nFound local wheel file: {chosen}. Installing...\n" in proc.stdout
    assert f"\nSuccessfully installed pkgx from {chosen}." in proc.stdout
    assert relaunches(records) == [["-c", str(tool / "tool" / "verbix.py"),
                                    str(stand_in.program_path(tool, "host")),
                                    '["pkgx"]', "1"]]
    assert "START-UP GOES ON" not in proc.stdout


def test_failing_local_wheel_falls_back_to_the_index(tool):
    wheels = tool / "tool" / "dependencies"
    wheels.mkdir()
    (wheels / "pkgx-1.0-py3-none-any.whl").write_text("")
    proc, records = run_check(tool, ["pkgx"], fail="--no-index")
    assert [r[3] for r in installs(records)] == [str(wheels / "pkgx-1.0-py3-none-any.whl"), "pkgx"]
    assert "\nError installing from local .whl: " in proc.stdout
    assert "\nSuccessfully installed pkgx via pip." in proc.stdout


def test_no_wheel_folder_goes_to_the_index_without_a_message(tool):
    proc, records = run_check(tool, "pkgx")
    assert installs(records) == [["-m", "pip", "install", "pkgx"]]
    assert "local" not in proc.stdout
    assert "\nAttempting to install pkgx via pip...\n" in proc.stdout


def test_failing_index_install_ends_the_process(tool):
    proc, records = run_check(tool, ["pkgx"], fail="pkgx")
    assert proc.returncode == 1
    assert "ERROR (1): \nFailed to install pkgx" in proc.stdout
    assert relaunches(records) == []


def test_two_missing_packages_two_installs_one_relaunch(tool):
    proc, records = run_check(tool, ["pkga", "pytest", "pkgb"])
    assert proc.stdout.count("\nMissing package: ") == 2
    assert [r[3] for r in installs(records)] == ["pkga", "pkgb"]
    assert len(relaunches(records)) == 1
    assert proc.returncode == 0


@pytest.mark.parametrize("answer,restarts", [(" r \n", True), ("Restart\n", True),
                                             ("c\n", False), ("", False)])
def test_prompt_when_restarting_is_off(tool, answer, restarts):
    proc, records = run_check(tool, ["pkgx"], restart=False, stdin=answer)
    assert "\n[C]ontinue (R)elaunch: " in proc.stdout
    assert (len(relaunches(records)) == 1) == restarts
    assert ("START-UP GOES ON" in proc.stdout) != restarts


def test_missing_lookup_installs_setuptools_and_relaunches(tool):
    proc, records = run_check(tool, ["pytest"], lookup=False)
    assert "\nMissing package: pkg_resources\n" in proc.stdout
    assert installs(records) == [["-m", "pip", "install", "setuptools"]]
    assert len(relaunches(records)) == 1


def test_setuptools_without_its_lookup_uses_the_hosts_metadata(tool):
    # A setuptools that ships no pkg_resources: no endless install-and-restart loop.
    site = tool / "site"
    (site / "setuptools-99.0.dist-info").mkdir(parents=True)
    (site / "setuptools-99.0.dist-info" / "METADATA").write_text(
        "Metadata-Version: 2.1\nName: setuptools\nVersion: 99.0\n")
    proc, records = run_check(tool, ["pytest", "pkgx"], lookup=False, extra_path=site)
    assert "pkg_resources" not in proc.stdout
    assert installs(records) == [["-m", "pip", "install", "pkgx"]]


def test_built_module_looks_nothing_up(utils):
    assert not utils.is_script()
    utils.ensure_installation(["surely-not-installed-anywhere"])
    utils.ensure_installation("surely-not-installed-anywhere", False)
    assert utils._output == [] and utils._errors == []
