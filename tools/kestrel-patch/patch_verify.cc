#include "patch_verify.h"

#include <cstdio>

#include "engine/resource_archive.h"
#include "engine/update_run.h"
#include "engine/update_ui.h"
#include "interrupt.h"
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

std::string Absolute(const std::string& path) {
  if ((!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
      (path.size() > 1 && path[1] == ':'))
    return path;
  char cwd[platform::kMaxPath];
  if (!platform::GetWorkingDirectory(cwd, sizeof cwd)) return path;
  return patchlib::JoinPath(cwd, path);
}

// Whether two archives list the same names with the same contents in the
// same order (their files may still differ in layout).
bool SameEntries(const std::string& a_path, const std::string& b_path) {
  updater::ResourceArchive a, b;
  if (!a.Load(a_path.c_str()) || !b.Load(b_path.c_str())) return false;
  const auto xs = a.Entries(), ys = b.Entries();
  if (xs.size() != ys.size()) return false;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const auto& x = xs[i];
    const auto& y = ys[i];
    const std::int32_t size = x->content.GetSize();
    if (std::string(x->name) != y->name || size != y->content.GetSize() ||
        patchlib::CompareStreams(x->content, y->content,
                                 static_cast<std::uint64_t>(size)) !=
            patchlib::Comparison::kEqual)
      return false;
  }
  return true;
}

}  // namespace

bool VerifyPatch(const std::string& old_dir, const std::string& new_dir,
                 zorl::KFile& payload, const std::string& scratch_near,
                 const patchlib::WalkOptions& walk, VerifyResult* result,
                 std::string* error) {
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
  bool written =
      stub.Open(zorl::KFILE_READ | zorl::KFILE_WRITE | zorl::KFILE_CREATE |
                    zorl::KFILE_NEW,
                exe.c_str()) &&
      stub.Write(pe.data(), static_cast<std::uint32_t>(pe.size())) ==
          static_cast<std::int32_t>(pe.size()) &&
      payload.Seek(zorl::KSEEK_BEGIN, 0);
  std::vector<unsigned char> buffer(1u << 20);
  while (written) {
    const std::int32_t got =
        payload.Read(static_cast<std::uint32_t>(buffer.size()), buffer.data());
    if (got <= 0) {
      written = got == 0;
      break;
    }
    written = stub.Write(buffer.data(), static_cast<std::uint32_t>(got)) == got;
  }
  stub.Close();
  if (!written) {
    *error = patchlib::Show(exe) + ": cannot write the test updater";
    return false;
  }

  SilentUi ui;
  result->applied = updater::RunUpdate(ui, exe.c_str(), Absolute(game).c_str());
  tools::ThrowIfStopRequested();
  if (!result->applied) {
    result->engine_message = patchlib::Show(ui.message);
    return true;
  }
  patchlib::CompareTrees(game, new_dir, &result->differences, &result->notes,
                         walk);
  // NEW's archive may not be canonical: then only its entries must agree.
  const std::string archive_diff =
      std::string(updater::kArchiveFileName) + ": ";
  for (auto it = result->differences.begin(); it != result->differences.end();
       ++it) {
    if (it->compare(0, archive_diff.size(), archive_diff) == 0 &&
        it->find("missing") == std::string::npos &&
        SameEntries(patchlib::JoinPath(game, updater::kArchiveFileName),
                    patchlib::JoinPath(new_dir, updater::kArchiveFileName))) {
      result->differences.erase(it);
      result->notes.push_back(
          "mareld.dat: same entries in the same order, but NEW's archive is "
          "not canonical, so the files differ in layout");
      break;
    }
  }
  return true;
}

}  // namespace kpatch
