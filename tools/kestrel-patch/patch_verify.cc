#include "patch_verify.h"

#include <cstdio>

#include "console_text.h"
#include "engine/resource_archive.h"
#include "engine/update_run.h"
#include "engine/update_ui.h"
#include "interrupt.h"
#include "patchlib/archive_diff.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "patchlib/game_tree.h"
#include "patchlib/minimal_pe.h"
#include "patchlib/stream_compare.h"
#include "patchlib/tree_copy.h"
#include "platform/filesystem.h"
#include "platform/process.h"

namespace kpatch {
namespace {

// Runs the engine silently and keeps the last message it showed.
class SilentUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  // Ctrl-C ends the engine's run the way a closed window would; VerifyPatch
  // then passes the stop request on.
  void Pump() override {
    if (tools::StopWasRequested()) throw updater::kFailureSignal;
  }
  void ShowMessage(const char* text, updater::MessageKind kind) override {
    if (kind == updater::MessageKind::kError) message = text;
  }
  std::string message;
};

// The patched archive against NEW's: what the mode promises. Each
// mismatch goes to `differences`; an archive that equals NEW's in every
// entry but not in bytes (NEW's is not canonical) gives a note.
void CheckArchive(const std::string& patched, const std::string& wanted,
                  bool exact_order, VerifyResult* result) {
  updater::ResourceArchive a, b;
  const std::string label = std::string(updater::kArchiveFileName) + ": ";
  if (!a.Load(patched.c_str()) || !b.Load(wanted.c_str())) {
    result->differences.push_back(label + "cannot be read");
    return;
  }
  patchlib::ArchiveDiff diff;
  std::string error;
  if (!patchlib::DiffArchives(a, b, &diff, &error)) {
    result->differences.push_back(label + error);
    return;
  }
  for (const auto& e : diff.only_in_b)
    result->differences.push_back(label + "entry " + patchlib::Show(e.name) + " missing");
  for (const auto& e : diff.only_in_a)
    result->differences.push_back(label + "entry " + patchlib::Show(e.name) +
                                  " only in the result");
  for (const auto& e : diff.changed)
    result->differences.push_back(label + "entry " + patchlib::Show(e.name) +
                                  ": content differs");
  if (!diff.SameEntries()) return;
  if (exact_order && !diff.same_order)
    result->differences.push_back(label + "the entries are NEW's but in another order");
}

}  // namespace

// The manifest's "after" states against NEW itself: every recorded file
// and entry as NEW holds it. (The run in the scratch has checked the
// "before" states against OLD and what it wrote against "after".)
static void CheckManifestAgainstNew(zorl::KFile& payload, const std::string& new_dir,
                             VerifyResult* result) {
  updater::Manifest manifest;
  std::uint32_t body_at = 0;
  const std::int32_t size = payload.GetSize();
  if (size < 0 || updater::ReadManifestAt(payload, 0, static_cast<std::uint32_t>(size), false,
                                          &manifest, &body_at) != updater::ManifestLookup::kFound)
    return;
  std::string dir = new_dir;
  tools::AbsoluteDirectory(new_dir, &dir);
  updater::ResourceArchive archive;
  const std::string archive_path = patchlib::JoinPath(new_dir, updater::kArchiveFileName);
  if (!archive.Load(archive_path.c_str())) {
    result->differences.push_back("manifest: NEW's archive cannot be loaded to check it");
    return;
  }
  const updater::VersionReport report = updater::CheckVersion(manifest, dir.c_str(), archive);
  for (const updater::FoundItem& item : report.found) {
    if (item.Is(item.record->after)) continue;
    result->differences.push_back("manifest: " + patchlib::Show(item.record->name) +
                                  " should be " + item.record->after.Describe() +
                                  " as in NEW, NEW holds " + item.Describe());
  }
}

bool VerifyPatch(const std::string& old_dir, const std::string& new_dir,
                 zorl::KFile& payload, const std::string& scratch_near,
                 const patchlib::WalkOptions& walk, bool exact_order,
                 VerifyResult* result, std::string* error) {
  // A fresh directory no one else can have made or linked: the clean-up
  // below removes only what this run created, and never follows a link.
  char made[platform::kMaxPath];
  if (!platform::MakeTempDirectory(patchlib::DirectoryOf(scratch_near).c_str(),
                                   "kvf", made)) {
    *error = "cannot create a scratch directory beside " +
             patchlib::Show(scratch_near);
    return false;
  }
  struct Cleanup {
    std::string dir;
    ~Cleanup() { patchlib::RemoveTree(dir); }
  } cleanup{made};
  const std::string scratch = made;
  const std::string game = patchlib::JoinPath(scratch, "game");
  const std::string exe = patchlib::JoinPath(scratch, "updater.exe");
  if (!platform::MakeDirectory(game.c_str())) {
    *error = patchlib::Show(game) + ": cannot create the scratch directory";
    return false;
  }
  if (!patchlib::CopyTree(old_dir, game, error, walk)) return false;

  zorl::KFile stub;
  const std::string pe = patchlib::MinimalPe();
  const std::int32_t payload_size = payload.GetSize();
  const bool written =
      stub.Open(zorl::KFILE_READ | zorl::KFILE_WRITE | zorl::KFILE_CREATE |
                    zorl::KFILE_NEW,
                exe.c_str()) &&
      stub.Write(pe.data(), static_cast<std::uint32_t>(pe.size())) ==
          static_cast<std::int32_t>(pe.size()) &&
      payload_size >= 0 &&
      patchlib::CopyStream(payload, static_cast<std::uint64_t>(payload_size), stub);
  stub.Close();
  if (!written) {
    *error = patchlib::Show(exe) + ": cannot write the test updater";
    return false;
  }

  // The engine resolves names against the game directory: an absolute one.
  std::string game_dir = game;
  tools::AbsoluteDirectory(game, &game_dir);
  SilentUi ui;
  result->applied = updater::RunUpdate(ui, exe.c_str(), game_dir.c_str());
  tools::ThrowIfStopRequested();
  if (!result->applied) {
    result->engine_message = patchlib::Show(ui.message);
    return true;
  }
  patchlib::CompareTrees(game, new_dir, &result->differences, &result->notes,
                         walk);
  CheckManifestAgainstNew(payload, new_dir, result);
  // The archive: byte for byte with --exact-order when NEW's is canonical;
  // otherwise by what the mode promises.
  const std::string label = std::string(updater::kArchiveFileName) + ": ";
  for (auto it = result->differences.begin(); it != result->differences.end(); ++it) {
    if (it->compare(0, label.size(), label) != 0 ||
        it->find("missing") != std::string::npos)
      continue;
    result->differences.erase(it);
    const std::size_t before = result->differences.size();
    CheckArchive(patchlib::JoinPath(game, updater::kArchiveFileName),
                 patchlib::JoinPath(new_dir, updater::kArchiveFileName), exact_order,
                 result);
    if (exact_order && result->differences.size() == before)
      result->notes.push_back(
          "mareld.dat: same entries in the same order, but NEW's archive is "
          "not canonical, so the files differ in layout");
    break;
  }
  return true;
}

}  // namespace kpatch
