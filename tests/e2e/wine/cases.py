"""The end-to-end cases: each one a disk (QUELM.INI), a machine (PCI functions and registry), the
user's answers and the Windows versions it runs on. Both Wine and quelm-sim get exactly this."""

from dataclasses import dataclass

# What each Wine version reports through GetVersionExA, as the launcher classifies it. Wine has no
# OSR2 record: its "win95" has an empty service text, which is the first Windows 95 release (W95A).
EXPECTED_OS_NAME = {
    "win95": "W95A",
    "win98": "W98",
    "winme": "WIN95",
    "nt40": "NT40",
    "winxp": "WINNT",
    "win10": "WINNT",
}

# Any device class but the display one: Wine's display driver removes display-class PCI devices it
# did not create itself whenever it refreshes its adapter list.
DEVICE_CLASS_GUID = "{4d36e96c-e325-11ce-bfc1-08002be10318}"  # sound, video and game controllers

CARD_VENDOR = 0x1A2B  # 6699 in the card lists
CARD_DEVICE = 0x3C4D  # 15437
SECOND_DEVICE = 0x3C4E  # 15438


@dataclass(frozen=True)
class PciFunction:
    bus: int
    device: int
    function: int
    vendor_id: int
    device_id: int

    def sim_option(self):
        return f"{self.bus:02X}:{self.device:02X}.{self.function:X}={self.vendor_id:04X}:{self.device_id:04X}"

    def device_key(self):
        """Its key below HKLM\\System\\CurrentControlSet\\Enum\\PCI, one instance per address."""
        instance = f"3&61aaa01&0&{self.device * 8 + self.function:02X}{self.bus:02X}"
        return f"VEN_{self.vendor_id:04X}&DEV_{self.device_id:04X}&SUBSYS_00000000&REV_00\\{instance}"

    def location_text(self):
        return f"PCI bus {self.bus}, device {self.device}, function {self.function}"


@dataclass(frozen=True)
class Machine:
    pci: tuple = ()
    # Keys below HKLM\Enum\PCI, as the Windows 9x enumerator names them: hardware key\instance.
    enum_keys: tuple = ()
    # DisplayName of the USB supplement's uninstall entry, or None when it is not installed.
    usb_supplement: str = None

    def registry_file(self):
        """The machine's registry as a REGEDIT4 file that Wine's regedit and quelm-sim both load:
        the 9x enumerator tree and the USB supplement entry for the launcher, and the NT device
        tree from which Wine's SetupAPI lists the PCI functions."""
        sections = ["REGEDIT4", ""]
        for key in self.enum_keys:
            sections += [f"[{ENUM_9X_ROOT}\\{key}]", '"Class"="Display"', ""]
        if self.usb_supplement is not None:
            sections += [f"[{USB_SUPPLEMENT_KEY}]", f'"DisplayName"="{self.usb_supplement}"', ""]
        for function in self.pci:
            hardware_ids = (f"PCI\\VEN_{function.vendor_id:04X}&DEV_{function.device_id:04X}&SUBSYS_00000000&REV_00",
                            f"PCI\\VEN_{function.vendor_id:04X}&DEV_{function.device_id:04X}")
            sections += [f"[{DEVICE_ROOT}\\{function.device_key()}]",
                         f'"ClassGUID"="{DEVICE_CLASS_GUID}"',
                         f'"HardwareID"=hex(7):{multi_string_bytes(hardware_ids)}',
                         f'"LocationInformation"="{function.location_text()}"', ""]
        return "\r\n".join(sections)


ENUM_9X_ROOT = "HKEY_LOCAL_MACHINE\\Enum\\PCI"
USB_SUPPLEMENT_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21"
DEVICE_ROOT = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\PCI"


def multi_string_bytes(strings):
    data = b"".join(text.encode("ascii") + b"\0" for text in strings) + b"\0"
    return ",".join(f"{byte:02x}" for byte in data)


def reset_registry_file(cases):
    """Deletes whatever any case may have left in the shared prefix, Wine's own devices excepted."""
    sections = ["REGEDIT4", "", f"[-{ENUM_9X_ROOT}]", f"[-{USB_SUPPLEMENT_KEY}]"]
    hardware_keys = {function.device_key().split("\\")[0] for case in cases for function in case.machine.pci}
    sections += [f"[-{DEVICE_ROOT}\\{key}]" for key in sorted(hardware_keys)]
    return "\r\n".join(sections + [""])


@dataclass(frozen=True)
class Case:
    name: str
    purpose: str
    versions: tuple
    ini: str  # None: the disk has no QUELM.INI
    machine: Machine = Machine()
    answers: tuple = ()  # "OK" or "CANCEL" per message box, in order; OK once they run out
    installer_exit: int = 0
    installer_present: bool = True
    # How vadrun.exe misbehaves (QUELM_VADRUN_MODE): "crash", "exit", "nowindow", "hidden", "nobutton", or "".
    installer_mode: str = ""
    installer_delay_ms: int = 0  # how long vadrun.exe holds its window back (QUELM_VADRUN_DELAY_MS)
    tail: str = ""  # command tail QUELM.EXE is started with
    ini_folder: str = ""  # folder of the disk holding QUELM.INI (the tail's folder)

    def ids(self):
        return [f"{self.name}.{version}" for version in self.versions]


