// What the window hands to the user's desktop: web addresses, files and folders of the
// managed system, and the registry editor opened at a key.
#pragma once

#include <string>

namespace pgl {

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Opens a web address with the desktop's opener. False when it could not be handed over.
  virtual bool OpenAddress(const std::string& url) = 0;
  // Opens a file or folder of the managed system (a Windows path) with the desktop's opener.
  // False when the path names nothing that exists.
  virtual bool OpenFile(const std::string& windowsPath) = 0;
  // Starts the system's registry editor showing `keyPath` (full root names, such as
  // "HKEY_LOCAL_MACHINE\SOFTWARE\...").
  virtual bool JumpToRegistryKey(const std::string& keyPath) = 0;
};

}  // namespace pgl
