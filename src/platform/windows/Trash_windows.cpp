// The Recycle Bin, through the shell's file operation with undo allowed.
#include <windows.h>

// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/Trash.h"
#include "util/WindowsText.h"

namespace pgl {

bool MoveToTrash(const std::string& path, std::string& error) {
  std::wstring from = WideText(path);
  from.push_back(L'\0');  // the list of names ends with an empty one
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  const int result = SHFileOperationW(&op);
  if (result == 0 && !op.fAnyOperationsAborted) return true;
  error = "cannot move \"" + path + "\" to the Recycle Bin (error " + std::to_string(result) + ")";
  return false;
}

bool MoveToTrashBeneath(const std::string& root, const std::string& path, const FileId& expected,
                        std::string& error) {
  if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) {
    error = "\"" + path + "\" is not inside " + root;
    return false;
  }
  const auto now = IdentityOf(path, false);
  if (!now || *now != expected) {
    error = "\"" + path + "\" was replaced since it was found; it was not moved";
    return false;
  }
  return MoveToTrash(path, error);
}

void RefreshDesktopMenus(const std::string&) {}  // the Start menu needs no rebuilding

}  // namespace pgl
