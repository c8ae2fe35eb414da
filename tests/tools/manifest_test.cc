// The version manifest: the producer's writer against the updater's reader,
// and every way a damaged download shows.
#include <gtest/gtest.h>

#include <string>

#include "engine/content_hash.h"
#include "engine/little_endian.h"
#include "engine/manifest.h"
#include "foundation/kfile.h"
#include "patchlib/manifest_writer.h"
#include "support/temp_dir.h"

namespace {

using updater::ItemState;
using updater::Manifest;
using updater::ManifestLookup;
using updater::ManifestRecord;

ItemState File(const std::string& content) {
  ItemState s;
  s.kind = ItemState::Kind::kFile;
  s.size = content.size();
  s.hash = updater::HashBytes(content.data(), content.size());
  return s;
}
ItemState Absent() { return ItemState{}; }
ItemState Directory() {
  ItemState s;
  s.kind = ItemState::Kind::kDirectory;
  return s;
}

Manifest Sample() {
  Manifest m;
  m.inflated_size = 0x1'2345'6789ull;  // past 32 bits: stored whole
  m.language = updater::MessageLanguage::kAuto;
  m.from_label = "1.02";
  m.to_label = "1.03";
  m.caption = "Caf\xc3\xa9 \xe3\x82\xa2\xe3\x83\x83\xe3\x83\x97";  // é and katakana
  m.completion = "";
  m.records = {
      {ManifestRecord::Kind::kLooseFile, "data/\x95\x5C.txt", File("old"), File("new!")},
      {ManifestRecord::Kind::kLooseFile, "gone.txt", File("x"), Absent()},
      {ManifestRecord::Kind::kLooseFile, "now-a-dir", File(""), Directory()},
      {ManifestRecord::Kind::kLooseFile, "fresh.txt", Absent(), File("f")},
      {ManifestRecord::Kind::kArchiveEntry, "e.bin", File("e0"), File("e1")},
      {ManifestRecord::Kind::kArchiveEntry, "old.bin", File("o"), Absent()},
  };
  return m;
}

std::string Encoded(const Manifest& m) {
  std::string bytes, error;
  EXPECT_TRUE(patchlib::EncodeManifest(m, &bytes, &error)) << error;
  return bytes;
}

struct Lookup {
  ManifestLookup result;
  Manifest manifest;
  std::uint32_t body_at = 0;
};

// Reads a manifest from a file holding `prefix` (the payload's stream)
// followed by `tail`.
Lookup ReadFrom(const std::string& prefix, const std::string& tail,
                bool skip_padding = false) {
  testing_support::TempDir dir("manifest");
  const std::string path = dir / "payload.bin";
  EXPECT_TRUE(testing_support::WriteFileBytes(path, prefix + tail));
  zorl::KFile file;
  EXPECT_TRUE(file.Open(zorl::KFILE_READ, path.c_str()));
  Lookup l;
  l.result = updater::ReadManifestAt(file, 0, static_cast<std::uint32_t>(prefix.size() + tail.size()),
                                     skip_padding, &l.manifest, &l.body_at);
  return l;
}

// Sets the footer's checksum to match a changed body.
void Reseal(std::string* bytes) {
  const std::size_t body = bytes->size() - updater::kManifestFooterSize;
  const std::uint64_t sum = updater::Checksum64(bytes->data(), body);
  for (int i = 0; i < 8; ++i) (*bytes)[body + 8 + i] = static_cast<char>(sum >> (8 * i));
}

TEST(ContentHash, IsXxh3Of128BitsInCanonicalOrder) {
  // The reference value of XXH3-128 for no input, most significant first.
  EXPECT_EQ(updater::HashBytes("", 0).Hex(), "99aa06d3014798d86001c324468d497f");
  // Fed in pieces or at once: the same digest.
  const std::string text(5000, 'k');
  updater::ContentHasher pieces;
  pieces.Update(text.data(), 1);
  pieces.Update(text.data() + 1, 4095);
  pieces.Update(text.data() + 4096, 904);
  EXPECT_EQ(pieces.Digest(), updater::HashBytes(text.data(), text.size()));
  EXPECT_EQ(pieces.bytes(), 5000u);
  EXPECT_NE(updater::HashBytes("a", 1), updater::HashBytes("b", 1));
}

TEST(Manifest, RoundTripsEveryFieldAndSaysWhereTheBodyBegins) {
  const Manifest m = Sample();
  const std::string stream = "\x78\xda-pretend-zlib-stream";
  const Lookup l = ReadFrom(stream, Encoded(m));
  ASSERT_EQ(l.result, ManifestLookup::kFound);
  EXPECT_EQ(l.body_at, stream.size());
  EXPECT_EQ(l.manifest.inflated_size, m.inflated_size);
  EXPECT_EQ(l.manifest.language, m.language);
  EXPECT_EQ(l.manifest.from_label, "1.02");
  EXPECT_EQ(l.manifest.to_label, "1.03");
  EXPECT_EQ(l.manifest.caption, m.caption);
  EXPECT_EQ(l.manifest.completion, "");
  ASSERT_EQ(l.manifest.records.size(), m.records.size());
  for (std::size_t i = 0; i < m.records.size(); ++i) {
    EXPECT_EQ(l.manifest.records[i].kind, m.records[i].kind) << i;
    EXPECT_EQ(l.manifest.records[i].name, m.records[i].name) << i;
    EXPECT_EQ(l.manifest.records[i].before, m.records[i].before) << i;
    EXPECT_EQ(l.manifest.records[i].after, m.records[i].after) << i;
  }
}

TEST(Manifest, DamageIsToldApartFromAbsence) {
  const std::string good = Encoded(Sample());
  const std::size_t footer = good.size() - updater::kManifestFooterSize;
  struct Case {
    const char* what;
    std::string tail;
    ManifestLookup expected;
  };
  auto changed = [&](std::size_t at, char to, bool reseal) {
    std::string b = good;
    b[at] = to;
    if (reseal) Reseal(&b);
    return b;
  };
  std::string longer = good;  // the footer claims more than the file holds
  updater::StoreLe32(reinterpret_cast<unsigned char*>(&longer[footer]),
                     static_cast<std::uint32_t>(footer + 1000));
  std::string bad_text = good;  // the from label's "1" made a lone 0xFF
  bad_text[4 + 8 + 4 + 4] = '\xff';
  Reseal(&bad_text);
  std::string lying_count = good;  // more records than the body holds
  {
    Manifest m = Sample();
    m.records.clear();
    lying_count = Encoded(m);
    const std::size_t count_at = lying_count.size() - updater::kManifestFooterSize - 4;
    lying_count[count_at] = 1;
    Reseal(&lying_count);
  }
  const Case cases[] = {
      {"intact", good, ManifestLookup::kFound},
      {"a body byte changed", changed(10, good[10] ^ 1, false), ManifestLookup::kDamaged},
      {"the checksum changed", changed(footer + 9, good[footer + 9] ^ 1, false),
       ManifestLookup::kDamaged},
      {"the body's start cut off", good.substr(30), ManifestLookup::kDamaged},
      {"a newer format", changed(footer + 4, 2, false), ManifestLookup::kDamaged},
      {"a length past the file's start", longer, ManifestLookup::kDamaged},
      {"a text that is not UTF-8", bad_text, ManifestLookup::kDamaged},
      {"a record count the body cannot hold", lying_count, ManifestLookup::kDamaged},
      {"an unknown language", changed(12, 3, true), ManifestLookup::kDamaged},
      {"the footer's end cut off", good.substr(0, good.size() - 1), ManifestLookup::kNone},
      {"no manifest at all", "", ManifestLookup::kNone},
      {"a byte after the footer", good + "x", ManifestLookup::kNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadFrom("\x78\xda stream", c.tail).result, c.expected) << c.what;
}

TEST(Manifest, AlignmentBeforeACertificateTableIsPassedOver) {
  const std::string good = Encoded(Sample());
  for (int zeros = 0; zeros <= 7; ++zeros) {
    const Lookup l = ReadFrom("stream", good + std::string(zeros, '\0'), true);
    EXPECT_EQ(l.result, ManifestLookup::kFound) << zeros;
    EXPECT_EQ(l.body_at, 6u) << zeros;
  }
  EXPECT_EQ(ReadFrom("stream", good + std::string(8, '\0'), true).result, ManifestLookup::kNone);
  // Without a certificate table the end is the end.
  EXPECT_EQ(ReadFrom("stream", good + std::string(3, '\0'), false).result, ManifestLookup::kNone);
}

TEST(Manifest, WriterRefusesWhatTheReaderWouldNotTake) {
  struct Case {
    const char* what;
    void (*change)(Manifest*);
  } cases[] = {
      {"a caption of 4097 bytes", [](Manifest* m) { m->caption.assign(4097, 'c'); }},
      {"a label that is not UTF-8", [](Manifest* m) { m->to_label = "1.0\x83"; }},
      {"an overlong UTF-8 form", [](Manifest* m) { m->completion = "\xc0\xaf"; }},
      {"a name of 263 bytes", [](Manifest* m) { m->records[0].name.assign(263, 'n'); }},
      {"an entry that becomes a directory",
       [](Manifest* m) { m->records[4].after = Directory(); }},
  };
  for (const Case& c : cases) {
    Manifest m = Sample();
    c.change(&m);
    std::string bytes, error;
    EXPECT_FALSE(patchlib::EncodeManifest(m, &bytes, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  Manifest edge = Sample();
  edge.caption.assign(4096, 'c');
  edge.records[0].name.assign(262, 'n');
  EXPECT_EQ(ReadFrom("s", Encoded(edge)).result, ManifestLookup::kFound);
}

}  // namespace
