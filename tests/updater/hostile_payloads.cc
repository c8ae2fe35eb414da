#include "hostile_payloads.h"

#include <filesystem>

#include "engine/messages.h"
#include "platform/filesystem.h"
#include "support/links.h"

namespace fs = std::filesystem;

namespace fixture {

HostileGame::HostileGame(std::size_t length) {
  dir = root.path();
  while (length > 0 && dir.size() < length) {
    // Levels of at most 100 bytes; the last one makes the length exact.
    std::size_t room = length - dir.size() - 1;
    if (room > 100 && room < 102) room = 50;  // leave room for one more level
    dir += "/" + std::string(room > 100 ? 100 : room, 'd');
    fs::create_directory(dir);
  }
  exe = dir + "/kestrel-update.exe";
  WriteBytes(exe, "");  // the test writes the updater; its name exists now
  old_archive = MakeArchive({{"data/a.txt", "old-a"}, {"gone.txt", "bye"}});
  WriteBytes(dir + "/mareld.dat", old_archive);
  WriteBytes(dir + "/old.txt", "old");
  fs::create_directories(dir + "/tree");
  WriteBytes(dir + "/tree/x", "x");
  fs::create_directories(dir + "/sub");
}

namespace {

using Check = std::function<bool(const std::string&, const HostileGame&)>;

// The message with the whole path dir + "/" + `name`.
Check PathMessage(const char* format, const std::string& name) {
  return [format, name](const std::string& m, const HostileGame& g) {
    return m == Format(format, g / name);
  };
}
Check Exactly(const char* message) {
  return [message](const std::string& m, const HostileGame&) { return m == message; };
}
// "cannot delete" naming one of the run's own files inside `tree`: the
// archive, the updater or the payload's temporary file "qx*".
Check DeletesOwnFile(const std::string& tree) {
  return [tree](const std::string& m, const HostileGame& g) {
    const std::string at = tree.empty() ? g.dir : g / tree;
    for (const std::string& own : {at + "/mareld.dat", at + "/kestrel-update.exe"})
      if (m == Format(updater::kMsgCannotDelete, own)) return true;
    const std::string format = updater::kMsgCannotDelete;
    const std::string head = format.substr(0, format.find("%s")) + at + "/qx";
    const std::string tail = format.substr(format.find("%s") + 2);
    return m.size() > head.size() + tail.size() && m.compare(0, head.size(), head) == 0 &&
           m.compare(m.size() - tail.size(), tail.size(), tail) == 0;
  };
}

bool NoSetup(HostileGame&) { return true; }

// A harmless first command: the check must stop the run before it.
Commands First() { return Commands().WriteFile("first.txt", "1").DeleteFile("old.txt"); }

// A name of `total` - dir - 1 bytes, so that dir + "/" + name is `total`.
std::string NameFor(const HostileGame& g, std::size_t total, const std::string& stem) {
  return stem + std::string(total - g.dir.size() - 1 - stem.size(), 'n');
}

}  // namespace

std::vector<HostileCase> HostilePayloads() {
  using namespace updater;
  std::vector<HostileCase> cases;
  auto add = [&cases](std::string what, std::function<bool(HostileGame&)> setup,
                      std::function<Commands(const HostileGame&)> commands,
                      Check expected, std::string text, std::size_t length = 0) {
    cases.push_back({std::move(what), length, std::move(setup), std::move(commands),
                     std::move(expected), std::move(text)});
  };

  // Other spellings of the run's own files.
  add("write the archive as sub/../mareld.dat", NoSetup,
      [](const HostileGame&) { return First().WriteFile("sub/../mareld.dat", "garbage"); },
      PathMessage(kMsgCannotCreateFile, "sub/../mareld.dat"), "cannot create sub/../mareld.dat");
  add("write the archive as DIR//mareld.dat", NoSetup,
      [](const HostileGame& g) { return First().WriteFile(g.dir + "//mareld.dat", "garbage"); },
      PathMessage(kMsgCannotCreateFile, "/mareld.dat"), "cannot create DIR//mareld.dat");
  add("delete the archive as sub/../mareld.dat", NoSetup,
      [](const HostileGame&) { return First().DeleteFile("sub/../mareld.dat"); },
      PathMessage(kMsgCannotDelete, "sub/../mareld.dat"), "cannot delete sub/../mareld.dat");
  add("delete the archive as DIR//mareld.dat", NoSetup,
      [](const HostileGame& g) { return First().DeleteFile(g.dir + "//mareld.dat"); },
      PathMessage(kMsgCannotDelete, "/mareld.dat"), "cannot delete DIR//mareld.dat");
  add("empty the game directory as \".\"", NoSetup,
      [](const HostileGame&) { return First().EmptyTree("."); },
      DeletesOwnFile("."), "cannot delete one of the run's files");
  add("empty the game directory as \"\"", NoSetup,
      [](const HostileGame&) { return First().EmptyTree(""); },
      DeletesOwnFile(""), "cannot delete one of the run's files");
  add("write the updater as sub/../kestrel-update.exe", NoSetup,
      [](const HostileGame&) { return First().WriteFile("sub/../kestrel-update.exe", "x"); },
      PathMessage(kMsgCannotCreateFile, "sub/../kestrel-update.exe"), "cannot create the updater");
  add("delete the updater", NoSetup,
      [](const HostileGame&) { return First().DeleteFile("kestrel-update.exe"); },
      PathMessage(kMsgCannotDelete, "kestrel-update.exe"), "cannot delete the updater");
  add("write a hard link to the archive",
      [](HostileGame& g) { return testing_support::MakeHardLink(g / "mareld.dat", g / "alias.dat"); },
      [](const HostileGame&) { return First().WriteFile("alias.dat", "garbage"); },
      PathMessage(kMsgCannotCreateFile, "alias.dat"), "cannot create alias.dat");
  add("delete a hard link to the archive",
      [](HostileGame& g) { return testing_support::MakeHardLink(g / "mareld.dat", g / "alias.dat"); },
      [](const HostileGame&) { return First().DeleteFile("alias.dat"); },
      PathMessage(kMsgCannotDelete, "alias.dat"), "cannot delete alias.dat");
  add("empty a tree holding a hard link to the archive",
      [](HostileGame& g) { return testing_support::MakeHardLink(g / "mareld.dat", g / "tree/alias"); },
      [](const HostileGame&) { return First().EmptyTree("tree"); },
      PathMessage(kMsgCannotDelete, "tree/alias"), "cannot delete tree/alias");
  add("write through a link to the archive",
      [](HostileGame& g) { return testing_support::MakeFileLink(g / "mareld.dat", g / "link.dat"); },
      [](const HostileGame&) { return First().WriteFile("link.dat", "garbage"); },
      PathMessage(kMsgCannotCreateFile, "link.dat"), "cannot create link.dat");

  if (platform::NamesIgnoreCase()) {
    // Windows reads these as the same names.
    add("write the archive as sub\\..\\mareld.dat", NoSetup,
        [](const HostileGame&) { return First().WriteFile("sub\\..\\mareld.dat", "garbage"); },
        PathMessage(kMsgCannotCreateFile, "sub\\..\\mareld.dat"), "cannot create sub\\..\\mareld.dat");
    add("write the archive as mareld.dat.", NoSetup,
        [](const HostileGame&) { return First().WriteFile("mareld.dat.", "garbage"); },
        PathMessage(kMsgCannotCreateFile, "mareld.dat."), "cannot create mareld.dat.");
    add("delete the archive as MARELD.DAT", NoSetup,
        [](const HostileGame&) { return First().DeleteFile("MARELD.DAT"); },
        PathMessage(kMsgCannotDelete, "MARELD.DAT"), "cannot delete MARELD.DAT");
    auto short_name = [](const HostileGame& g) {
      const std::string full = testing_support::ShortPath(g.exe);
      return full.substr(full.find_last_of("/\\") + 1);
    };
    add("write the updater by its short name",
        [short_name](HostileGame& g) {
          const std::string name = short_name(g);
          return !name.empty() && name != "kestrel-update.exe";
        },
        [short_name](const HostileGame& g) { return First().WriteFile(short_name(g), "x"); },
        [short_name](const std::string& m, const HostileGame& g) {
          return m == Format(kMsgCannotCreateFile, g / short_name(g));
        },
        "cannot create the updater's short name");
  } else {
    // Paths longer than 263 bytes, which Windows does not take anyway.
    // "precious.txt" ends at byte 263; a cut would land on it.
    const std::size_t tight = 263 - std::string("/precious.txt").size();
    auto precious = [](HostileGame& g) { return WriteBytes(g / "precious.txt", "keep"); };
    add("delete a name that a cut makes precious.txt", precious,
        [](const HostileGame&) { return First().DeleteFile("precious.txt_obsolete_copy"); },
        PathMessage(kMsgCannotDelete, "precious.txt_obsolete_copy"),
        "cannot delete the whole long path", tight);
    add("write a name that a cut makes precious.txt", precious,
        [](const HostileGame&) { return First().WriteFile("precious.txt.new_version", "x"); },
        PathMessage(kMsgCannotCreateFile, "precious.txt.new_version"),
        "cannot create the whole long path", tight);
    add("write a path of 264 bytes", NoSetup,
        [](const HostileGame& g) { return First().WriteFile(NameFor(g, 264, "w"), "x"); },
        [](const std::string& m, const HostileGame& g) {
          return m == Format(kMsgCannotCreateFile, g / NameFor(g, 264, "w"));
        },
        "cannot create the 264-byte path", 200);
    add("make a directory of 264 bytes", NoSetup,
        [](const HostileGame& g) { return First().MakeDirectory(NameFor(g, 264, "m")); },
        Exactly(kMsgCannotCreateDirectory), "cannot create directory", 200);
    add("empty a tree of 263 bytes holding a file",
        [](HostileGame& g) {
          const std::string tree = g / NameFor(g, 263, "t");
          fs::create_directory(tree);
          return WriteBytes(tree + "/f", "f");
        },
        [](const HostileGame& g) { return First().EmptyTree(NameFor(g, 263, "t")); },
        [](const std::string& m, const HostileGame& g) {
          return m == Format(kMsgCannotDelete, g / (NameFor(g, 263, "t") + "/f"));
        },
        "cannot delete the whole path of the file", 200);
  }

  // Files and entries that earlier commands removed, or that never were.
  add("delete a file twice", NoSetup,
      [](const HostileGame&) { return Commands().DeleteFile("old.txt").DeleteFile("old.txt"); },
      PathMessage(kMsgCannotDelete, "old.txt"), "cannot delete old.txt");
  add("delete a file of an emptied tree", NoSetup,
      [](const HostileGame&) { return First().EmptyTree("tree").DeleteFile("tree/x"); },
      PathMessage(kMsgCannotDelete, "tree/x"), "cannot delete tree/x");
  add("delete a missing file", NoSetup,
      [](const HostileGame&) { return First().DeleteFile("missing.txt"); },
      PathMessage(kMsgCannotDelete, "missing.txt"), "cannot delete missing.txt");
  add("remove an entry twice", NoSetup,
      [](const HostileGame&) { return First().RemoveEntry("gone.txt").RemoveEntry("GONE.TXT"); },
      [](const std::string& m, const HostileGame&) {
        return m == Format(kMsgCannotDelete, "GONE.TXT");
      },
      "cannot delete GONE.TXT");

  // Deltas: never without a manifest that proves their reference, and never
  // against what an earlier command of the stream made.
  const std::string frame = Le32(5) + Le32(5) + std::string(16, 'h') + Le32(8) + Le32(4) + "zstd";
  add("patch a file without a manifest", NoSetup,
      [frame](const HostileGame&) { return First().Raw(Le32(6) + Le32(7) + "old.txt" + frame); },
      PathMessage(kMsgCannotCreateFile, "old.txt"), "cannot create old.txt");
  add("patch an entry without a manifest", NoSetup,
      [frame](const HostileGame&) { return First().Raw(Le32(7) + Le32(10) + "data/a.txt" + frame); },
      [](const std::string& m, const HostileGame&) {
        return m == Format(kMsgCannotAddEntry, "data/a.txt");
      },
      "cannot add data/a.txt");
  add("patch the archive", NoSetup,
      [frame](const HostileGame&) { return First().Raw(Le32(6) + Le32(10) + "mareld.dat" + frame); },
      PathMessage(kMsgCannotCreateFile, "mareld.dat"), "cannot create mareld.dat");
  add("patch a missing file", NoSetup,
      [frame](const HostileGame&) { return First().Raw(Le32(6) + Le32(7) + "new.txt" + frame); },
      PathMessage(kMsgCannotCreateFile, "new.txt"), "cannot create new.txt");

  // Streams that break after each kind of command, or inside its record.
  const std::vector<std::pair<const char*, Commands>> kinds = {
      {"write", Commands().WriteFile("first.txt", "1")},
      {"delete", Commands().DeleteFile("old.txt")},
      {"mkdir", Commands().MakeDirectory("made")},
      {"empty", Commands().EmptyTree("tree")},
      {"put", Commands().PutEntry("new.bin", "n")},
      {"remove", Commands().RemoveEntry("data/a.txt")},
  };
  const std::vector<std::pair<const char*, std::string>> cuts = {
      {"a partial opcode", std::string("\x01\x00", 2)},
      {"a cut name", Le32(1) + Le32(10) + "abc"},
      {"a cut size", Le32(0) + Le32(1) + "a" + "\x05"},
      {"cut content", Le32(0) + Le32(1) + "a" + Le32(100) + "only ten.."},
      {"cut entry content", Le32(4) + Le32(1) + "e" + Le32(100) + "only ten.."},
      {"an unknown opcode", Le32(8) + Le32(1) + "a"},
      {"a cut delta head", Le32(6) + Le32(1) + "a" + Le32(5) + Le32(5)},
      {"a delta of zero bytes", Le32(6) + Le32(1) + "a" + Le32(0) + Le32(5) +
                                    std::string(16, 'h') + Le32(0)},
      {"a cut delta", Le32(7) + Le32(1) + "e" + Le32(5) + Le32(5) + std::string(16, 'h') +
                          Le32(100) + Le32(96) + "only ten.."},
      {"a delta frame past its byte count", Le32(6) + Le32(1) + "a" + Le32(5) + Le32(5) +
                                                std::string(16, 'h') + Le32(8) + Le32(9) +
                                                "12345678"},
      {"delta bytes past its last frame", Le32(7) + Le32(1) + "e" + Le32(5) + Le32(5) +
                                              std::string(16, 'h') + Le32(10) + Le32(2) +
                                              "ab" + "cdef"},
  };
  for (const auto& kind : kinds)
    for (const auto& cut : cuts) {
      const Commands commands = Commands(kind.second).Raw(cut.second);
      add(std::string("truncated after ") + kind.first + ": " + cut.first, NoSetup,
          [commands](const HostileGame&) { return commands; }, Exactly(kMsgCannotRead),
          "cannot read");
    }
  return cases;
}

}  // namespace fixture
