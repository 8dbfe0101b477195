#include "registry/WineRegPieces.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "registry/WineRegBlocks.h"
#include "registry/WineRegParser.h"

namespace pgl::winereg {

namespace {

// A file read as it arrives: the reader fills buffers of about `pieceSize` bytes, cuts each at
// its last key block (the rest goes on to the next buffer) and hands the piece on; the caller
// and `helpers` threads parse the pieces, each into a tree of its own, taking them in turn as
// they are free. A few buffers are used again and again, so the file is never held whole and
// reading overlaps parsing. The trees are then joined in the file's order. Each thread keeps
// the values it reads in one arena of its own, which the joined tree then takes: an arena per
// piece would leave room unused at the end of each.
class PieceReader {
 public:
  PieceReader(const ByteSource& source, std::size_t pieceSize, bool cutting, unsigned helpers,
              const BlockFilter* keep)
      : source_(source),
        pieceSize_(std::max<std::size_t>(pieceSize, 1)),
        cutting_(cutting),
        keep_(keep),
        helpers_(helpers),
        buffers_(helpers + 3),
        arenas_(helpers + 1) {
    for (std::size_t i = 0; i < buffers_.size(); ++i) idle_.push_back(i);
  }

  ~PieceReader() { Finish(); }

  // Empty when the source failed, a piece met a problem or the trees do not join; a file read
  // as one piece answers what one reader answers, problems and all.
  std::optional<WineParseResult> Run(WineHive& hive) {
    try {
      ReadAll();
    } catch (...) {
      Finish();
      throw;
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!waiting_.empty() && !stop_) ParseOne(lock, 0);
    }
    Finish();
    if (failed_) std::rethrow_exception(failed_);
    if (sourceFailed_) return std::nullopt;
    if (pieces_.size() == 1 && ended_) {
      hive = std::move(pieces_[0].hive);
      TakeArenas(hive);
      return std::move(pieces_[0].result);
    }
    if (stop_ || pieces_.empty()) return std::nullopt;
    hive = std::move(pieces_[0].hive);
    for (std::size_t i = 1; i < pieces_.size(); ++i)
      if (!hive.root->Merge(std::move(*pieces_[i].hive.root))) {
        hive = WineHive{};
        return std::nullopt;
      }
    TakeArenas(hive);
    return std::move(pieces_[0].result);
  }

 private:
  void TakeArenas(WineHive& hive) {
    for (RegArena& arena : arenas_) hive.root->Arena().Adopt(std::move(arena));
  }

  struct Piece {
    std::size_t index;
    std::size_t buffer;
    std::size_t size;
    WineHive hive;
    WineParseResult result;
  };

  // Buffers are not cleared: only bytes read into them are ever looked at.
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };
  // Room for at least `size` bytes, the first `keep` of them kept. A buffer holds a piece after
  // the start of a block carried over from the one before, so it is made with room for two
  // pieces: made again for every longer carry, each buffer would be fresh memory to the system
  // again and again (a small file's read is spent on such page faults). Only the bytes read
  // into it are ever touched.
  void Reserve(Buffer& buffer, std::size_t size, std::size_t keep) const {
    if (buffer.size >= size) return;
    const std::size_t room = std::max(size, 2 * pieceSize_);
    auto bigger = std::make_unique_for_overwrite<char[]>(room);
    if (keep) std::memcpy(bigger.get(), buffer.bytes.get(), keep);
    buffer.bytes = std::move(bigger);
    buffer.size = room;
  }

