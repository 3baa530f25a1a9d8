// Exec commands: a program line from the profile, its macros expanded, opened through the shell.
#include "app/LauncherApp.h"
#include "config/FieldList.h"

namespace quelm {

namespace {

// Replaces each occurrence of `macro` that stands in `line`, left to right; what a replacement brings
// in is not searched again, so a value that itself holds the macro cannot make this loop forever.
bool ReplaceWritten(Text<kMessageCapacity>& line, TextView macro, TextView value, const LeadBytes& leadBytes) {
  Text<kMessageCapacity> work;
  unsigned copied = 0;
  bool whole = true;
  for (unsigned at = FindWhole(line, macro, leadBytes); at != kNotFound;
       at = FindWhole(line, macro, leadBytes, copied)) {
    whole &= work.Append(line.View().Suffix(copied).Prefix(at - copied));
    whole &= work.Append(value);
    copied = at + macro.length;
  }
  whole &= work.Append(line.View().Suffix(copied));
  line = work;
  return whole;
}

}  // namespace

bool LauncherApp::ExpandMacros(Text<kNameCapacity>& line) const {
  Text<kMessageCapacity> work(line);
  // A macro never begins at the second byte of a double-byte character (a trail byte can be "[").
  const LeadBytes leadBytes = probe.ReadLeadBytes();
  if (!ReplaceWritten(work, "[CWD]", baseDir, leadBytes)) return false;
  // "[OS]" has no value of its own: nothing in the run fills it, so it is removed, including any
  // that the base directory brought in. Every removal shortens the line, so this ends.
  ReplaceUntilGone(work, "[OS]", "", leadBytes);
  return line.Assign(work);
}

void LauncherApp::LaunchProgram(const char* section) {
  Text<kNameCapacity> line;
  Configuration().Read(section, "program", line);
  // A line too long for its buffer would reach the shell cut, naming some other file.
  if (!ExpandMacros(line)) return;
  FieldCursor fields(line);
  TextView file;
  TextView skipped;
  TextView directory;
  if (!fields.Next(file)) return;
  const bool hasDirectory = fields.Next(skipped) && fields.Next(directory);
  const Text<kNameCapacity> fileText(file);
  const Text<kNameCapacity> directoryText(directory);
  platform_.ShellOpen(fileText.CStr(), hasDirectory ? directoryText.CStr() : nullptr);
}

}  // namespace quelm
