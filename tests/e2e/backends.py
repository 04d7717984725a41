"""The two backends of the end-to-end suite, which differ only in how a
Windows program is started, how a local path becomes a Windows path, and
setting the session up and down: Wine on a virtual X display, or Windows
itself."""
import json
import os
import re
import signal
import subprocess
import time

from harness import ROOT, Failure, read, wait_for

WINE_ENV = os.path.join(ROOT, "scripts", "wine-env")


class WineBackend:
    """Linux: Windows programs under Wine, on a virtual X display."""
    native = False

    def __init__(self, state_dir):
        self.state_file = os.path.join(state_dir, "session.json")
        self.wine = "/usr/lib/wine/wine64"

    def command(self, program, *args):
        return [self.wine, program, *args]

    @staticmethod
    def trace():
        """A short trace of a helper's start, kept only if the helper ends
        without its result: Wine's errors (which it would otherwise keep to
        itself, as when it cannot reach the display), the libraries loaded,
        the process calls and exceptions; a few KB a start."""
        return {"WINEDEBUG": "err+all,+loaddll,+process,+seh"}

    @staticmethod
    def without_trace(printed):
        return re.sub(rb"(?m)^[0-9a-f]{4,}:trace:.*\n?", b"", printed)

    # What Wine prints when it fails to set a process up, before the
    # program's code runs: the shared user data's fixed address taken (rare,
    # by chance), and WINEDEBUG=help, which the tests use to provoke it.
    START_FAILURES = (b"failed to map the shared user data", b"Syntax of the WINEDEBUG variable")

    @classmethod
    def start_failed(cls, printed):
        """Whether a trace shows Wine's own failure to start a process."""
        return any(failure in printed for failure in cls.START_FAILURES)

    @staticmethod
    def server_log():
        """The end of what the wineserver said (scripts/wine-env keeps it):
        it may end a program silently, and says why only there."""
        prefix = os.environ.get("WINEPREFIX") or os.path.join(ROOT, "build", "wineprefix")
        path = os.path.join(prefix, "wineserver.log")
        return read(path)[-2000:] if os.path.exists(path) else b""

    @staticmethod
    def status_text(status):
        """Linux sees only the low byte of a Windows exit status."""
        return status_text(status) + (", the low byte of the Windows status" if status and status > 0 else "")

    def windows_path(self, path):
        """Wine's drive Z: is the Unix root."""
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def environment(self):
        """scripts/wine-env's environment, with the session's display."""
        out = subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && env -0'], stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, check=True).stdout
        env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
        return dict(env, DISPLAY=self.display())

    def set_up(self):
        devnull = subprocess.DEVNULL
        display = free_display()
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdin=devnull, stdout=devnull, stderr=devnull, start_new_session=True)
        env = dict(os.environ, DISPLAY=f":{display}")
        wait_for(lambda: subprocess.run(["xdpyinfo"], env=env, stdout=devnull, stderr=devnull).returncode == 0,
                 10, "Xvfb did not start")
        with open(self.state_file, "w", newline="\n") as f:
            json.dump({"display": f":{display}", "pids": [xvfb.pid]}, f)
        # A fresh wineserver whose helpers all see this display. Wine draws
        # the caption and the close button itself, as Windows does, so that
        # they are the dialog's own non-client area. Its windows live on a
        # desktop of its own, one X window, where Wine alone decides which
        # window is in the foreground, as Windows does: on the X display the
        # window manager's focus events, late under load, would take the
        # foreground from a dialog while keys are typed into it. The server
        # starts again so that the desktop is made so.
        subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && "$WINESERVER" -k; wine_ready && '
                        '"$WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f && '
                        '"$WINE" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f && '
                        '"$WINE" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 1280x1024 /f && '
                        '"$WINESERVER" -k; wine_ready'],
                       env=env, stdin=devnull, stdout=devnull, stderr=devnull, timeout=180, check=True)

    def take_down(self):
        devnull = subprocess.DEVNULL
        subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && "$WINESERVER" -k'], stdin=devnull, stdout=devnull,
                       stderr=devnull, timeout=60)
        if os.path.exists(self.state_file):
            state = json.loads(read(self.state_file))
            for pid in state["pids"]:
                try:
                    os.kill(pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
            # A new session may take the same display number: its server
            # would not start while the old one holds it.
            number = state["display"][1:]
            wait_for(lambda: not os.path.exists(f"/tmp/.X{number}-lock") and
                     not os.path.exists(f"/tmp/.X11-unix/X{number}"), 20, "the old X server did not end")
            os.remove(self.state_file)

    def display(self):
        return json.loads(read(self.state_file))["display"]

    def running(self):
        """A setting made in the session lives as long as its wineserver."""
        return os.path.exists(self.state_file)



class NativeBackend:
    """Windows: programs started directly, on the desktop at hand."""
    native = True

    def __init__(self, state_dir):
        pass

    def command(self, program, *args):
        return [program, *args]

    @staticmethod
    def trace():
        return {}

    @staticmethod
    def without_trace(printed):
        return printed

    @staticmethod
    def start_failed(printed):
        """Windows says no more than the launcher's error code: any program
        that the system did not start may be started again."""
        return True

    @staticmethod
    def server_log():
        return b""

    @staticmethod
    def status_text(status):
        return status_text(status)

    def windows_path(self, path):
        return os.path.abspath(path)

    def environment(self):
        return dict(os.environ)

    def set_up(self):
        pass

    def take_down(self):
        pass

    def display(self):
        return "the interactive desktop"

    def running(self):
        return True


def status_text(status):
    """An exit status as a number and in hex, where a Windows status such as
    0xC0000005 is recognisable."""
    if status is None:
        return "none: still running"
    if status < 0:
        return f"none: ended by signal {-status}"
    return f"{status} = {status & 0xFFFFFFFF:#010x}"


def free_display():
    # An X server also listens on an abstract socket, which a chroot's own
    # /tmp does not show: one in another root may hold the number.
    try:
        listening = read("/proc/net/unix").decode(errors="replace")
    except OSError:
        listening = ""
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock") \
                and f"@/tmp/.X11-unix/X{number}\n" not in listening:
            return number
    raise Failure("no free X display number")
