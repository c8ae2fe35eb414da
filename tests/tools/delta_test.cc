// Deltas: the frames the producer makes and the engine rebuilds from, and
// update runs that patch a loose file and an archive entry. A delta meets
// only the exact content it was made from; every other case is refused
// before the first change or undone after, the game byte for byte as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/delta_frames.h"
#include "engine/little_endian.h"
#include "engine/manifest.h"
#include "engine/messages.h"
#include "engine/patch_format.h"
#include "engine/update_run.h"
#include "engine_fixture.h"
#include "interrupt.h"
#include "patchlib/delta_encoder.h"
#include "patchlib/manifest_writer.h"

namespace {

using fixture::Commands;
using updater::DeltaResult;
using updater::ItemState;
using updater::Manifest;
using updater::ManifestRecord;

std::string Random(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// `base` with `count` scattered runs of 64 bytes overwritten.
std::string Edited(std::string base, int count, unsigned seed) {
  std::mt19937 rng(seed);
  for (int i = 0; i < count && base.size() > 64; ++i) {
    const std::size_t at = rng() % (base.size() - 64);
    for (std::size_t k = 0; k < 64; ++k) base[at + k] = static_cast<char>(rng());
  }
  return base;
}

std::string Frames(const std::string& reference, const std::string& data, int level = 3,
                   unsigned threads = 1) {
  std::string frames;
  EXPECT_TRUE(patchlib::EncodeDelta(
      reinterpret_cast<const unsigned char*>(reference.data()),
      static_cast<std::uint32_t>(reference.size()),
      reinterpret_cast<const unsigned char*>(data.data()),
      static_cast<std::uint32_t>(data.size()), level, threads, &frames));
  return frames;
}

updater::DeltaHead Head(const std::string& reference, std::uint32_t new_size,
                        const std::string& frames) {
  updater::DeltaHead head;
  head.new_size = new_size;
  head.reference_size = static_cast<std::uint32_t>(reference.size());
  head.reference_hash = updater::HashBytes(reference.data(), reference.size());
  head.delta_size = static_cast<std::uint32_t>(frames.size());
  return head;
}

struct Rebuilt {
  DeltaResult result;
  std::string bytes;
};

Rebuilt Rebuild(const updater::DeltaHead& head, const std::string& reference,
                const std::string& frames) {
  zorl::KFile ref, delta;
  Rebuilt r;
  // A memory block of at least one byte; the views give the exact sizes.
  EXPECT_TRUE(ref.OpenMemory({}, static_cast<std::uint32_t>(reference.size() + 1),
                             zorl::KMEM_READ | zorl::KMEM_WRITE));
  EXPECT_TRUE(delta.OpenMemory({}, static_cast<std::uint32_t>(frames.size() + 1),
                               zorl::KMEM_READ | zorl::KMEM_WRITE));
  ref.Write(reference.data(), static_cast<std::uint32_t>(reference.size()));
  delta.Write(frames.data(), static_cast<std::uint32_t>(frames.size()));
  zorl::KFile ref_view, delta_view;
  ref_view.OpenView(ref, 0, static_cast<std::int32_t>(reference.size()));
  delta_view.OpenView(delta, 0, static_cast<std::int32_t>(frames.size()));
  r.result = updater::RebuildFromDelta(
      head, ref_view, delta_view, [&r](const unsigned char* data, std::uint32_t n) {
        r.bytes.append(reinterpret_cast<const char*>(data), n);
      });
  return r;
}

TEST(DeltaFrames, RebuildWhatWasEncoded) {
  const std::uint32_t kFrame = updater::kDeltaFrameBytes;
  const std::string small = Random(200 * 1024, 1);
  const std::string big = Random(26u << 20, 2);  // past one reference window
  // Long enough for the window to slide twice, by a frame and by less.
  const std::string longer = Random(34u << 20, 13);
  std::string moved = small.substr(100 * 1024) + small.substr(0, 100 * 1024);
  // A reference that starts like a zstd dictionary is still raw content.
  std::string dictionary_like = std::string("\x37\xA4\x30\xEC", 4) + small;
  struct Case {
    const char* what;
    std::string reference, data;
  } cases[] = {
      {"a few edits", small, Edited(small, 5, 3)},
      {"halves swapped", small, moved},
      {"grown and shrunk", small, small.substr(0, 50000) + Random(3000, 4) + small.substr(40000)},
      {"one byte to one byte", "a", "b"},
      {"nothing in common", Random(5000, 5), Random(7000, 6)},
      {"a reference that looks like a dictionary", dictionary_like,
       Edited(dictionary_like, 2, 7)},
      {"exactly one frame", Random(kFrame, 8), Edited(Random(kFrame, 8), 3, 9)},
      {"one byte past a frame", Random(kFrame, 8), Random(kFrame, 8) + "x"},
      {"windows of a large reference", big, Edited(big, 40, 10)},
      {"windows sliding along a longer reference", longer, Edited(longer, 40, 14)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string frames = Frames(c.reference, c.data, 1);
    const Rebuilt r = Rebuild(Head(c.reference, static_cast<std::uint32_t>(c.data.size()), frames),
                              c.reference, frames);
    EXPECT_EQ(r.result, DeltaResult::kRebuilt);
    EXPECT_TRUE(r.bytes == c.data);
  }
  // Edits that the windows keep near each frame cost a few bytes per edit,
  // nowhere near the 26 MiB sent whole.
  EXPECT_LT(Frames(big, Edited(big, 40, 10), 1).size(), 64u * 1024);
}

TEST(DeltaLevels, TheStrongLevelOnlyWhereTheFastDeltaLeavesMuch) {
  const struct {
    std::uint32_t size;
    std::size_t fast;
    bool strong;
  } kCases[] = {
      {2u << 20, 400u << 10, true},            // a rebuilt executable
      {8u << 20, 66u << 10, false},            // a few blocks of a table changed
      {updater::kDeltaFrameBytes, 1u << 20, true},
      {updater::kDeltaFrameBytes + 1, 4u << 20, false},  // more than one frame
      {6400, 100, false},                      // exactly 1/64
      {6400, 101, true},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(patchlib::StrongerLevelMayPay(c.size, c.fast), c.strong) << c.size << " " << c.fast;
}

TEST(DeltaFrames, BytesDoNotDependOnTheThreadCount) {
  const std::string reference = Random(18u << 20, 11);
  const std::string data = Edited(reference, 20, 12);
  EXPECT_TRUE(Frames(reference, data, 1, 1) == Frames(reference, data, 1, 3));
}

// A window's Cancel reaches a delta under way: no frame is begun after it,
// and the next piece of work encodes again.
TEST(DeltaFrames, AStopRequestEndsTheEncoding) {
  const std::string reference(3 * updater::kDeltaFrameBytes, 'r');
  const std::string data(3 * updater::kDeltaFrameBytes, 'd');
  std::string frames;
  tools::RequestStop();
  EXPECT_FALSE(patchlib::EncodeDelta(
      reinterpret_cast<const unsigned char*>(reference.data()),
      static_cast<std::uint32_t>(reference.size()),
      reinterpret_cast<const unsigned char*>(data.data()),
      static_cast<std::uint32_t>(data.size()), 3, 2, &frames));
  tools::ClearStopRequest();
  EXPECT_FALSE(Frames(reference, data).empty());
}

TEST(DeltaFrames, RefusesWhatIsNotItsReferenceOrItsSize) {
  const std::string reference = Random(100000, 21);
  const std::string data = Edited(reference, 4, 22);
  const std::string frames = Frames(reference, data);
  const updater::DeltaHead head = Head(reference, static_cast<std::uint32_t>(data.size()), frames);

  std::string other = reference;
  other[5000] ^= 1;
  updater::DeltaHead longer = head;
  longer.new_size += 1;  // the frame declares one byte less
  updater::DeltaHead shorter = head;
  shorter.new_size -= 1;  // the frame would expand past the declared size
  std::string doubled = frames + frames;  // a second frame hidden in the count
  const std::uint32_t first = updater::LoadLe32(
      reinterpret_cast<const unsigned char*>(frames.data()));
  updater::StoreLe32(reinterpret_cast<unsigned char*>(&doubled[0]), 2 * first + 4);
  doubled.erase(4 + first, 4);
  updater::DeltaHead doubled_head = head;
  doubled_head.delta_size = static_cast<std::uint32_t>(doubled.size());
  std::string flipped = frames;
  flipped[flipped.size() / 2] ^= 0x55;
  const std::string cut = frames.substr(0, frames.size() - 3);
  updater::DeltaHead cut_head = head;
  cut_head.delta_size = static_cast<std::uint32_t>(cut.size());

  struct Case {
    const char* what;
    updater::DeltaHead head;
    std::string reference, frames;
    DeltaResult result;
  } cases[] = {
      {"a reference with one byte changed", head, other, frames, DeltaResult::kWrongReference},
      {"a reference one byte shorter", head, reference.substr(1), frames,
       DeltaResult::kWrongReference},
      {"a frame that would outgrow the declared size", shorter, reference, frames,
       DeltaResult::kDamaged},
      {"a frame that falls short of it", longer, reference, frames, DeltaResult::kDamaged},
      {"two frames in one", doubled_head, reference, doubled, DeltaResult::kDamaged},
      {"a cut frame", cut_head, reference, cut, DeltaResult::kDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Rebuilt r = Rebuild(c.head, c.reference, c.frames);
    EXPECT_EQ(r.result, c.result);
    // Nothing of a wrong reference is handed out; never more than declared.
    if (c.result == DeltaResult::kWrongReference) {
      EXPECT_EQ(r.bytes, "");
    }
    EXPECT_LE(r.bytes.size(), c.head.new_size);
  }
  // A flipped byte in a frame is damage, or content the manifest's "after"
  // hash catches: never the declared bytes.
  const Rebuilt r = Rebuild(head, reference, flipped);
  EXPECT_TRUE(r.result == DeltaResult::kDamaged || r.bytes != data);
}

// --- Update runs -----------------------------------------------------------

ItemState File(const std::string& content) {
  ItemState s;
  s.kind = ItemState::Kind::kFile;
  s.size = content.size();
  s.hash = updater::HashBytes(content.data(), content.size());
  return s;
}

const std::string kOldFile = Random(300000, 31);
const std::string kNewFile = Edited(kOldFile, 6, 32);
const std::string kOldEntry = Random(200000, 33);
const std::string kNewEntry = Edited(kOldEntry, 6, 34);

std::string Record(const std::string& name, const std::string& reference,
                   const std::string& data, const std::string& frames) {
  unsigned char head[updater::kDeltaHeadSize];
  updater::StoreDeltaHead(Head(reference, static_cast<std::uint32_t>(data.size()), frames), head);
  return fixture::Le32(static_cast<std::uint32_t>(name.size())) + name +
         std::string(reinterpret_cast<char*>(head), sizeof head) + frames;
}
Commands PatchFile(Commands c, const std::string& name, const std::string& reference,
                   const std::string& data, std::string frames = "") {
  if (frames.empty()) frames = Frames(reference, data);
  return c.Raw(fixture::Le32(updater::kOpPatchFile) + Record(name, reference, data, frames));
}
Commands PatchEntry(Commands c, const std::string& name, const std::string& reference,
                    const std::string& data, std::string frames = "") {
  if (frames.empty()) frames = Frames(reference, data);
  return c.Raw(fixture::Le32(updater::kOpPatchEntry) + Record(name, reference, data, frames));
}

Commands Patch() {
  return PatchEntry(PatchFile(Commands().WriteFile("fresh.txt", "f"), "game.exe", kOldFile,
                              kNewFile),
                    "data/table.bin", kOldEntry, kNewEntry);
}

Manifest ManifestFor(const Commands& commands) {
  Manifest m;
  m.inflated_size = commands.bytes().size();
  m.records = {{ManifestRecord::Kind::kLooseFile, "fresh.txt", ItemState{}, File("f")},
               {ManifestRecord::Kind::kLooseFile, "game.exe", File(kOldFile), File(kNewFile)},
               {ManifestRecord::Kind::kArchiveEntry, "data/table.bin", File(kOldEntry),
                File(kNewEntry)}};
  return m;
}

std::string Updater(const Commands& commands, const Manifest& m) {
  std::string bytes, error;
  EXPECT_TRUE(patchlib::EncodeManifest(m, &bytes, &error)) << error;
  return fixture::MakeUpdater(commands) + bytes;
}
std::string Updater(const Commands& commands) { return Updater(commands, ManifestFor(commands)); }

void WriteOld(const std::string& dir) {
  fixture::WriteBytes(dir + "/game.exe", kOldFile);
  fixture::WriteBytes(dir + "/mareld.dat",
                      fixture::MakeArchive({{"data/table.bin", kOldEntry}, {"keep.bin", "k"}}));
}
void WriteNew(const std::string& dir) {
  fixture::WriteBytes(dir + "/game.exe", kNewFile);
  fixture::WriteBytes(dir + "/fresh.txt", "f");
  fixture::WriteBytes(dir + "/mareld.dat",
                      fixture::MakeArchive({{"keep.bin", "k"}, {"data/table.bin", kNewEntry}}));
}

struct Outcome {
  bool completed = false;
  std::vector<std::string> messages;
  fixture::Snapshot before, after;
};

Outcome RunIn(const std::string& updater_bytes,
              const std::function<void(const std::string&)>& prepare,
              updater::RunOptions options = {}) {
  fixture::TempDir game, home;
  prepare(game.path());
  fixture::WriteBytes(home / "update.exe", updater_bytes);
  Outcome o;
  o.before = fixture::TakeSnapshot(game.path());
  fixture::RecordingUi ui;
  o.completed = updater::RunUpdate(ui, (home / "update.exe").c_str(), game.path().c_str(),
                                   options);
  o.messages = ui.messages;
  o.after = fixture::TakeSnapshot(game.path());
  return o;
}

fixture::Snapshot SnapshotOf(const std::function<void(const std::string&)>& prepare) {
  fixture::TempDir dir;
  prepare(dir.path());
  return fixture::TakeSnapshot(dir.path());
}

TEST(DeltaRun, PatchesAFileAndAnEntryAndRefusesEveryOtherReference) {
  using namespace updater;
  const auto old_with = [](std::function<void(const std::string&)> change) {
    return [change](const std::string& dir) {
      WriteOld(dir);
      change(dir);
    };
  };
  const auto old_game = old_with([](const std::string&) {});
  const auto changed_file = old_with([](const std::string& d) {
    fixture::WriteBytes(d + "/game.exe", Edited(kOldFile, 1, 40));
  });
  const auto changed_entry = old_with([](const std::string& d) {
    fixture::WriteBytes(d + "/mareld.dat", fixture::MakeArchive({{"data/table.bin",
                                                                  Edited(kOldEntry, 1, 41)},
                                                                 {"keep.bin", "k"}}));
  });
  RunOptions skip;
  skip.skip_version_check = true;
  std::string bad_frame = Frames(kOldFile, kNewFile);
  bad_frame[bad_frame.size() / 2] ^= 0x55;
  std::string bad_entry_frame = Frames(kOldEntry, kNewEntry);
  bad_entry_frame[bad_entry_frame.size() / 2] ^= 0x55;
  // The manifest says the old content is another one than the delta's.
  Manifest other_reference = ManifestFor(Patch());
  other_reference.records[1].before = File(kNewFile);
  const Commands written_first = PatchFile(Commands().WriteFile("game.exe", kOldFile),
                                           "game.exe", kOldFile, kNewFile);
  const Commands put_first = PatchEntry(Commands().PutEntry("data/table.bin", kOldEntry),
                                        "data/table.bin", kOldEntry, kNewEntry);
  const Commands missing = PatchEntry(Commands(), "missing.bin", kOldEntry, kNewEntry);
  Manifest missing_manifest = ManifestFor(missing);
  missing_manifest.records.push_back(
      {ManifestRecord::Kind::kArchiveEntry, "missing.bin", File(kOldEntry), File(kNewEntry)});
  const Commands with_bad_frame =
      PatchFile(Commands().WriteFile("fresh.txt", "f"), "game.exe", kOldFile, kNewFile, bad_frame);
  const Commands with_bad_entry_frame =
      PatchEntry(PatchFile(Commands().WriteFile("fresh.txt", "f"), "game.exe", kOldFile, kNewFile),
                 "data/table.bin", kOldEntry, kNewEntry, bad_entry_frame);

  struct Case {
    const char* what;
    std::string updater;
    std::function<void(const std::string&)> prepare;
    RunOptions options;
    std::function<bool(const std::string& message)> expected;
    bool becomes_new;  // else unchanged byte for byte
  } cases[] = {
      {"the right version", Updater(Patch()), old_game, {},
       [](const std::string& m) { return m == kMsgCompleted; }, true},
      {"a second time", Updater(Patch()), WriteNew, {},
       [](const std::string& m) { return m == kMsgAlreadyApplied; }, false},
      {"a payload of deltas without a manifest", fixture::MakeUpdater(Patch()), old_game, {},
       [](const std::string& m) { return m.find("game.exe") != std::string::npos; }, false},
      {"the file differs: another version", Updater(Patch()), changed_file, {},
       [](const std::string& m) { return m == fixture::Format(kMsgWrongVersion, "game.exe"); },
       false},
      {"the file differs, version check skipped: undone", Updater(Patch()), changed_file, skip,
       [](const std::string& m) { return m.find("game.exe") != std::string::npos; }, false},
      {"the entry differs, version check skipped: undone", Updater(Patch()), changed_entry, skip,
       [](const std::string& m) { return m == kMsgCannotWriteArchive; }, false},
      {"a damaged file delta: undone", Updater(with_bad_frame), old_game, {},
       [](const std::string& m) { return m == kMsgCannotRead || m == kMsgCannotWriteArchive; },
       false},
      {"a damaged entry delta: undone", Updater(with_bad_entry_frame), old_game, {},
       [](const std::string& m) { return m == kMsgCannotWriteArchive; }, false},
      {"the manifest's reference is not the delta's", Updater(Patch(), other_reference),
       old_game, skip,
       [](const std::string& m) { return m.find("game.exe") != std::string::npos; }, false},
      {"a file an earlier command wrote", Updater(written_first), old_game, skip,
       [](const std::string& m) { return m.find("game.exe") != std::string::npos; }, false},
      {"an entry an earlier command put", Updater(put_first), old_game, skip,
       [](const std::string& m) { return m == fixture::Format(kMsgCannotAddEntry, "data/table.bin"); },
       false},
      {"an entry that is not there", Updater(missing, missing_manifest), old_game, skip,
       [](const std::string& m) { return m == fixture::Format(kMsgCannotAddEntry, "missing.bin"); },
       false},
  };
  const fixture::Snapshot new_game = SnapshotOf(WriteNew);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome o = RunIn(c.updater, c.prepare, c.options);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_TRUE(c.expected(o.messages[0])) << o.messages[0];
    if (c.becomes_new) {
      EXPECT_TRUE(o.completed);
      EXPECT_EQ(o.after, new_game) << fixture::Diff(new_game, o.after);
    } else {
      EXPECT_EQ(o.after, o.before) << fixture::Diff(o.before, o.after);
    }
  }
}

TEST(DeltaRun, RefusedDeltasChangeNothingBeforeTheirTurn) {
  // The check refuses these before the first command runs: the harmless
  // write in front of them never happens (a later undo would hide that).
  updater::RunOptions options;
  options.journal = false;
  const Commands cut_frames =
      Commands().WriteFile("fresh.txt", "f").Raw(fixture::Le32(updater::kOpPatchFile) +
                                                 Record("game.exe", kOldFile, kNewFile,
                                                        Frames(kOldFile, kNewFile))
                                                     .substr(0, 100));
  std::string frames = Frames(kOldFile, kNewFile);
  frames += "xx";  // bytes past the last frame
  const Commands extra = PatchFile(Commands().WriteFile("fresh.txt", "f"), "game.exe", kOldFile,
                                   kNewFile, frames);
  const Commands written_first = PatchFile(Commands().WriteFile("game.exe", kOldFile),
                                           "game.exe", kOldFile, kNewFile);
  for (const Commands& c : {cut_frames, extra, written_first}) {
    const Outcome o = RunIn(Updater(c), WriteOld, options);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.after, o.before) << fixture::Diff(o.before, o.after);
  }
}

}  // namespace
