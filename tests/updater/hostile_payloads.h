// Payloads written to damage what a patch must not touch: the archive, the
// payload file and the updater under other spellings and through links,
// paths that only fit when cut, and streams that break after each kind of
// command. Every one must fail with the run's message before the first
// change, leaving the game directory byte for byte as it was. Shared by
// the engine's tests and those of `kestrel-patch apply`.
#ifndef TESTS_UPDATER_HOSTILE_PAYLOADS_H_
#define TESTS_UPDATER_HOSTILE_PAYLOADS_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace fixture {

// A game directory: "mareld.dat", the updater "kestrel-update.exe" (a
// long name, so Windows gives it a different short one), "old.txt",
// "tree/x", "sub/". With `length`, the directory's path is exactly that
// many bytes long (nested below a scratch directory).
struct HostileGame {
  explicit HostileGame(std::size_t length = 0);
  std::string operator/(const std::string& name) const { return dir + "/" + name; }

  TempDir root;
  std::string dir;
  std::string exe;
  std::string old_archive;
};

struct HostileCase {
  std::string what;
  std::size_t dir_length = 0;  // 0: any
  // Prepares the directory; false skips the case (the system cannot make
  // what it needs, e.g. links under Wine).
  std::function<bool(HostileGame&)> setup;
  std::function<Commands(const HostileGame&)> commands;
  // Whether the run's one message (cp932) is the expected one.
  std::function<bool(const std::string& message, const HostileGame&)> expected;
  std::string expected_text;  // the same in words, for failure output
};

// The table; rows that only apply to this platform's file names (Windows
// spellings, paths longer than Windows takes) are included or not here.
std::vector<HostileCase> HostilePayloads();

}  // namespace fixture

#endif  // TESTS_UPDATER_HOSTILE_PAYLOADS_H_
