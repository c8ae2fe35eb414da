#include "engine/write_proof.h"

#include "foundation/ktext.h"

namespace updater {
namespace {

std::string Key(const char* name) {
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  return key;
}

bool Matches(const ItemState& expected, std::uint64_t size, const ContentHash& hash) {
  return expected.kind == ItemState::Kind::kFile && expected.size == size &&
         expected.hash == hash;
}

}  // namespace

WriteProof::WriteProof(const Manifest& manifest) {
  for (const ManifestRecord& r : manifest.records) {
    if (r.kind == ManifestRecord::Kind::kLooseFile)
      files_[r.name] = &r;
    else
      entries_[Key(r.name.c_str())] = &r;
  }
}

bool WriteProof::Fail(const std::string& name) {
  if (failed_.empty()) failed_ = name;
  return false;
}

bool WriteProof::LooseFileWritten(const char* name, std::uint64_t size,
                                  const ContentHash& hash) {
  const auto it = files_.find(name);
  if (it == files_.end() || Matches(it->second->after, size, hash)) return true;
  return Fail(name);
}

void WriteProof::EndEntry() {
  if (!current_) return;
  const ManifestRecord& r = *current_;
  current_ = nullptr;
  if (!Matches(r.after, hasher_.bytes(), hasher_.Digest())) Fail(r.name);
}

void WriteProof::Entry(const char* lowered_name) {
  EndEntry();
  if (entries_.empty()) return;
  const auto it = entries_.find(lowered_name);
  if (it == entries_.end()) return;
  seen_[it->first] = true;
  current_ = it->second;
  hasher_.Reset();
}

void WriteProof::Content(const void* data, std::uint32_t size) {
  if (current_) hasher_.Update(data, size);
}

bool WriteProof::EntriesDone() {
  EndEntry();
  for (const auto& [key, record] : entries_) {
    const bool must_be_there = record->after.kind == ItemState::Kind::kFile;
    if (must_be_there != (seen_.count(key) > 0)) Fail(record->name);
  }
  return failed_.empty();
}

}  // namespace updater