HOST_BRIDGE = PciFunction(0, 0, 0, 0x8086, 0x7190)
ISA_BRIDGE = PciFunction(0, 7, 0, 0x8086, 0x7110)
CARD_ON_BUS_1 = PciFunction(1, 0, 0, CARD_VENDOR, CARD_DEVICE)
SECOND_CARD_IN_SLOT = PciFunction(0, 0x0B, 1, CARD_VENDOR, SECOND_DEVICE)

CARD_HARDWARE_KEY = f"VEN_{CARD_VENDOR:04X}&DEV_{CARD_DEVICE:04X}&SUBSYS_00011A2B&REV_02"
SECOND_HARDWARE_KEY = f"VEN_{CARD_VENDOR:04X}&DEV_{SECOND_DEVICE:04X}&SUBSYS_00021A2B&REV_01"

MACHINE_WITH_CARD = Machine(
    pci=(HOST_BRIDGE, ISA_BRIDGE, CARD_ON_BUS_1),
    enum_keys=("VEN_8086&DEV_7190&SUBSYS_00000000&REV_03\\BUS_00&DEV_00&FUNC_00",
               f"{CARD_HARDWARE_KEY}\\BUS_01&DEV_00&FUNC_00"))
MACHINE_WITH_UNREGISTERED_CARD = Machine(pci=(HOST_BRIDGE, ISA_BRIDGE, CARD_ON_BUS_1))
MACHINE_WITHOUT_CARD = Machine(pci=(HOST_BRIDGE, ISA_BRIDGE))

# The texts every disk shows: escapes, a path with a backslash that is no escape, and a character of
# the Western code page (0xE4).
MESSAGES = """[Message]
DetectCard=No supported card was found.\\nSwitch the computer off and check the card.
DetectCardSecond=The second card was not found either.
CheckPCIKey=Windows has not registered the card yet.\\n\\tRestart Windows, then run this again.
ShowUSBMsg=The USB supplement is not installed.\\n\\tOK:\\tinstall anyway\\n\\tCancel:\\tstop here
NotSupport=This disk cannot install the driver on this version of Windows.
InstallFailed=VADRUN.EXE could not be started.\\nCopy the whole disk again.
ShowMsgNT=Drivers for Windows NT are in D:\\NT40\\nInstall them from the Display control panel.
ShowMsgDone=Ger\xe4t eingerichtet.\\tDone.
"""

RECORDER_NAME = "RECORD.EXE"
EXEC_SECTION = f"""[ExecRecorder]
program=[CWD]\\{RECORDER_NAME},started by the launcher,[CWD]
"""

W98_INSTALL_INI = f"""; An ordinary Windows 98 disk: card check, hand-off, a program opened afterwards.
[Application]
W98=DetectCard,CheckPCIKey,Install,ExecRecorder,End
NT40=ShowMsgNT

[SubDir]
W98=\\WIN98

[DetectCard]
1={CARD_VENDOR},{SECOND_DEVICE},PCI,1,0
2={CARD_VENDOR},{CARD_DEVICE},PCI,1,0

{EXEC_SECTION}
{MESSAGES}"""

AGP_INI = f"""[Application]
W98=DetectCard,CheckPCIKey,Install,End

[SubDir]
W98=\\WIN98

[DetectCard]
1={CARD_VENDOR},{CARD_DEVICE},agp,0,0

{MESSAGES}"""

NO_CARD_INI = f"""[Application]
W98=DetectCard,DetectCardSecond,Install,End

[DetectCard]
1={CARD_VENDOR},{CARD_DEVICE},PCI,1,0
2=0x1A2B,0x3C4D,PCI,1,0

{MESSAGES}"""

W95_INI = f"""[Application]
W95A=DetectCard,CheckPCIKey,ShowUSBMsg,Install,ExecRecorder,End

[SubDir]
W95A=\\WIN95

[DetectCard]
1={CARD_VENDOR},{CARD_DEVICE},PCI,1,0

{EXEC_SECTION}
{MESSAGES}"""

NT_INI = f"""; Install is offered on Windows 95 and 98 only: elsewhere it says so and the script goes on.
[Application]
NT40=DetectCard,Install,ShowMsgNT
WINNT=DetectCard,Install,ShowMsgNT
WIN95=ShowMsgDone

[SubDir]
NT40=\\NT40

[DetectCard]
1={CARD_VENDOR},{CARD_DEVICE},PCI,1,0

{MESSAGES}"""

