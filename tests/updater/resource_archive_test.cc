#include "engine/resource_archive.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "foundation/kexcept.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;
using fixture::Le32;

// Loads `bytes` written to a file in `dir`.
bool LoadBytes(updater::ResourceArchive& archive, const fixture::TempDir& dir,
               const std::string& bytes) {
  const std::string path = dir / "mareld.dat";
  EXPECT_TRUE(fixture::WriteBytes(path, bytes));
  return archive.Load(path.c_str());
}

// Saves into a new file and returns its bytes ("" with ok false on failure).
std::string SaveBytes(updater::ResourceArchive& archive,
                      const fixture::TempDir& dir, bool* ok,
                      std::vector<std::pair<std::int64_t, std::int64_t>>* calls =
                          nullptr) {
  const std::string path = dir / "out.dat";
  zorl::KFile out;
  EXPECT_TRUE(out.Open(15, path.c_str()));
  *ok = archive.Save(out, [calls](std::int64_t done, std::int64_t total) {
    if (calls) calls->emplace_back(done, total);
  });
  EXPECT_FALSE(out.GetThrowMode());
  out.Close();
  return fixture::ReadBytes(path);
}

TEST(ResourceArchive, RoundTripLowersNamesAndPacksContents) {
  fixture::TempDir dir;
  // Contents out of order and overlapping: the reader accepts any layout.
  const std::string header = "KMF " + Le32(3);
  const std::string records = Le32(5) + "B.TXT" + Le32(0) + Le32(4) +   // "KMF "
                              Le32(3) + "a/C" + Le32(8) + Le32(3) +
                              Le32(0) + "" + Le32(2) + Le32(6);
  const std::string file = header + records + "xyz";
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir, file));
  EXPECT_EQ(archive.Count(), 3u);
  bool ok;
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  const std::string saved = SaveBytes(archive, dir, &ok, &calls);
  ASSERT_TRUE(ok);
  const std::string x = file.substr(8, 3);  // the bytes at offset 8
  EXPECT_EQ(saved, fixture::MakeArchive({{"b.txt", "KMF "},
                                         {"a/c", x},
                                         {"", file.substr(2, 6)}}));
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), std::make_pair(std::int64_t{13}, std::int64_t{13}));
  for (std::size_t i = 1; i < calls.size(); ++i)
    EXPECT_LE(calls[i - 1].first, calls[i].first);
}

TEST(ResourceArchive, EmptyArchiveSavesOnlyTheHeader) {
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir, "KMF " + Le32(0)));
  bool ok;
  EXPECT_EQ(SaveBytes(archive, dir, &ok), "KMF " + Le32(0));
  EXPECT_TRUE(ok);
}

TEST(ResourceArchive, RejectsBadDirectories) {
  const std::string name263(263, 'n'), name264(264, 'n');
  struct Case {
    const char* what;
    std::string bytes;
    bool loads;
  } cases[] = {
      {"bad magic", "KMX " + Le32(0), false},
      {"short header", "KMF " + std::string("\0\0", 2), false},
      {"names equal but for case",
       fixture::MakeArchive({{"Abc", "1"}, {"aBC", "2"}}), false},
      {"name length 263", fixture::MakeArchive({{name263, "1"}}), true},
      {"name length 264", fixture::MakeArchive({{name264, "1"}}), false},
      {"name length with top bit", "KMF " + Le32(1) + Le32(0x80000001u) + "a",
       false},
      {"more records than the file holds", "KMF " + Le32(2) +
       Le32(1) + "a" + Le32(0) + Le32(1), false},
      {"short record", "KMF " + Le32(1) + Le32(1) + "a" + Le32(0), false},
      {"offset with top bit",
       "KMF " + Le32(1) + Le32(1) + "a" + Le32(0x80000000u) + Le32(1), false},
      {"size with top bit",
       "KMF " + Le32(1) + Le32(1) + "a" + Le32(0) + Le32(0xFFFFFFFFu), false},
      {"offset past the end (accepted)",
       "KMF " + Le32(1) + Le32(1) + "a" + Le32(1000) + Le32(5), true},
  };
  for (const auto& c : cases) {
    fixture::TempDir dir;
    updater::ResourceArchive archive;
    EXPECT_EQ(LoadBytes(archive, dir, c.bytes), c.loads) << c.what;
    EXPECT_EQ(archive.IsOpen(), c.loads) << c.what;
  }
}

