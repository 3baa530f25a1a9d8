// What a run on the simulated machine shows, in order: the events quelm-sim prints and tests read.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Platform.h"

namespace quelm::sim {

// How the launcher was started, where a run says so (a disk with AUTORUN.INF, or --started-by): who
// started it, which program, the command tail and current directory it got, and by which rule.
struct LaunchRecord {
  std::string startedBy;  // "autorun", "explorer" or "command"
  std::string program;    // "D:\SETUP\QUELM.EXE"
  std::string commandLine;
  std::string commandTail;  // as the launcher reads it from the command line
  std::string currentDirectory;
  std::string why;
  std::vector<std::string> notes;
  bool asksFirst = false;  // AutoPlay's dialog asked first, and the user chose to run the program
  // What Explorer shows for the drive, from AUTORUN.INF's label= and icon=; empty where not given.
  std::string driveLabel;
  std::string driveIcon;
};

struct StartEvent {
  std::string osName;
  std::string windows;                // the release the machine is, or its raw version record
  std::string standsFor;              // the releases the launcher gives osName, by its own classification
  std::optional<std::string> script;  // [Application] osName as read; nothing where there is none
  unsigned scriptLine = 0;            // its line in QUELM.INI; 0 where no line gave it
  std::string baseDir;
  std::string iniPath;
  std::string installDir;
  std::optional<bool> installDirExists;  // nothing where it lies on no simulated drive
  int32_t usbSupplementInstalled = 0;
  std::string pciAccess;               // how the real program reaches the configuration space here
  std::string noScriptBecause;         // where there is no script: why, as the file shows it
  std::optional<LaunchRecord> launch;  // nothing where the start is the plain one every run had before
};

// A script token as the interpreter took it, and what it does with it.
struct TokenEvent {
  std::string token;
  std::string command;     // the command word it selects; empty for none: the token is skipped
  std::string nearest;     // for one that selects none: the command word it most likely meant, if any
  std::string whyNone;     // for one that selects none, where the cause is plain: a blank before it, ...
  std::string skipped;     // why a command it selects does nothing: the USB supplement is installed
  bool cardFound = false;  // a card list has filled the card record before it
};

// An Exec command: its program line as read, the line once [CWD] and [OS] are expanded, and whether
// the shell was asked to open anything.
struct ExecEvent {
  std::string section;
  std::string programLine;  // as read; empty where the section has none
  std::string expanded;     // empty where the line could not be expanded
  bool opened = false;
  std::string notOpened;  // why nothing was opened
};

struct MessageEvent {
  std::string key;
  uint32_t style = 0;
  std::string text;
  int32_t answer = kAnswerOk;
};

struct QuitEvent {};

struct CardEvent {
  std::string hardwareId;
  std::string location;
  std::string busType;
  int32_t passFlag = 0;
};

// One entry of a card list as the launcher tried it, and where the bus has the card it names.
struct CardEntryTried {
  std::string key;         // "1", "2", ...
  std::string entry;       // as read
  bool namesCard = false;  // it has vendor and device fields
  uint16_t vendorId = 0;
  uint16_t deviceId = 0;
  std::vector<std::string> foundAt;  // "BB:DD.F" of each function with those IDs, in scan order
};

// A card list, entry by entry up to the first whose card is on the bus.
struct CardListEvent {
  std::string section;
  std::vector<CardEntryTried> entries;
  bool found = false;
  std::string pciAccess;  // "none": the launcher has no way to the bus here, so nothing is found
};

// The enumerator key check, with what the registry held: the hardware keys whose names contain the
// card's hardware ID (with case, as the launcher compares) and their instance keys.
struct KeyCheckEvent {
  std::string hardwareId;
  std::string location;
  bool found = false;
  // found, no-enumerator, no-hardware-key, wrong-case, wrong-location, key-refused
  std::string verdict;
  std::vector<std::string> hardwareKeys;
  std::vector<std::string> instanceKeys;  // "HARDWARE\INSTANCE"
  std::string match;                      // "HARDWARE\INSTANCE" where found
  std::string nearestMiss;                // in words, where not found
};

struct InstallerEvent {
  std::string commandLine;
  std::optional<std::string> foundAt;  // where it was found; nothing when taken as present or missing
  std::vector<std::string> searched;   // the folders looked through when it was searched for
  bool started = false;
  uint32_t error = 0;         // the system's error code when it could not be started
  uint32_t exitCode = 0;      // once it has ended
  uint32_t windowPasses = 0;  // passes over the top-level windows while looking for its window
  bool clicked = false;       // its button was pressed
};

struct ShellEvent {
  std::string file;
  std::optional<std::string> directory;  // none when no working directory was given
  // Whether they exist, for paths with a drive letter on a simulated drive; nothing for any other.
  std::optional<bool> fileExists;
  std::optional<bool> directoryExists;
};

// The launcher would have waited forever here on a real machine: the installer program never shows a
// window the launcher takes (or never its button) and never ends by itself. The simulation ends it (as
// a user would through the task list) so that the run can be shown to its end.
struct HangEvent {
  std::string waitingFor;
};

struct ExitEvent {
  int32_t exitCode = 0;
};

using Event = std::variant<StartEvent, TokenEvent, ExecEvent, MessageEvent, QuitEvent, CardListEvent,
                           CardEvent, KeyCheckEvent, InstallerEvent, ShellEvent, HangEvent, ExitEvent>;

}  // namespace quelm::sim
