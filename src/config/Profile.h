// Reads entries of QUELM.INI through the platform's profile reader, always with the default "".
#pragma once

#include "config/Text.h"
#include "platform/Platform.h"

namespace quelm {

class Profile {
 public:
  // An empty `path` means there is no usable configuration file: every entry reads as absent.
  Profile(Platform& platform, const char* path) : platform_(platform), path_(path) {}

  // The entry, cut to the text's capacity less one; empty when absent.
  template <unsigned N>
  void Read(const char* section, const char* key, Text<N>& value) const {
    ReadInto(section, key, value.Buffer(), N);
  }

 private:
  void ReadInto(const char* section, const char* key, char* buffer, unsigned size) const;

  Platform& platform_;
  const char* path_;
};

}  // namespace quelm
