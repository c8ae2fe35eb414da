#include "maker_job.h"

#include <vector>

#include "build_report.h"
#include "code_signing.h"
#include "interrupt.h"
#include "patch_builder.h"
#include "patch_verify.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "patchlib/game_tree.h"
#include "patchlib/manifest_writer.h"
#include "patchlib/tree_copy.h"
#include "platform/filesystem.h"
#include "updater_pack.h"

namespace kmaker {
namespace {

using patchlib::Show;

// Shares of the bar: building (comparing and compressing) is most of the
// work, the check next, packing and signing the rest.
constexpr int kBuildShare = 700;
constexpr int kVerifyShare = 950;

// So many carried entries are listed one by one; the rest are counted.
constexpr int kCarriedListed = 200;

void LogVerifyFindings(const kpatch::VerifyResult& result, MakerReport& report) {
  for (const std::string& note : result.notes) report.Log("note: " + note);
  for (const std::string& difference : result.differences)
    report.Log("differs: " + difference);
}

// The finding of a check as one line for the error box, or "" when the
// copy came out as NEW.
std::string VerifyFailure(const kpatch::VerifyResult& result) {
  if (!result.applied) return "the update engine stopped: " + result.engine_message;
  if (!result.differences.empty())
    return "the updated copy of OLD differs from NEW (" +
           std::to_string(result.differences.size()) + " differences, listed in the log)";
  return "";
}

// A scratch folder "kvs*" beside the output, removed with what it holds.
struct SigningFolder {
  std::string dir;
  ~SigningFolder() {
    if (!dir.empty()) patchlib::RemoveTree(dir);
  }
  bool Make(const std::string& output, std::string* error) {
    char made[platform::kMaxPath];
    if (!platform::MakeTempDirectory(patchlib::DirectoryOf(output).c_str(), "kvs", made)) {
      *error = "cannot create a scratch directory beside " + Show(output);
      return false;
    }
    dir = made;
    return true;
  }
};

Outcome Build(const MakerJob& job, MakerReport& report, std::string* error) {
  kpatch::BuildOptions options;
  options.old_dir = job.old_dir;
  options.new_dir = job.new_dir;
  options.walk.follow_links = job.follow_links;
  options.exact_order = job.exact_order;
  options.from_label = job.manifest.from_label;
  options.to_label = job.manifest.to_label;
  options.caption = job.manifest.caption;
  options.completion_text = job.manifest.completion_text;
  if (!job.manifest.language.empty() &&
      !patchlib::ParseLanguage(job.manifest.language, &options.language)) {
    *error = "message language \"" + job.manifest.language + "\": give ja, en or auto";
    return Outcome::kFailed;
  }
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    report.Progress(total ? static_cast<int>(done * kBuildShare / total) : kBuildShare);
  };
  int carried = 0;
  options.carried = [&](const std::string& entry, const char* why) {
    if (++carried <= kCarriedListed) report.Log("carried: entry " + Show(entry) + " (" + why + ")");
  };

  zorl::KFile stub;
  if (!stub.Open(zorl::KFILE_READ, job.stub.c_str())) {
    *error = Show(job.stub) + ": cannot open the updater stub";
    return Outcome::kFailed;
  }
  std::vector<std::string> errors;
  std::uint32_t image_end = 0;
  if (!kpatch::CheckStub(stub, Show(job.stub), true, &image_end, &errors)) {
    *error = errors.back();
    return Outcome::kFailed;
  }

  report.Log("comparing " + Show(job.old_dir) + " (OLD) with " + Show(job.new_dir) + " (NEW)");
  patchlib::AtomicOutput payload;  // beside the output, never committed
  if (!payload.Open(job.output)) {
    *error = Show(job.output) + ": cannot create a file in its directory";
    return Outcome::kFailed;
  }
  kpatch::BuildSummary summary;
  if (!kpatch::BuildPatch(options, payload.file(), &summary, error)) return Outcome::kFailed;
  if (carried > kCarriedListed)
    report.Log("carried: " + std::to_string(carried - kCarriedListed) + " more entries");
  for (const std::string& line : kpatch::SummaryLines(summary, job.exact_order)) report.Log(line);
  report.Log(kpatch::ManifestLine(summary, options));
  report.Progress(kBuildShare);

