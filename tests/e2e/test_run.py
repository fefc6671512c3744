"""scripts/run, the README's first command, as a user starts it: from a
shortcut or nohup, with no input, and stopped with Ctrl+C or kill.

It runs on a display and a prefix of its own, not the run's: with no DISPLAY
the script starts its own Xvfb, and its prefix's server is one the script
starts and must end."""

import json
import os
import re
import signal
import subprocess
import time
import uuid

import pytest

import harness
from harness import ROOT, wait_until

PREFIX = ROOT / "build" / "wineprefix-run-e2e"
MARK = "TOLVAR_RUN_E2E_MARK"


def marked_processes(token: str) -> dict[int, str]:
    """The processes whose environment holds the mark: everything the run
    started, Xvfb and the Wine server included, by pid -> name."""
    found = {}
    needle = f"{MARK}={token}".encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if needle not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                found[int(entry)] = f.read().split(b"\0")[0].decode(errors="replace")
        except OSError:  # gone meanwhile, or not ours
            continue
    return found


@pytest.mark.deadline(400)
@pytest.mark.parametrize("stop", ["ctrl+c", "sigterm"])
def test_run_keeps_tolvar_up_without_input_and_a_signal_ends_all_it_started(stop, tmp_path):
    token = uuid.uuid4().hex
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env.update({MARK: token, "WINEPREFIX": str(PREFIX), "WINEDEBUG": "-all"})
    output = tmp_path / "run.out"
    with open(output, "wb") as out:
        run = subprocess.Popen([str(ROOT / "scripts" / "run")], stdin=subprocess.DEVNULL,
                               stdout=out, stderr=subprocess.STDOUT, env=env,
                               start_new_session=True)
    try:
        def said(pattern):
            match = re.search(pattern, output.read_text(errors="replace"))
            if not match and run.poll() is not None:
                raise RuntimeError(f"scripts/run ended with {run.returncode}: "
                                   f"{output.read_text(errors='replace')}")
            return match
        display = wait_until(lambda: said(r"Xvfb display (:\d+)"), 30, "the run's display")[1]
        # A prefix made on the first run takes its time.
        pid = json.loads(wait_until(lambda: said(r'\{"pid":\d+\}'), 240, "the launcher's pid")[0])["pid"]

        probe_env = dict(env, DISPLAY=display)

        def window_up():
            """Whether tolvar's window shows; None when the probe gave no
            answer (a start of it under Wine fails now and then), which says
            nothing about the window."""
            result = subprocess.run(
                [*harness.WINE, str(harness.BIN / "probe.exe"), "windows", "--class", "TolvarHost",
                 "--pid", str(pid)], env=probe_env, stdin=subprocess.DEVNULL,
                capture_output=True, timeout=30, check=False)
            if result.returncode != 0:
                return None
            answered[:] = [result.stdout.decode(errors="replace")]
            return any(w["visible"] for w in json.loads(result.stdout))
        answered = []
        wait_until(window_up, 60, "tolvar's window")
        # Regression: a closed input ended the launcher's job within a second.
        answers = []
        seen_until = time.monotonic() + 4
        while time.monotonic() < seen_until:
            assert run.poll() is None, output.read_text(errors="replace")
            answers.append(window_up())
            assert answers[-1] is not False, \
                f"tolvar's window went away while the input stayed closed: {answered}"
        assert True in answers, "the probe never answered"

        started = marked_processes(token)
        names = " ".join(started.values())
        assert "Xvfb" in names and "tolvar.exe" in names and "wineserver" in names, started

        if stop == "ctrl+c":
            os.killpg(run.pid, signal.SIGINT)  # what the terminal sends its foreground group
        else:
            run.send_signal(signal.SIGTERM)
        wait_until(lambda: run.poll() is not None, 30, "scripts/run to end")
        try:
            wait_until(lambda: not marked_processes(token), 30, "everything the run started to end")
        except harness.WaitTimeout as error:
            raise harness.WaitTimeout(f"{error}; left: {marked_processes(token)}") from None
    finally:
        if run.poll() is None:
            os.killpg(run.pid, signal.SIGKILL)
            run.wait(10)
        for leftover in marked_processes(token):
            try:
                os.kill(leftover, signal.SIGKILL)
            except OSError:
                pass