TEST(ResourceArchive, ShortEntryContentMakesSaveFail) {
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir,
                        "KMF " + Le32(1) + Le32(1) + "a" + Le32(1000) + Le32(5)));
  bool ok = true;
  SaveBytes(archive, dir, &ok);
  EXPECT_FALSE(ok);
  // With the output's throw switch on, the failure is thrown instead.
  zorl::KFile out;
  ASSERT_TRUE(out.Open(15, (dir / "thrown.dat").c_str()));
  out.SetThrowMode(true);
  EXPECT_THROW(archive.Save(out), zorl::KExceptFile);
  EXPECT_TRUE(out.GetThrowMode());
}

TEST(ResourceArchive, LoadRethrowsOnlyWhenTheStreamThrows) {
  fixture::TempDir dir;
  const std::string path = dir / "short.dat";
  fixture::WriteBytes(path, "KMF " + Le32(1) + Le32(1));
  zorl::KFile stream;
  ASSERT_TRUE(stream.Open(zorl::KFILE_READ, path.c_str()));
  updater::ResourceArchive archive;
  EXPECT_FALSE(archive.Load(stream));
  EXPECT_FALSE(stream.GetThrowMode());
  stream.SetThrowMode(true);
  EXPECT_THROW(archive.Load(stream), zorl::KExceptFile);
  EXPECT_TRUE(stream.GetThrowMode());
  EXPECT_FALSE(archive.IsOpen());
}

TEST(ResourceArchive, LoadWhileOpenClosesAndFails) {
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir, fixture::MakeArchive({{"a", "1"}})));
  EXPECT_FALSE(LoadBytes(archive, dir, fixture::MakeArchive({{"a", "1"}})));
  EXPECT_FALSE(archive.IsOpen());
  EXPECT_EQ(archive.Count(), 0u);
}

TEST(ResourceArchive, EditingKeepsOrderAndMatchesNamesByKey) {
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(
      archive, dir,
      fixture::MakeArchive({{"one", "1"}, {"Two", "2"}, {"three", "3"}})));
  zorl::KFile fresh;
  ASSERT_TRUE(fresh.OpenMemory("new", 3, zorl::KMEM_READ | zorl::KMEM_WRITE));
  fresh.Write("NEW", 3);

  EXPECT_FALSE(archive.Add("ONE", fresh)) << "names match regardless of case";
  EXPECT_TRUE(archive.Remove("TWO"));
  EXPECT_FALSE(archive.Remove("two"));
  EXPECT_TRUE(archive.Add("Two", fresh));  // re-added: now last
  EXPECT_TRUE(archive.Find("tWO"));
  EXPECT_FALSE(archive.Find("four"));
  EXPECT_TRUE(archive.Replace("one", fresh));  // keeps its place
  zorl::KFile view;
  ASSERT_TRUE(archive.OpenEntry("THREE", view));
  char c = 0;
  EXPECT_EQ(view.Read(1, &c), 1);
  EXPECT_EQ(c, '3');
  ASSERT_TRUE(archive.EntryAt(2));
  EXPECT_STREQ(archive.EntryAt(2)->name, "two");
  EXPECT_FALSE(archive.EntryAt(3));
  // Entries lists the same order in one pass.
  const std::vector<zorl::KRef<updater::ArchiveEntry>> all = archive.Entries();
  ASSERT_EQ(all.size(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(all[i].Get(), archive.EntryAt(i).Get());

  bool ok;
  EXPECT_EQ(SaveBytes(archive, dir, &ok),
            fixture::MakeArchive({{"one", "NEW"}, {"three", "3"}, {"two", "NEW"}}));
  EXPECT_TRUE(ok);

  archive.Close();
  EXPECT_FALSE(archive.Add("x", fresh));
  EXPECT_FALSE(archive.Remove("one"));
  EXPECT_FALSE(archive.Find("one"));
  EXPECT_FALSE(archive.Save(fresh));
}

TEST(ResourceArchive, NameKeyNeverLowersATrailByte) {
  // "\x83\x41" is one character whose trail byte is "A"; the capitals
  // after it are lowered, the character is not.
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir,
                        fixture::MakeArchive({{"\x83\x41" "BC", "x"}})));
  auto entry = archive.Find("\x83\x41" "bc");
  ASSERT_TRUE(entry);
  EXPECT_STREQ(entry->name, "\x83\x41" "bc");
  EXPECT_FALSE(archive.Find("\x83\x61" "bc"));
  EXPECT_EQ(entry->hash, (0x83u + 0x41u + 'b' + 'c') & 0xFFu);
  EXPECT_EQ(updater::ArchiveNameHash("ab"), (0x61u + 0x62u) & 0xFFu);
}

}  // namespace

