"""Start-up order: the window paints before the first tabs start, and the
last run's tabs still resume, in order, saved in the program's own form."""

import harness
from harness import wait_until
from test_input import grouped_tabs, screen_text, wait_output, wait_prompt

NO_TRAY = {"close_to_tray": False}


def read_trace(path):
    """The start-up marks the program appended: name -> seconds since its
    process was created (the processor time after it is left out)."""
    try:
        lines = path.read_text(encoding="ascii").splitlines()
    except OSError:
        return {}
    return {name: int(rest.split()[0]) / 1e6
            for name, _, rest in (line.partition(" ") for line in lines) if rest}


def test_resumed_tabs_start_after_the_window_first_paints(launch, tmp_path):
    # Each session costs a console host and a process (50 ms and more under
    # Wine); started before the first paint, they kept the window blank for
    # all of that time.
    trace = tmp_path / "startup-trace.txt"
    seeded = grouped_tabs("Ops", None, "Ops", None)
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True}, files=seeded,
                 env={"TOLVAR_STARTUP_TRACE": harness.windows_path(trace)})
    # Rewritten by the program (it writes every field), not merely kept.
    saved = wait_until(lambda: (s := app.sessions()) and all("profile_id" in r for r in s)
                       and s, 45, "the resumed tabs' list saved")
    # The tabs of one group sit together, as they did before the change.
    assert [r["id"] for r in saved] == ["s-1-0", "s-1-2", "s-1-1", "s-1-3"]
    assert [r["group"] for r in saved] == ["Ops", "Ops", None, None]
    wait_prompt(app)
    wait_until(lambda: "prompt_painted" in read_trace(trace), 30, "the prompt's paint marked")
    marks = read_trace(trace)
    assert marks["window_painted"] < marks["tabs_opening"] < marks["prompt_painted"], marks


def test_a_new_tab_asked_for_at_start_comes_after_the_resumed_ones(launch):
    # The window accepts WM_APP_NEW_TAB from outside as soon as it exists,
    # perhaps before its own start of the first tabs: those still open first.
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files=grouped_tabs(None, None), wait=False)
    hwnd = app.main_window(visible=False)["hwnd"]
    assert app.post(harness.WM_APP_NEW_TAB, hwnd=hwnd)
    saved = app.wait_sessions(3)
    assert [r["id"] for r in saved][:2] == ["s-1-0", "s-1-1"]
    assert saved[2]["id"] not in ("s-1-0", "s-1-1")


def test_the_shown_tab_runs_while_the_other_resumed_tabs_still_start(launch, tmp_path):
    # Ten resumed tabs started one after another on the window's thread, and
    # nothing could be typed until the last had started. Now the shown tab
    # starts first, and the others, held here until the test lets them go,
    # keep what is typed into them until they run.
    hold = tmp_path / "hold-starts"
    hold.write_text("")
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files=grouped_tabs(*[None] * 10),
                 env={"TOLVAR_HOLD_STARTS": harness.windows_path(hold)})
    wait_prompt(app)  # the shown tab, the tenth
    app.type("echo shown-tab-typed\n")
    wait_output(app, "shown-tab-typed")

    app.key("ctrl+1")
    # Still held: nothing has run in the first tab yet.
    assert screen_text(app) == ""
    app.type("echo typed-while-starting\n")
    hold.unlink()
    wait_output(app, "typed-while-starting", timeout=60)
    app.key("ctrl+5")
    wait_prompt(app)
