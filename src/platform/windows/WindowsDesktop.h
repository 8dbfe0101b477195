// The Windows desktop: the shell opens addresses and files, regedit shows keys.
#pragma once

#include "platform/Desktop.h"

namespace pgl {

class WindowsDesktop : public Desktop {
 public:
  bool OpenAddress(const std::string& url) override;
  bool OpenFile(const std::string& windowsPath) override;
  // Regedit opens at the key it last showed: that is set to `keyPath` first.
  bool JumpToRegistryKey(const std::string& keyPath) override;
};

}  // namespace pgl
