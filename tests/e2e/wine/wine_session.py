"""The Wine machine the end-to-end tests share: a throwaway prefix, a virtual X display and a
persistent wineserver, set up once per test run and used by every case in turn."""

import json
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

from wine_arch import WINE_ARCHES

# Quiet and quick: no debug channels, no .NET or HTML engine downloads.
WINE_BASE_ENVIRONMENT = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
    # The ANSI code page follows the locale; C gives the Western one (1252) that quelm-sim assumes.
    "LC_ALL": "C",
    "LANG": "C",
}

# Wine's own fonts, from Debian's fonts-wine: Marlett (the symbols of the caption buttons), Tahoma (the
# dialog font), MS Sans Serif and the System bitmap fonts. Debian's Wine 8.0 looks for them in
# "Z:\usr\share\wine\../fonts" (win32u's get_fonts_data_dir_path, built with WINE_FONT_DIR "../fonts"),
# an NT path in which "../fonts" is no valid name (STATUS_OBJECT_NAME_INVALID), so it finds none of
# them; each program also loads every font in the prefix's C:\windows\Fonts, where a copy is found.
WINE_FONT_DIR = Path("/usr/share/wine/fonts")


class WineError(Exception):
    """Wine or the display could not do what a test needs; the test fails with this message."""


def windows_path(path):
    """The path under Wine's drive Z:, which maps the Unix root."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def require_program(name):
    found = shutil.which(name)
    if found is None:
        raise WineError(f"{name} is not installed (apt-get install wine xvfb); the end-to-end tests need it")
    return found


class WineSession:
    """One run's Wine machine under `work_dir`: prefix, display and state file, for the programs of
    one architecture (`win32`: a 32-bit prefix, as Windows 95 programs expect; `win64`: a 64-bit
    prefix for the 64-bit test build, on hosts that run no 32-bit programs).

    Every Wine program is started with its output going to a file, never to a pipe: wineserver and
    the desktop process that the first program starts inherit those handles and outlive it, and a
    pipe held open by them would keep ctest (or Python) waiting for its end."""

    def __init__(self, work_dir, arch):
        self.arch = WINE_ARCHES[arch]
        self.work_dir = Path(work_dir).resolve()
        self.prefix = self.work_dir / "prefix"
        self.state_file = self.work_dir / "session.json"
        self.log_dir = self.work_dir / "logs"

    # --- Environment ----------------------------------------------------------------------------

    def environment(self, extra=None):
        state = self._load_state()
        env = dict(os.environ)
        env.update(WINE_BASE_ENVIRONMENT)
        env["WINEARCH"] = self.arch.name
        env["WINELOADER"] = self.arch.loader
        env["WINEPREFIX"] = str(self.prefix)
        env["DISPLAY"] = state["display"]
        env.update(extra or {})
        return env

    def _load_state(self):
        if not self.state_file.exists():
            raise WineError(f"no Wine session in {self.work_dir}: the e2e.wine.setup fixture has not run")
        return json.loads(self.state_file.read_text())

    # --- Running Windows programs ---------------------------------------------------------------

    def run(self, arguments, timeout, log_name, extra_env=None, cwd=None):
        """Runs ARGUMENTS under this architecture's Wine loader, bounded by `timeout` seconds; returns (exit status, output text).

        A program that outlives the bound is a hang: everything in the prefix is ended so that the
        next case starts clean, and WineError says which program hung."""
        environment = self.environment(extra_env)
        wine = self.require_loader()
        self.log_dir.mkdir(parents=True, exist_ok=True)
        log_path = self.log_dir / f"{log_name}.out"
        with open(log_path, "wb") as output:
            process = subprocess.Popen([wine, *arguments], stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT, env=environment, cwd=cwd, start_new_session=True)
            try:
                status = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self._end_process_group(process)
                self.restart_wineserver()
                raise WineError(f"'{wine} {' '.join(map(str, arguments))}' did not end within {timeout} s "
                                f"(everything in the prefix was ended)")
        return status, log_path.read_bytes().decode("latin-1")

    def require_loader(self):
        if not os.access(self.arch.loader, os.X_OK):
            package = "wine32:i386" if self.arch.name == "win32" else "wine64"
            raise WineError(f"{self.arch.loader} is missing: install {package} (scripts/setup.sh does)")
        return self.arch.loader

    @staticmethod
    def _end_process_group(process):
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()

    def kill_wineserver(self):
        """Ends every process of the prefix, and the wineserver itself."""
        subprocess.run([require_program("wineserver"), "-k"], env=self.environment(),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=False)

    def start_wineserver(self):
        """A wineserver that stays between cases, so that each case does not pay for starting the
        desktop and services again."""
        subprocess.run([require_program("wineserver"), "-p"], env=self.environment(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True,
                       timeout=30, check=True)

    def restart_wineserver(self):
        self.kill_wineserver()
        subprocess.run([require_program("wineserver"), "-w"], env=self.environment(), timeout=30, check=False)
        self.start_wineserver()

    def set_windows_version(self, version):
        status, output = self.run(["reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"],
                                  timeout=30, log_name="set-version")
        if status != 0:
            raise WineError(f"could not select Windows version {version}: {output.strip()}")

    def load_registry(self, *reg_files):
        status, output = self.run(["regedit", "/s", *map(str, reg_files)], timeout=30, log_name="regedit")
        if status != 0:
            raise WineError(f"regedit could not load {', '.join(map(str, reg_files))}: {output.strip()}")

    def install_wine_fonts(self):
        """Copies Wine's own fonts into the prefix's Fonts folder, for the programs started after it.
        Without them Wine falls back on whatever fontconfig offers: the caption's close button
        becomes the letter "r" in a text font (its code in Marlett), and the text is not Tahoma."""
        marlett = WINE_FONT_DIR / "marlett.ttf"
        if not marlett.is_file():
            raise WineError(f"{marlett} is missing: install fonts-wine (scripts/setup.sh does)")
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for font in sorted(WINE_FONT_DIR.iterdir()):
            if font.is_file():
                shutil.copyfile(font, fonts / font.name)

    def map_drive(self, letter, folder):
        link = self.prefix / "dosdevices" / f"{letter.lower()}:"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(Path(folder).resolve())

    # --- Set-up and clean-up --------------------------------------------------------------------

    def set_up(self):
        self.require_loader()
        require_program("wineserver")
        xvfb = require_program("Xvfb")
        if self.work_dir.exists():
            self.clean_up()
        self.work_dir.mkdir(parents=True)
        started = time.monotonic()
        display, xvfb_pid = self._start_display(xvfb)
        self.state_file.write_text(json.dumps({"display": display, "xvfb_pid": xvfb_pid}))
        # The wineserver needs the prefix folder to exist; wineboot then fills the folder in.
        self.prefix.mkdir()
        self.start_wineserver()
        status, output = self.run(["wineboot", "--init"], timeout=120, log_name="wineboot")
        if status != 0 or not (self.prefix / "drive_c" / "windows" / "system32").is_dir():
            raise WineError(f"wineboot could not create the prefix (status {status}): {output.strip()}")
        # Without a window manager, a managed window that closes makes Wine wait two seconds for a
        # state change that never comes; unmanaged windows close at once.
        status, output = self.run(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N",
                                   "/f"], timeout=30, log_name="unmanaged")
        if status != 0:
            raise WineError(f"could not configure the X11 driver: {output.strip()}")
        # A program that crashes on purpose must not bring up Wine's crash dialog, which nobody closes.
        status, output = self.run(["reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t",
                                   "REG_DWORD", "/d", "0", "/f"], timeout=30, log_name="crash-dialog")
        if status != 0:
            raise WineError(f"could not turn Wine's crash dialog off: {output.strip()}")
        return time.monotonic() - started

    def _start_display(self, xvfb):
        """Starts Xvfb on a display number it picks itself, detached so that it outlives this call."""
        read_end, write_end = os.pipe()
        process = subprocess.Popen(
            [xvfb, "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            pass_fds=(write_end,), start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number.isdigit():
            process.kill()
            raise WineError("Xvfb did not start")
        return f":{number}", process.pid

    def clean_up(self):
        """Ends the prefix's processes and the display, and removes the prefix. Safe to repeat."""
        if self.state_file.exists():
            state = json.loads(self.state_file.read_text())
            if self.prefix.exists() and shutil.which("wineserver"):
                self.kill_wineserver()
            self._end_display(state.get("xvfb_pid"))
        shutil.rmtree(self.work_dir, ignore_errors=True)

    @staticmethod
    def _end_display(pid):
        # Only the Xvfb this session started: the pid must still name an Xvfb process.
        if not pid:
            return
        try:
            command = Path(f"/proc/{pid}/cmdline").read_bytes()
        except OSError:
            return
        if b"Xvfb" in command:
            os.kill(pid, signal.SIGTERM)