namespace {

TEST(ResourceArchive, ManyEntriesInCrowdedBucketsStayConsistent) {
  // Names that differ only in digits share a few byte-sum buckets.
  Entries entries;
  for (int i = 0; i < 600; ++i)
    entries.emplace_back("e" + std::to_string(1000 + i), std::to_string(i));
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir, fixture::MakeArchive(entries)));
  zorl::KFile fresh;
  ASSERT_TRUE(fresh.OpenMemory("new", 1, zorl::KMEM_READ | zorl::KMEM_WRITE));
  fresh.Write("N", 1);
  Entries expected;
  for (int i = 0; i < 600; ++i) {
    if (i % 3 == 0) {
      ASSERT_TRUE(archive.Remove(entries[i].first.c_str()));
    } else {
      expected.push_back(entries[i]);
    }
  }
  for (int i = 0; i < 600; i += 6) {  // every other removed name comes back
    ASSERT_TRUE(archive.Add(entries[i].first.c_str(), fresh));
    expected.emplace_back(entries[i].first, "N");
  }
  for (int i = 0; i < 600; ++i)
    EXPECT_EQ(static_cast<bool>(archive.Find(entries[i].first.c_str())),
              i % 3 != 0 || i % 6 == 0)
        << i;

  // Every chain link stays within its bucket and every entry is reached
  // from exactly one chain head.
  std::set<const updater::ArchiveEntry*> linked;
  for (std::uint32_t i = 0; i < archive.Count(); ++i) {
    const updater::ArchiveEntry* e = archive.EntryAt(i).Get();
    if (e->next) {
      EXPECT_EQ(e->next->hash, e->hash);
      EXPECT_TRUE(linked.insert(e->next).second) << "two links to one entry";
    }
  }
  std::set<std::uint32_t> heads;
  for (std::uint32_t i = 0; i < archive.Count(); ++i) {
    const updater::ArchiveEntry* e = archive.EntryAt(i).Get();
    if (!linked.count(e)) {
      EXPECT_TRUE(heads.insert(e->hash).second) << "two heads in one bucket";
    }
  }

  bool ok;
  EXPECT_EQ(SaveBytes(archive, dir, &ok), fixture::MakeArchive(expected));
  EXPECT_TRUE(ok);
}

}  // namespace

namespace {

TEST(ResourceArchive, EntryNamesOwnTheirTextAtEveryLength) {
  // Each name is kept in a buffer of its own exact length, and the name
  // index looks at that text: names of the longest allowed length survive
  // a round trip, a caller's buffer may change after Add, and an entry
  // held past Remove or Close keeps its name.
  const std::string longest(263, 'N'), lowered(263, 'n');
  fixture::TempDir dir;
  updater::ResourceArchive archive;
  ASSERT_TRUE(LoadBytes(archive, dir,
                        fixture::MakeArchive({{longest, "1"}, {"", "2"}})));
  auto entry = archive.Find(longest.c_str());
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name_length, 263u);
  EXPECT_EQ(std::string(entry->name), lowered);
  ASSERT_TRUE(archive.Find(""));
  EXPECT_STREQ(archive.Find("")->name, "");

  zorl::KFile fresh;
  ASSERT_TRUE(fresh.OpenMemory("new", 1, zorl::KMEM_READ | zorl::KMEM_WRITE));
  fresh.Write("A", 1);
  std::string caller(263, 'M');
  ASSERT_TRUE(archive.Add(caller.c_str(), fresh));
  caller.assign(263, 'Q');  // same length: only the bytes change
  EXPECT_TRUE(archive.Find(std::string(263, 'm').c_str()));
  EXPECT_FALSE(archive.Find(caller.c_str()));

  bool ok;
  EXPECT_EQ(SaveBytes(archive, dir, &ok),
            fixture::MakeArchive({{lowered, "1"},
                                  {"", "2"},
                                  {std::string(263, 'm'), "A"}}));
  EXPECT_TRUE(ok);

  ASSERT_TRUE(archive.Remove(longest.c_str()));
  EXPECT_FALSE(archive.Find(longest.c_str()));
  EXPECT_TRUE(archive.Find(std::string(263, 'm').c_str()));
  auto added = archive.EntryAt(1);
  ASSERT_TRUE(added);
  archive.Close();
  EXPECT_EQ(std::string(entry->name), lowered);
  EXPECT_EQ(std::string(added->name), std::string(263, 'm'));
}

}  // namespace
