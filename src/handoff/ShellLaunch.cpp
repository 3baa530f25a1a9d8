// Exec commands: macro expansion, field splitting after it, and the shell request.
#include "handoff/ShellLaunch.h"

#include "config/FieldList.h"

namespace quelm {

namespace {

// Replaces each occurrence of `macro` that stands in `line`, left to right; what a replacement brings
// in is not searched again, so a value that itself holds the macro cannot make this loop forever.
[[nodiscard]] bool ReplaceWritten(Text<kMessageCapacity>& line, TextView macro, TextView value,
                                  const LeadBytes& leadBytes) {
  Text<kMessageCapacity> work;
  unsigned copied = 0;
  bool whole = true;
  for (unsigned at = FindWhole(line, macro, leadBytes); at != kNotFound;
       at = FindWhole(line, macro, leadBytes, copied)) {
    whole = work.Append(line.View().Suffix(copied).Prefix(at - copied)) && whole;
    whole = work.Append(value) && whole;
    copied = at + macro.length;
  }
  whole = work.Append(line.View().Suffix(copied)) && whole;
  line = work;
  return whole;
}

}  // namespace

bool ExpandMacros(Text<kNameCapacity>& line, TextView baseDir, const LeadBytes& leadBytes) {
  Text<kMessageCapacity> work(line);
  // A macro never begins at the second byte of a double-byte character (a trail byte can be "[").
  if (!ReplaceWritten(work, "[CWD]", baseDir, leadBytes)) return false;
  // "[OS]" has no value of its own: nothing in the run fills it, so it is removed, including any
  // that the base directory brought in. Every removal shortens the line, so this ends.
  ReplaceUntilGone(work, "[OS]", "", leadBytes);
  Text<kNameCapacity> expanded;
  if (!expanded.Assign(work)) return false;
  line = expanded;
  return true;
}

bool SplitProgramLine(TextView line, TextView& file, TextView& directory) {
  FieldCursor fields(line);
  TextView skipped;
  directory = TextView();
  if (!fields.Next(file)) return false;
  if (!fields.Next(skipped) || !fields.Next(directory)) directory = TextView();
  return true;
}

void LaunchProgram(Platform& platform, const Profile& profile, const char* section, TextView baseDir,
                   const LeadBytes& leadBytes) {
  // Read with one character to spare, so that a line too long for its buffer shows as such: cut, it
  // would reach the shell naming some other file or folder.
  Text<kNameCapacity + 1> written;
  profile.Read(section, "program", written);
  Text<kNameCapacity> line;
  if (!line.Assign(written) || !ExpandMacros(line, baseDir, leadBytes)) return;
  TextView file;
  TextView directory;
  if (!SplitProgramLine(line, file, directory)) return;
  // Fields of a line that fitted its buffer fit buffers of the same size; a field is never empty, so
  // an empty directory is none.
  Text<kNameCapacity> fileText;
  Text<kNameCapacity> directoryText;
  if (!fileText.Assign(file) || !directoryText.Assign(directory)) return;
  platform.ShellOpen(fileText.CStr(), directoryText.IsEmpty() ? nullptr : directoryText.CStr());
}

}  // namespace quelm
