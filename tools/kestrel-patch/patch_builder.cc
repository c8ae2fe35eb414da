#include "patch_builder.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "engine/patch_format.h"
#include "engine/resource_archive.h"
#include "foundation/ktext.h"
#include "interrupt.h"
#include "patchlib/command_writer.h"
#include "patchlib/console.h"
#include "patchlib/delta_encoder.h"
#include "patchlib/entry_name.h"
#include "patchlib/game_tree.h"
#include "patchlib/manifest_writer.h"
#include "patchlib/stream_compare.h"
#include "patchlib/windows_name.h"
#include "platform/filesystem.h"

namespace kpatch {
namespace {

using patchlib::Show;

bool IsArchiveName(const std::string& path) {
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, path.c_str());
  return std::string(key) == updater::kArchiveFileName;
}

// Whether `key` (a FileNameKey) is `dir_key` or lies below it.
bool Under(const std::string& key, const std::string& dir_key) {
  return key == dir_key ||
         (key.size() > dir_key.size() &&
          key.compare(0, dir_key.size(), dir_key) == 0 && key[dir_key.size()] == '/');
}

// Reads a whole content of `size` bytes from its start.
bool ReadWhole(zorl::KFile& content, std::uint32_t size, std::vector<unsigned char>* out) {
  out->resize(size);
  if (!content.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  std::uint32_t done = 0;
  while (done < size) {
    const std::int32_t got = content.Read(size - done, out->data() + done);
    if (got <= 0) return false;
    done += static_cast<std::uint32_t>(got);
  }
  return true;
}

// What `data` deflates to at level 9 on its own: what the item costs sent
// whole (the payload's stream also deflates at 9). The deflating stops once
// `enough` bytes are out (`*whole` is then a lower bound, and `*reached`
// true): past that the answer is no longer in doubt.
void DeflatedSize(const std::vector<unsigned char>& data, std::uint64_t enough,
                  std::uint64_t* whole, bool* reached) {
  *whole = data.size();
  *reached = false;
  z_stream s{};
  if (deflateInit(&s, 9) != Z_OK) return;
  std::vector<unsigned char> scratch(64u << 10);
  std::uint64_t total = 0;
  std::size_t given = 0;
  int result = Z_OK;
  // Fed in pieces, so that the output can be counted as it grows.
  while (result == Z_OK && total < enough) {
    if (s.avail_in == 0 && given < data.size()) {
      const std::size_t n = std::min<std::size_t>(data.size() - given, 256u << 10);
      s.next_in = const_cast<Bytef*>(data.data() + given);
      s.avail_in = static_cast<uInt>(n);
      given += n;
    }
    s.next_out = scratch.data();
    s.avail_out = static_cast<uInt>(scratch.size());
    result = deflate(&s, given == data.size() ? Z_FINISH : Z_NO_FLUSH);
    total += scratch.size() - s.avail_out;
  }
  deflateEnd(&s);
  *whole = total;
  *reached = result != Z_STREAM_END;
}

class Builder {
 public:
  Builder(const BuildOptions& options, zorl::KFile& out, BuildSummary* summary,
          std::string* error)
      : options_(options), out_(out), writer_(out, 9, options.jobs), summary_(summary), error_(error),
        bar_("building") {}

  bool Run() {
    if (!CheckTexts() || !ScanTrees() || !LoadArchives() || !Loose() || !Archive())
      return false;
    if (!writer_.Finish()) return Fail("cannot write the payload: " + writer_.error());
    if (options_.manifest && !WriteManifest()) return false;
    bar_.Finish();
    for (std::uint32_t op = 0; op < updater::kOpcodeCount; ++op)
      summary_->commands[op] = writer_.count(op);
    summary_->raw_bytes = writer_.raw_bytes();
    summary_->compressed_bytes = writer_.compressed_bytes();
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    bar_.Finish();
    *error_ = message;
    return false;
  }
  bool WriterFailed(const std::string& what) {
    return Fail(what + ": " + writer_.error());
  }
  void Progress(std::uint64_t bytes) {
    done_ += bytes;
    bar_.Update(done_ < total_ ? done_ : total_, total_);
    if (options_.progress) options_.progress(done_ < total_ ? done_ : total_, total_);
  }

  // Texts are checked before any work, so a wrong one fails at once.
  bool CheckTexts() {
    if (!options_.manifest) return true;
    updater::Manifest probe;
    probe.from_label = options_.from_label;
    probe.to_label = options_.to_label;
    probe.caption = options_.caption;
    probe.completion = options_.completion_text;
    std::string bytes, why;
    if (!patchlib::EncodeManifest(probe, &bytes, &why)) return Fail(why);
    return true;
  }

  // What a loose file or entry holds, as the manifest records it.
  bool HashOf(zorl::KFile& content, const std::string& shown, updater::ItemState* state) {
    state->kind = updater::ItemState::Kind::kFile;
    if (!updater::HashStream(content, &state->hash, &state->size))
      return Fail(shown + ": cannot read it to hash it");
    return true;
  }
  bool LooseState(const std::map<std::string, patchlib::TreeItem>& items,
                  const std::string& dir, const std::string& path,
                  updater::ItemState* state) {
    auto it = items.find(path);
    if (it == items.end()) return true;  // absent
    if (it->second.is_directory) {
      state->kind = updater::ItemState::Kind::kDirectory;
      return true;
    }
    const std::string full = patchlib::JoinPath(dir, path);
    zorl::KFile content;
    if (!content.Open(zorl::KFILE_READ, full.c_str()))
      return Fail(Show(full) + ": cannot open the file");
    return HashOf(content, Show(full), state);
  }
  bool EntryState(updater::ResourceArchive& archive, const char* name,
                  updater::ItemState* state) {
    const zorl::KRef<updater::ArchiveEntry> entry = archive.Find(name);
    if (!entry) return true;  // absent
    return HashOf(entry->content, "archive entry " + Show(name), state);
  }

  // One record per loose file a command writes, deletes or empties away
  // (OLD's files), and per entry put or removed: before from OLD, after
  // from NEW. Appended after the zlib stream.
  bool WriteManifest() {
    updater::Manifest m;
    m.inflated_size = writer_.raw_bytes();
    m.language = options_.language;
    m.from_label = options_.from_label;
    m.to_label = options_.to_label;
    m.caption = options_.caption;
    m.completion = options_.completion_text;
    for (const std::string& path : touched_files_) {
      updater::ManifestRecord r;
      r.kind = updater::ManifestRecord::Kind::kLooseFile;
      r.name = path;
      if (!LooseState(old_, options_.old_dir, path, &r.before) ||
          !LooseState(new_, options_.new_dir, path, &r.after))
        return false;
      m.records.push_back(std::move(r));
    }
    for (const std::string& name : touched_entries_) {
      updater::ManifestRecord r;
      r.kind = updater::ManifestRecord::Kind::kArchiveEntry;
      r.name = name;
      if (!EntryState(old_archive_, name.c_str(), &r.before) ||
          !EntryState(new_archive_, name.c_str(), &r.after))
        return false;
      m.records.push_back(std::move(r));
    }
    std::string bytes, why;
    if (!patchlib::EncodeManifest(m, &bytes, &why)) return Fail(why);
    if (out_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) !=
        static_cast<std::int32_t>(bytes.size()))
      return Fail("cannot write the payload's manifest");
    summary_->manifest = true;
    summary_->manifest_records = m.records.size();
    summary_->manifest_bytes = bytes.size();
    return true;
  }
  void TouchFile(const std::string& path) {
    if (touched_keys_.insert(patchlib::FileNameKey(path)).second)
      touched_files_.push_back(path);
  }

  bool ScanTrees() {
    for (const std::string* dir : {&options_.old_dir, &options_.new_dir}) {
      if (platform::GetPathKind(dir->c_str()) != platform::PathKind::kDirectory)
        return Fail(Show(*dir) + ": no such directory");
      const std::string archive = patchlib::JoinPath(*dir, updater::kArchiveFileName);
      if (platform::GetPathKind(archive.c_str()) != platform::PathKind::kFile)
        return Fail(Show(archive) + ": no resource archive in the game directory");
    }
    std::string why;
    std::vector<patchlib::TreeItem> items;
    if (!patchlib::WalkTree(options_.old_dir, &items, &why, options_.walk))
      return Fail(why);
    for (const auto& item : items)
      if (!(item.path.find('/') == std::string::npos && IsArchiveName(item.path)))
        old_[item.path] = item;
    if (!patchlib::WalkTree(options_.new_dir, &items, &why, options_.walk))
      return Fail(why);
    for (const auto& item : items) {
      if (item.path.find('/') == std::string::npos && IsArchiveName(item.path)) {
        if (item.path != updater::kArchiveFileName)
          return Fail(Show(patchlib::JoinPath(options_.new_dir, item.path)) +
                      ": would be written over the resource archive");
        continue;
      }
      const std::string shown = Show(patchlib::JoinPath(options_.new_dir, item.path));
      if (item.path.size() > updater::kMaxPatchNameLength)
        return Fail(shown + ": name longer than 262 bytes");
      if (!patchlib::ResolvesInsideGame(item.path))
        return Fail(shown + ": name would resolve outside the game directory");
      if (!item.is_directory && item.size > 0x7FFFFFFFu)
        return Fail(shown + ": larger than 2 GiB - 1");
      new_[item.path] = item;
      if (!item.is_directory) total_ += item.size;
    }
    // The tree the updater will empty, named as the payload will carry it:
    // spelled as NEW (else OLD) spells that directory, so that a system
    // that tells letter case apart empties it too.
    for (const std::string& dir : options_.clear) {
      std::string tree;
      if (!patchlib::GamePath(dir, &tree) || tree.size() > updater::kMaxPatchNameLength)
        return Fail(Show(dir) + ": --clear needs a directory inside the game directory");
      const std::string key = patchlib::FileNameKey(tree);
      for (const auto* items : {&new_, &old_}) {
        auto found = std::find_if(items->begin(), items->end(), [&](const auto& item) {
          return item.second.is_directory && patchlib::FileNameKey(item.first) == key;
        });
        if (found != items->end()) {
          tree = found->first;
          break;
        }
      }
      clear_.push_back(tree);
      clear_keys_.push_back(key);
    }
    return true;
  }

  bool LoadArchives() {
    const std::string old_path = patchlib::JoinPath(options_.old_dir, updater::kArchiveFileName);
    const std::string new_path = patchlib::JoinPath(options_.new_dir, updater::kArchiveFileName);
    if (!old_archive_.Load(old_path.c_str()))
      return Fail(Show(old_path) + ": cannot read the archive, or it is corrupt");
    if (!new_archive_.Load(new_path.c_str()))
      return Fail(Show(new_path) + ": cannot read the archive, or it is corrupt");
    new_entries_ = new_archive_.Entries();
    for (const auto& entry : new_entries_) {
      const std::int32_t size = entry->content.GetSize();
      if (entry->name_length > updater::kMaxPatchNameLength)
        return Fail(Show(new_path) + ": entry " + Show(entry->name) +
                    " has a name longer than 262 bytes");
      if (size < 0) return Fail(Show(new_path) + ": cannot read entry " + Show(entry->name));
      total_ += static_cast<std::uint64_t>(size);
    }
    return true;
  }

  // Whether the updater empties `path` with a --clear tree: compared as
  // Windows compares names.
  bool Cleared(const std::string& path) const {
    const std::string key = patchlib::FileNameKey(path);
    for (const std::string& dir : clear_keys_)
      if (Under(key, dir)) return true;
    return false;
  }

  bool Loose() {
    for (const std::string& dir : clear_)
      if (!writer_.EmptyTree(dir)) return WriterFailed(Show(dir));
    for (const auto& [path, item] : old_)
      if (!item.is_directory && Cleared(path)) TouchFile(path);
    // Deletions: files of OLD gone from NEW, or turned into directories.
    for (const auto& [path, item] : old_) {
      if (item.is_directory) {
        auto it = new_.find(path);
        if (it != new_.end() && !it->second.is_directory)
          return Fail(Show(patchlib::JoinPath(options_.new_dir, path)) +
                      ": is a file in NEW but a directory in OLD (no command "
                      "removes a directory)");
        continue;
      }
      auto it = new_.find(path);
      if ((it == new_.end() || it->second.is_directory) && !Cleared(path)) {
        if (!writer_.DeleteFile(path)) return WriterFailed(Show(path));
        TouchFile(path);
      }
    }
    for (const auto& [path, item] : new_) {
      if (!item.is_directory) continue;
      auto it = old_.find(path);
      if (it == old_.end() || !it->second.is_directory)
        if (!writer_.MakeDirectory(path)) return WriterFailed(Show(path));
    }
    for (const auto& [path, item] : new_) {
      if (item.is_directory) continue;
      const std::string new_path = patchlib::JoinPath(options_.new_dir, path);
      zorl::KFile content;
      if (!content.Open(zorl::KFILE_READ, new_path.c_str()))
        return Fail(Show(new_path) + ": cannot open the file");
      bool changed = true;
      auto it = old_.find(path);
      const bool has_old = it != old_.end() && !it->second.is_directory && !Cleared(path);
      if (has_old && it->second.size == item.size) {
        const std::string old_path = patchlib::JoinPath(options_.old_dir, path);
        zorl::KFile old_content;
        if (!old_content.Open(zorl::KFILE_READ, old_path.c_str()))
          return Fail(Show(old_path) + ": cannot open the file");
        std::uint64_t compared = 0;
        switch (patchlib::CompareStreams(old_content, content, item.size,
                                         [&](std::uint64_t n) { compared += n; Progress(n); })) {
          case patchlib::Comparison::kEqual: changed = false; break;
          case patchlib::Comparison::kDifferent: break;
          case patchlib::Comparison::kReadError:
            return Fail(Show(old_path) + " or " + Show(new_path) + ": cannot read the file");
        }
        summary_->compared_bytes += compared;
        ++summary_->files_compared;
      }
      if (!changed) continue;
      if (has_old) {
        zorl::KFile old_content;
        const std::string old_path = patchlib::JoinPath(options_.old_dir, path);
        if (!old_content.Open(zorl::KFILE_READ, old_path.c_str()))
          return Fail(Show(old_path) + ": cannot open the file");
        bool sent = false;
        if (!TryDelta(path, false, old_content, content, &sent)) return false;
        if (sent) {
          Progress(item.size);
          TouchFile(path);
          continue;
        }
      }
      if (!writer_.WriteFile(path, content, static_cast<std::uint32_t>(item.size),
                             [&](std::uint64_t n) { Progress(n); }))
        return WriterFailed(Show(new_path));
      TouchFile(path);
    }
    return true;
  }

  // Whether `entry` of NEW holds what OLD's entry of that name holds.
  // False with `error_` set when a content cannot be read.
  bool Classify(const zorl::KRef<updater::ArchiveEntry>& entry, bool* in_old,
                bool* same) {
    const zorl::KRef<updater::ArchiveEntry> old = old_archive_.Find(entry->name);
    *in_old = static_cast<bool>(old);
    *same = false;
    if (!old) return true;
    const std::int32_t size = entry->content.GetSize();
    if (old->content.GetSize() != size) return true;
    std::uint64_t compared = 0;
    switch (patchlib::CompareStreams(old->content, entry->content,
                                     static_cast<std::uint64_t>(size),
                                     [&](std::uint64_t n) { compared += n; Progress(n); })) {
      case patchlib::Comparison::kEqual: *same = true; break;
      case patchlib::Comparison::kDifferent: break;
      case patchlib::Comparison::kReadError:
        return Fail("cannot read archive entry " + Show(entry->name));
    }
    summary_->compared_bytes += compared;
    ++summary_->entries_compared;
    return true;
  }

  // Writes the item as a delta when that pays: a manifest, both contents
  // within the limit, and a delta at most 90 % of the item deflated whole.
  // `sent` says whether it went; false only on a failure (error set).
  bool TryDelta(const std::string& name, bool entry, zorl::KFile& old_content,
                zorl::KFile& new_content, bool* sent) {
    *sent = false;
    if (!options_.manifest || !options_.delta) return true;
    const std::int32_t old_size = old_content.GetSize();
    const std::int32_t new_size = new_content.GetSize();
    if (old_size <= 0 || new_size <= 0 ||
        static_cast<std::uint32_t>(old_size) > kMaxDeltaItemBytes ||
        static_cast<std::uint32_t>(new_size) > kMaxDeltaItemBytes)
      return true;
    const std::string shown = entry ? "entry " + Show(name) : Show(name);
    std::vector<unsigned char> reference, data;
    if (!ReadWhole(old_content, static_cast<std::uint32_t>(old_size), &reference) ||
        !ReadWhole(new_content, static_cast<std::uint32_t>(new_size), &data))
      return Fail(shown + ": cannot read it to make a delta");
    const auto encode = [&](int level, std::string* frames) {
      if (patchlib::EncodeDelta(reference.data(), static_cast<std::uint32_t>(old_size),
                                data.data(), static_cast<std::uint32_t>(new_size), level,
                                options_.jobs, frames))
        return true;
      tools::ThrowIfStopRequested();
      return Fail(shown + ": cannot make a delta (out of memory?)");
    };
    std::string frames;
    if (!encode(patchlib::kFastDeltaLevel, &frames)) return false;
    if (patchlib::StrongerLevelMayPay(static_cast<std::uint32_t>(new_size), frames.size())) {
      std::string strong;
      if (!encode(patchlib::kStrongDeltaLevel, &strong)) return false;
      if (strong.size() < frames.size()) frames.swap(strong);
    }
    const std::uint64_t delta = updater::kDeltaHeadSize + frames.size();
    // The delta pays when the whole deflates to at least delta / 0.9.
    std::uint64_t whole = 0;
    bool more = false;
    DeflatedSize(data, (delta * 10 + 8) / 9, &whole, &more);
    if (delta * 10 > whole * 9) return true;
    updater::DeltaHead head;
    head.new_size = static_cast<std::uint32_t>(new_size);
    head.reference_size = static_cast<std::uint32_t>(old_size);
    head.reference_hash = updater::HashBytes(reference.data(), reference.size());
    if (!(entry ? writer_.PatchEntry(name, head, frames) : writer_.PatchFile(name, head, frames)))
      return WriterFailed(shown);
    summary_->deltas.push_back(
        {name, entry, static_cast<std::uint64_t>(new_size), whole, more, delta});
    *sent = true;
    return true;
  }

  bool Put(const zorl::KRef<updater::ArchiveEntry>& entry) {
    if (const zorl::KRef<updater::ArchiveEntry> old = old_archive_.Find(entry->name)) {
      bool sent = false;
      if (!TryDelta(entry->name, true, old->content, entry->content, &sent)) return false;
      if (sent) {
        Progress(static_cast<std::uint64_t>(entry->content.GetSize()));
        touched_entries_.push_back(entry->name);
        return true;
      }
    }
    if (!writer_.PutEntry(entry->name, entry->content,
                          static_cast<std::uint32_t>(entry->content.GetSize()),
                          [&](std::uint64_t n) { Progress(n); }))
      return WriterFailed("entry " + Show(entry->name));
    touched_entries_.push_back(entry->name);
    return true;
  }

  // Removes OLD's entries that NEW lacks, then puts NEW's entries that are
  // new or changed. The patched archive holds NEW's names and contents;
  // with exact_order also NEW's order: from the first entry whose place or
  // content departs from OLD's, every entry is put again.
  bool Archive() {
    std::vector<zorl::KRef<updater::ArchiveEntry>> kept;  // OLD order
    for (const auto& entry : old_archive_.Entries()) {
      if (new_archive_.Find(entry->name)) {
        kept.push_back(entry);
      } else {
        ++summary_->entries_removed;
        if (!writer_.RemoveEntry(entry->name)) return WriterFailed(Show(entry->name));
        touched_entries_.push_back(entry->name);
      }
    }
    bool departed = false;
    for (std::size_t i = 0; i < new_entries_.size(); ++i) {
      const auto& entry = new_entries_[i];
      bool in_old = false, same = false;
      if (!Classify(entry, &in_old, &same)) return false;
      if (!in_old)
        ++summary_->entries_new;
      else if (!same)
        ++summary_->entries_changed;
      else
        ++summary_->entries_unchanged;
      bool put = !same;
      if (options_.exact_order) {
        departed = departed || !same || i >= kept.size() ||
                   std::string(kept[i]->name) != entry->name;
        if (departed && same) ++summary_->entries_reput;
        put = departed;
      }
      if (put && options_.carried)
        options_.carried(entry->name, !in_old ? "new"
                                      : !same ? "changed"
                                              : "unchanged, put again for NEW's order");
      if (put && !Put(entry)) return false;
    }
    return true;
  }

  const BuildOptions& options_;
  zorl::KFile& out_;
  patchlib::CommandWriter writer_;
  BuildSummary* summary_;
  std::string* error_;
  patchlib::ProgressBar bar_;
  std::map<std::string, patchlib::TreeItem> old_, new_;
  std::vector<std::string> clear_, clear_keys_;  // as carried; FileNameKeys
  updater::ResourceArchive old_archive_, new_archive_;
  std::vector<zorl::KRef<updater::ArchiveEntry>> new_entries_;  // NEW's order
  std::uint64_t total_ = 0, done_ = 0;
  // What the manifest records: loose paths as carried (first spelling of
  // a name key) and entry names, in command order.
  std::vector<std::string> touched_files_, touched_entries_;
  std::set<std::string> touched_keys_;
};

}  // namespace

bool BuildPatch(const BuildOptions& options, zorl::KFile& out,
                BuildSummary* summary, std::string* error) {
  Builder builder(options, out, summary, error);
  return builder.Run();
}

}  // namespace kpatch
