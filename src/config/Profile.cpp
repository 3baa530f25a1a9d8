// Profile access with the launcher's fixed default and guaranteed termination.
#include "config/Profile.h"

namespace quelm {

void Profile::ReadInto(const char* section, const char* key, char* buffer, unsigned size) const {
  buffer[0] = '\0';
  if (path_ == nullptr || path_[0] == '\0') return;
  platform_.ReadProfileString(section, key, "", buffer, size, path_);
  buffer[size - 1] = '\0';
}

}  // namespace quelm
