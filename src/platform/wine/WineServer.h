// Whether a wineserver is running for a prefix, found without talking to it.
#pragma once

#include <string>
#include <vector>

namespace pgl {

// A running server holds an fcntl write lock on the "lock" file of its directory:
// $TMPDIR/<name>/server-<dev>-<inode> where the prefix's "wineserver" file names <name>
// (Debian), or /tmp/.wine-<uid>/server-<dev>-<inode> (upstream Wine). Its TMPDIR may not be
// ours, so a server is also found as a process whose working folder is a server directory
// of the prefix (the server works in its directory).
bool IsWineServerRunning(const std::string& prefixDir);

// Held while a registry file of the prefix is replaced, so that no wineserver can start
// (and load the old file) in between: the server's own lock in each of its directories that
// exist (a server that finds it held waits and retries), and a lock of ours that keeps our
// own writers one at a time: a writer waits up to `waitSeconds` for another's save to end.
// The server's lock is an open file description lock: it stays held whatever descriptors of
// the file the process opens and closes meanwhile.
class WineSaveLock {
 public:
  static constexpr int kDefaultWaitSeconds = 60;
  explicit WineSaveLock(const std::string& prefixDir, int waitSeconds = kDefaultWaitSeconds);
  ~WineSaveLock();
  WineSaveLock(const WineSaveLock&) = delete;
  WineSaveLock& operator=(const WineSaveLock&) = delete;
  // False when a server holds its lock: it runs.
  bool ServerFree() const { return serverFree_; }
  // False when another writer of ours kept its turn past the wait.
  bool TurnTaken() const { return turnTaken_; }

 private:
  std::vector<int> fds_;
  bool serverFree_ = true;
  bool turnTaken_ = true;
};

// The candidate server directories for a prefix (for tests and messages).
std::string WineServerDirectory(const std::string& prefixDir);

}  // namespace pgl
