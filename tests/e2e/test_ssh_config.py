"""Hosts from the user's SSH configuration in the real program: a
.ssh\\config in a profile folder of the test's own (USERPROFILE) is listed in
the connection manager after the stored profiles, and connecting one starts
the stand-in ssh.exe with the alias alone."""

from harness import wait_until, windows_path
from test_dialogs import (EM, NO_TRAY, SHELL, Dialog, lines, open_manager, profiles_file,
                          ssh_command_line, ssh_on_path)

FROM = f" {EM} from SSH configuration"
CONFIG = (
    "\ufeff# hosts of the test user\r\n"
    "Host web\r\n"
    "  HostName web.example.com\r\n"
    "  User alice\r\n"
    "  Port 2222\r\n"
    "\r\n"
    "Host db\r\n"
    "  HostName=10.0.0.5\r\n"
    "\r\n"
    "Host *.lan !db\r\n"
    "  User ops\r\n"
)


def test_the_concrete_hosts_are_listed_and_connect_by_alias(launch, stand_ins, tmp_path):
    profile = tmp_path / "profile"
    (profile / ".ssh").mkdir(parents=True)
    (profile / ".ssh" / "config").write_bytes(CONFIG.encode("utf-8"))
    # An empty system folder, so the prefix's own ssh_config cannot add hosts.
    (tmp_path / "programdata").mkdir()
    env = dict(ssh_on_path(stand_ins), USERPROFILE=windows_path(profile),
               ProgramData=windows_path(tmp_path / "programdata"))
    stored = profiles_file(SHELL)
    app = launch(settings=NO_TRAY, env=env, files={"profiles.json": stored})

    manager = open_manager(app)
    assert manager.items(101) == ([f"Build box {EM} local {EM} cmd.exe",
                                   f"web {EM} ssh alice@web.example.com:2222{FROM}",
                                   f"db {EM} ssh 10.0.0.5:22{FROM}"], 0)
    assert manager.control(112)["enabled"] and manager.control(114)["enabled"]

    # A host of the configuration cannot be edited or deleted.
    manager.key("Down", "Down")
    wait_until(lambda: manager.items(101)[1] == 2, 10, "db selected")
    wait_until(lambda: not manager.control(112)["enabled"], 10, "Edit disabled")
    assert not manager.control(114)["enabled"]
    manager.key("Return")
    manager.wait_closed()

    [record] = stand_ins.wait_records(1)
    assert record["command_line"] == ssh_command_line(stand_ins, "db")
    assert record["args"][1:] == ["db"]
    assert app.boxes() == []
    # Nothing changed: the stored profiles are as they were.
    assert app.read_text("profiles.json") == stored

    # Read again at every opening.
    (profile / ".ssh" / "config").write_text("Host other\n", encoding="utf-8")
    manager = open_manager(app)
    wait_until(lambda: lines(manager)[1:] == [f"other {EM} ssh other:22{FROM}"], 10,
               "the changed configuration")
    manager.key("Escape")
    manager.wait_closed()