SECOND_CARD_INI = f"""[Application]
W98=DetectCard,CheckPCIKey,Install,ExecRecorder,ShowMsgDone

[SubDir]
W98=\\WIN98

[DetectCard]
1={CARD_VENDOR},{CARD_DEVICE},PCI,1,0
2={CARD_VENDOR},{SECOND_DEVICE},PCI,1x,0

{EXEC_SECTION}
{MESSAGES}"""

CASES = (
    Case("w98-install", "card found and registered, installer exit code becomes the launcher's, Exec runs",
         ("win98",), W98_INSTALL_INI, MACHINE_WITH_CARD, installer_exit=3),
    Case("w98-agp", "an AGP entry is handed over with location 000800 and registered under that name",
         ("win98",), AGP_INI,
         Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",))),
    Case("w98-no-card", "no listed card on the bus: the list's own message, the script ends, exit 0",
         ("win98",), NO_CARD_INI, MACHINE_WITHOUT_CARD),
    Case("w98-second-card", "the second entry matches a function in a slot; the Exec and ShowMsg after it run",
         ("win98",), SECOND_CARD_INI,
         Machine(pci=(HOST_BRIDGE, SECOND_CARD_IN_SLOT),
                 enum_keys=(f"{SECOND_HARDWARE_KEY}\\BUS_00&DEV_0B&FUNC_01",)), installer_exit=7),
    Case("w98-installer-missing", "no vadrun.exe: InstallFailed, exit code 2 (file not found)",
         ("win98",), AGP_INI,
         Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_present=False),
    Case("w98-tail", "QUELM.EXE \\DISK1 reads D:\\DISK1\\QUELM.INI and hands over D:\\DISK1\\WIN98",
         ("win98",), W98_INSTALL_INI, MACHINE_WITH_CARD, installer_exit=4, tail="\\DISK1", ini_folder="DISK1"),
    Case("w95-not-registered", "card on the bus but not in HKLM\\Enum\\PCI: the CheckPCIKey message",
         ("win95",), W95_INI, MACHINE_WITH_UNREGISTERED_CARD),
    Case("w95-usb-cancel", "USB supplement missing and the question cancelled: nothing is installed",
         ("win95",), W95_INI, MACHINE_WITH_CARD, answers=("CANCEL",), installer_exit=5),
    Case("w95-usb-ok", "USB supplement missing, the question answered OK: the installation goes on",
         ("win95",), W95_INI, MACHINE_WITH_CARD, answers=("OK",), installer_exit=5),
    Case("w95-usb-installed", "USB supplement installed: no question, straight to the installer",
         ("win95",), W95_INI,
         Machine(pci=MACHINE_WITH_CARD.pci, enum_keys=MACHINE_WITH_CARD.enum_keys,
                 usb_supplement="USB Supplement to OSR2"), installer_exit=6),
    Case("nt-install-unsupported", "Install says NotSupport and starts nothing; the ShowMsg after it still runs",
         ("nt40", "winxp", "win10"), NT_INI, MACHINE_WITH_CARD),
    Case("winme-showmsg", "Windows Me runs its own one-message script", ("winme",), NT_INI, MACHINE_WITH_CARD),
    # Installer programs that misbehave: the launcher neither hangs nor reports success it did not see.
    Case("installer-crashes", "vadrun.exe dies at once of an access violation: its exception code is the exit code",
         ("win98",), AGP_INI, Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_mode="crash"),
    Case("installer-exits-at-once", "vadrun.exe ends before any window: nothing is pressed, its exit code is kept",
         ("win98",), AGP_INI, Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_exit=9, installer_mode="exit"),
    Case("installer-shows-no-window", "vadrun.exe shows nothing and times out: the launcher waits for its end",
         ("win98",), AGP_INI, Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_mode="nowindow"),
    Case("installer-window-hidden", "vadrun.exe's window is never made visible: it is not taken, and the launcher "
         "waits for its end", ("win98",), AGP_INI,
         Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_mode="hidden"),
    Case("installer-window-late", "vadrun.exe shows its window after 1.5 s: the launcher, waiting on it between "
         "passes, still takes the window and presses OK", ("win98",), AGP_INI,
         Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_exit=3, installer_delay_ms=1500),
    Case("installer-window-without-button", "vadrun.exe's window has no OK button: the launcher waits for its end",
         ("win98",), AGP_INI, Machine(pci=(HOST_BRIDGE, CARD_ON_BUS_1), enum_keys=(f"{CARD_HARDWARE_KEY}\\000800",)),
         installer_mode="nobutton"),
    Case("no-ini", "a disk without QUELM.INI: an empty NotSupport box and exit code 0",
         ("win98", "winxp"), None, MACHINE_WITH_CARD),
)


def all_case_ids():
    return [case_id for case in CASES for case_id in case.ids()]


def find_case(case_id):
    """The case and Wine version a test name such as "w98-install.win98" stands for."""
    name, _, version = case_id.rpartition(".")
    for case in CASES:
        if case.name == name and version in case.versions:
            return case, version
    raise KeyError(f"no end-to-end case {case_id!r}")