  report.Log("verify: applying the payload to a scratch copy of OLD and comparing it with NEW");
  kpatch::VerifyResult result;
  if (!payload.file().Flush() ||
      !kpatch::VerifyPatch(job.old_dir, job.new_dir, payload.file(), job.output,
                           options.walk, job.exact_order, &result, error)) {
    if (error->empty()) *error = Show(payload.temp_path()) + ": cannot write the payload";
    return Outcome::kFailed;
  }
  LogVerifyFindings(result, report);
  const std::string failure = VerifyFailure(result);
  if (!failure.empty()) {
    *error = "verify: " + failure + "; nothing written";
    return Outcome::kFailed;
  }
  report.Log(job.exact_order
                 ? "verify: OK, the patched copy of OLD equals NEW byte for byte"
                 : "verify: OK, the patched copy of OLD has NEW's files byte for byte and "
                   "NEW's archive entries (names and contents)");
  report.Progress(kVerifyShare);
  tools::ThrowIfStopRequested();

  // Signed, the updater is packed and signed in a scratch folder beside the
  // output and then moved over it, so a failed signing leaves no output.
  SigningFolder signing;
  std::string packed_path = job.output;
  if (!job.signer.empty()) {
    if (!signing.Make(job.output, error)) return Outcome::kFailed;
    packed_path = patchlib::JoinPath(signing.dir, "unsigned.exe");
  }
  kpatch::PackResult packed;
  if (!kpatch::PackUpdater(stub, Show(job.stub), payload.file(), Show(payload.temp_path()),
                           packed_path, true, &packed, &errors)) {
    *error = errors.back();
    return Outcome::kFailed;
  }
  report.Log("packed: " + Show(job.output) + ": image " + std::to_string(packed.image_end) +
             " bytes + payload " + std::to_string(packed.payload_size) + " bytes");
  if (!job.signer.empty()) {
    report.Log("signing with " + Show(job.signer));
    const std::string signed_path = patchlib::JoinPath(signing.dir, "signed.exe");
    if (!SignFile(job.signer, job.certificate, job.password, packed_path, signed_path, error))
      return Outcome::kFailed;
    if (!platform::ReplaceFile(signed_path.c_str(), job.output.c_str())) {
      *error = Show(job.output) + ": cannot write the signed updater";
      return Outcome::kFailed;
    }
    report.Log("signed: " + Show(job.output));
  }
  report.Progress(1000);
  return Outcome::kDone;
}

Outcome Try(const MakerJob& job, MakerReport& report, std::string* error) {
  report.Log("try: applying " + Show(job.output) + " to a scratch copy of OLD");
  patchlib::WalkOptions walk;
  walk.follow_links = job.follow_links;
  kpatch::VerifyResult result;
  if (!kpatch::TryUpdater(job.old_dir, job.new_dir, job.output, walk, job.exact_order, &result,
                          error))
    return Outcome::kFailed;
  LogVerifyFindings(result, report);
  const std::string failure = VerifyFailure(result);
  if (!failure.empty()) {
    *error = "try: " + failure;
    return Outcome::kFailed;
  }
  report.Log("try: identical: the updated copy of OLD has NEW's files and archive entries");
  report.Progress(1000);
  return Outcome::kDone;
}

// Runs `work`, turning a stop request into kCancelled: everything the work
// made is gone by then (each temporary file and scratch folder goes with
// its owner as the request unwinds).
template <class Work>
Outcome Guarded(Work work, const MakerJob& job, MakerReport& report, std::string* error) {
  error->clear();
  report.Progress(0);
  try {
    return work(job, report, error);
  } catch (const tools::StopRequested&) {
    return Outcome::kCancelled;
  }
}

}  // namespace

Outcome MakeUpdater(const MakerJob& job, MakerReport& report, std::string* error) {
  return Guarded(Build, job, report, error);
}

Outcome TryUpdater(const MakerJob& job, MakerReport& report, std::string* error) {
  return Guarded(Try, job, report, error);
}

}  // namespace kmaker