  void ReadAll() {
    std::optional<std::size_t> current = Acquire();
    std::size_t used = 0, limit = pieceSize_;
    bool first = true;
    while (current) {
      Buffer& buffer = buffers_[*current];
      Reserve(buffer, limit, used);
      if (!ended_ && used < limit) {
        const std::ptrdiff_t n = source_(buffer.bytes.get() + used, limit - used);
        if (n < 0) {
          sourceFailed_ = true;
          Stop();
          return;
        }
        if (n == 0)
          ended_ = true;
        else
          used += static_cast<std::size_t>(n);
        continue;
      }
      if (ended_) {
        Hand(*current, used);
        return;
      }
      const std::size_t cut = cutting_
                                  ? LastBlockCut(std::string_view(buffer.bytes.get(), used), first)
                                  : std::string_view::npos;
      if (cut == std::string_view::npos) {
        // A block longer than the piece (or a file read as one piece): more room.
        limit *= 2;
        continue;
      }
      const std::optional<std::size_t> next = Acquire();
      if (!next) return;
      const std::size_t rest = used - cut;
      Reserve(buffers_[*next], rest + pieceSize_, 0);
      if (rest) std::memcpy(buffers_[*next].bytes.get(), buffer.bytes.get() + cut, rest);
      Hand(*current, cut);
      if (pieces_.size() == 2) StartHelpers();  // only a file of several pieces needs them
      current = next;
      used = rest;
      limit = rest + pieceSize_;
      first = false;
    }
  }

  void StartHelpers() {
    for (unsigned t = 0; t < helpers_; ++t) {
      try {
        threads_.emplace_back([this, t] { Help(t + 1); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: fewer readers
      }
    }
  }

  // A buffer no piece uses; while there is none, the reader parses a piece itself.
  std::optional<std::size_t> Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (stop_) return std::nullopt;
      if (!idle_.empty()) {
        const std::size_t buffer = idle_.back();
        idle_.pop_back();
        return buffer;
      }
      if (!waiting_.empty())
        ParseOne(lock, 0);
      else
        changed_.wait(lock);
    }
  }

  void Hand(std::size_t buffer, std::size_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    pieces_.push_back(Piece{pieces_.size(), buffer, size, {}, {}});
    waiting_.push_back(&pieces_.back());
    changed_.notify_one();
  }

  // Parses pieces on a thread of its own, with its own arena (0 is the reader's).
  void Help(unsigned slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !waiting_.empty() || finished_ || stop_; });
      if (stop_ || waiting_.empty()) return;
      ParseOne(lock, slot);
    }
  }

  // Parses the next waiting piece, the lock let go meanwhile; its buffer is then free again.
  void ParseOne(std::unique_lock<std::mutex>& lock, unsigned slot) {
    Piece& piece = *waiting_.front();
    waiting_.pop_front();
    const std::string_view bytes(buffers_[piece.buffer].bytes.get(), piece.size);
    lock.unlock();
    bool problem = false;
    std::exception_ptr failed;
    try {
      ParseBlocks(bytes, piece.hive, piece.result, keep_, piece.index > 0, &arenas_[slot]);
      problem =
          !piece.result.problems.empty() || (piece.index == 0 && !piece.result.isRegistryFile);
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    if (failed && !failed_) failed_ = failed;
    if (problem || failed) stop_ = true;
    idle_.push_back(piece.buffer);
    changed_.notify_all();
  }

  void Stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

  void Finish() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
      changed_.notify_all();
    }
    for (std::thread& thread : threads_)
      if (thread.joinable()) thread.join();
  }

  const ByteSource& source_;
  const std::size_t pieceSize_;
  const bool cutting_;
  const BlockFilter* keep_;
  const unsigned helpers_;
  std::vector<Buffer> buffers_;
  std::vector<RegArena> arenas_;   // one for each thread that parses
  std::vector<std::size_t> idle_;  // buffers no piece uses
  std::deque<Piece> pieces_;       // in the file's order; an element stays where it is
  std::deque<Piece*> waiting_;     // read, not yet parsed
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;  // nothing more will be handed on
  bool stop_ = false;      // a problem or a failure: nothing more is worth reading
  bool ended_ = false;     // the source is at its end
  bool sourceFailed_ = false;
  std::exception_ptr failed_;
  std::vector<std::thread> threads_;
};

}  // namespace

std::optional<WineParseResult> ReadInPieces(const ByteSource& source, std::size_t pieceSize,
                                            bool cutting, unsigned helpers, const BlockFilter* keep,
                                            WineHive& hive) {
  return PieceReader(source, pieceSize, cutting, helpers, keep).Run(hive);
}

// Sixteen pieces, of at least half kReadInPiecesFrom and at most a megabyte.
std::size_t PieceSizeFor(std::uint64_t size) {
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(size / 16, kReadInPiecesFrom / 2, std::size_t{1} << 20));
}

unsigned Helpers() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u) - 1;
}

}  // namespace pgl::winereg
