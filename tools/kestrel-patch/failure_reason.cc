#include "failure_reason.h"

#include <cstring>

#include "console_text.h"
#include "display_name.h"
#include "engine/manifest.h"
#include "engine/messages.h"
#include "engine/payload.h"
#include "engine/resource_archive.h"
#include "exit_status.h"
#include "foundation/kfile.h"
#include "patchlib/archive_check.h"
#include "patchlib/command_decoder.h"
#include "platform/filesystem.h"
#include "platform/last_failure.h"

namespace kpatch {
namespace {

using tools::ShowName;

// Whether `message` is `format` with its "%s" filled; the filling goes to
// `filled`. A format without "%s" must match exactly.
bool MatchesForm(const std::string& message, const char* format, std::string* filled) {
  const char* hole = std::strstr(format, "%s");
  if (!hole) return message == format;
  const std::string head(format, hole), tail(hole + 2);
  if (message.size() < head.size() + tail.size() ||
      message.compare(0, head.size(), head) != 0 ||
      message.compare(message.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  if (filled) *filled = message.substr(head.size(), message.size() - head.size() - tail.size());
  return true;
}

// The same for the format in either language the updater speaks.
bool Matches(const std::string& message, const char* format, std::string* filled = nullptr) {
  return MatchesForm(message, format, filled) ||
         MatchesForm(message, updater::InEnglish(format), filled);
}

FailureReason Wrong(const std::string& text) { return {text, tools::kExitWrongInput}; }
FailureReason Failed(const std::string& text) { return {text, tools::kExitFailure}; }

// The file operation the seam saw fail last, or `otherwise`.
FailureReason FromLastFailure(const std::string& otherwise) {
  platform::FailedOperation failed;
  if (!platform::GetLastFailure(&failed)) return Failed(otherwise);
  const std::string reason = tools::ToConsole(failed.reason);
  if (failed.path.empty()) return Failed(failed.operation + " failed: " + reason);
  std::string what = "cannot " + failed.operation + " " + ShowName(failed.path);
  if (failed.operation == "rename") what += " to " + ShowName(failed.target);
  if (failed.operation == "replace") what += " with " + ShowName(failed.target);
  return Failed(what + ": " + reason);
}

// What is wrong with PATCH as an updater; "" in `text` when nothing is.
FailureReason PatchProblem(const std::string& patch) {
  const std::string shown = ShowName(patch);
  switch (platform::GetPathKind(patch.c_str())) {
    case platform::PathKind::kNone: return Wrong(shown + ": no such file");
    case platform::PathKind::kDirectory: return Wrong(shown + " is a directory, not an updater");
    case platform::PathKind::kOther: return Wrong(shown + " is not a file, not an updater");
    case platform::PathKind::kFile: break;
  }
  zorl::KFile exe;
  if (!exe.Open(zorl::KFILE_READ, patch.c_str())) return FromLastFailure(shown + ": cannot be read");
  std::uint32_t image_end = 0;
  if (!updater::FindImageEnd(exe, &image_end))
    return Wrong(shown + " is not a Windows executable (its PE headers are missing or broken)");
  const std::int32_t size = exe.GetSize();
  if (size >= 0 && image_end > static_cast<std::uint32_t>(size))
    return Wrong(shown + " is cut short: its image ends at byte " + std::to_string(image_end) +
                 ", the file at byte " + std::to_string(size));
  if (size >= 0 && image_end == static_cast<std::uint32_t>(size))
    return Wrong(shown + " carries no payload after its image (the image ends at byte " +
                 std::to_string(image_end) + ", and so does the file): not an updater "
                 "made with kestrel-patch pack");
  zorl::KFile payload;
  if (!payload.OpenView(exe, static_cast<std::int32_t>(image_end), -1))
    return FromLastFailure(shown + ": cannot be read");
  // The manifest at the end is read before anything is inflated.
  updater::Manifest manifest;
  std::uint32_t body_at = 0;
  const updater::ManifestLookup lookup =
      updater::ReadUpdaterManifest(exe, image_end, &manifest, &body_at);
  if (lookup == updater::ManifestLookup::kDamaged)
    return Failed("the version manifest at the end of " + shown +
                  " is damaged (its checksum, length or layout does not hold): a damaged "
                  "or incomplete download");
  patchlib::InflateReader reader(payload);
  while (reader.Skip(1 << 16)) {
  }
  if (reader.error().empty()) {
    const std::uint64_t stream_end = image_end + reader.consumed();
    if (lookup == updater::ManifestLookup::kFound &&
        (stream_end != body_at || reader.position() != manifest.inflated_size))
      return Failed("the payload's zlib stream and its version manifest do not fit together "
                    "(the stream ends at byte " + std::to_string(stream_end) +
                    ", the manifest begins at byte " + std::to_string(body_at) +
                    "; it inflates to " + std::to_string(reader.position()) +
                    " bytes, the manifest says " + std::to_string(manifest.inflated_size) +
                    "): a damaged download");
    if (lookup == updater::ManifestLookup::kNone && stream_end <= 0x7FFFFFFFu &&
        updater::LooksLikeManifestBody(exe, static_cast<std::uint32_t>(stream_end)))
      return Failed("the version manifest after the payload's zlib stream is cut off (its "
                    "end is missing): a damaged or incomplete download");
  }
  if (!reader.error().empty()) {
    const std::uint64_t at = reader.consumed();
    const std::string where = " at byte " + std::to_string(at) + " of the payload (byte " +
                              std::to_string(image_end + at) + " of " + shown + ")";
    if (reader.cut_short())
      return Failed("the payload is cut short: its zlib stream breaks off" + where);
    return Failed("the payload is damaged: zlib says \"" + reader.error() + "\"" + where);
  }
  return {"", tools::kExitFailure};
}

// What is wrong with the payload's command stream; "" when nothing is.
std::string StreamProblem(const std::string& patch) {
  zorl::KFile exe, payload;
  std::uint32_t image_end = 0;
  if (!exe.Open(zorl::KFILE_READ, patch.c_str()) || !updater::FindImageEnd(exe, &image_end) ||
      !payload.OpenView(exe, static_cast<std::int32_t>(image_end), -1))
    return "";
  patchlib::InflateReader reader(payload);
  std::string error;
  if (patchlib::DecodeCommands(reader, [](const patchlib::DecodedCommand&) {}, &error))
    return "";
  return "the command stream breaks the updater's format: " + error;
}

FailureReason ArchiveProblem(const std::string& game_dir) {
  const std::string path = game_dir + "/" + updater::kArchiveFileName;
  const std::string shown = ShowName(path);
  switch (platform::GetPathKind(path.c_str())) {
    case platform::PathKind::kNone:
      return Wrong(ShowName(game_dir) + " has no " + updater::kArchiveFileName +
                   ": not a game folder (--dir names the folder that holds it)");
    case platform::PathKind::kDirectory:
    case platform::PathKind::kOther:
      return Wrong(shown + " is not a file: not a game folder");
    case platform::PathKind::kFile:
      break;
  }
  const patchlib::ArchiveCheck check = patchlib::CheckArchiveFile(path);
  if (check.cannot_open)
    return FromLastFailure(shown + ": cannot be read");
  if (!check.not_an_archive.empty())
    return Wrong(shown + " is not a resource archive: " + check.not_an_archive);
  if (!check.problems.empty())
    return Wrong(shown + " is a damaged archive: " + check.problems.front() +
                 (check.problems.size() > 1
                      ? " (and " + std::to_string(check.problems.size() - 1) +
                            " more; kestrel-archive check lists them)"
                      : ""));
  return FromLastFailure(shown + ": the updater cannot load it");
}

}  // namespace

FailureReason ExplainFailure(const std::string& patch, const std::string& game_dir,
                             const std::string& message) {
  std::string filled;
  if (Matches(message, updater::kMsgCannotOpen)) {
    const FailureReason patch_problem = PatchProblem(patch);
    if (!patch_problem.text.empty()) return patch_problem;
    if (platform::GetPathKind(game_dir.c_str()) != platform::PathKind::kDirectory)
      return Wrong(ShowName(game_dir) + " is not a directory: not a game folder");
    return FromLastFailure("the payload cannot be unpacked into a temporary file in " +
                           ShowName(game_dir));
  }
  if (Matches(message, updater::kMsgCannotOpenArchive)) return ArchiveProblem(game_dir);
  if (Matches(message, updater::kMsgCannotRead)) {
    const std::string problem = StreamProblem(patch);
    return Failed(problem.empty()
                      ? "the command stream cannot be read as the updater's format requires"
                      : problem);
  }
  platform::FailedOperation failed;
  const bool io = platform::GetLastFailure(&failed);
  if (Matches(message, updater::kMsgCannotDelete, &filled) &&
      (!io || failed.path != filled)) {
    // Before the first change the run checks that what the patch deletes
    // is there: a file, or an archive entry.
    if (filled.compare(0, game_dir.size(), game_dir) != 0)
      return Failed("the patch removes the entry " + ShowName(filled) + ", which " +
                    updater::kArchiveFileName + " does not hold");
    switch (platform::GetPathKind(filled.c_str())) {
      case platform::PathKind::kNone:
        return Failed("the patch deletes " + ShowName(filled) + ", which is not there");
      case platform::PathKind::kDirectory:
        return Failed("the patch deletes " + ShowName(filled) +
                      ", which is a directory (only files are deleted)");
      default:
        break;
    }
  }
  if (Matches(message, updater::kMsgCannotCreateFile, &filled) &&
      (!io || failed.path != filled) &&
      platform::GetPathKind(filled.c_str()) == platform::PathKind::kDirectory)
    return Failed("the patch writes the file " + ShowName(filled) +
                  ", which is a directory");
  if (Matches(message, updater::kMsgCannotCreateDirectory)) {
    // Making a tree tries each missing level; the deepest directory it
    // could not make says why.
    const platform::FailedOperation* deepest = nullptr;
    const std::vector<platform::FailedOperation> recent = platform::RecentFailures();
    for (const platform::FailedOperation& f : recent)
      if (f.operation == "create the directory" &&
          (!deepest || f.path.size() > deepest->path.size()))
        deepest = &f;
    if (deepest) {
      const bool file_in_way =
          platform::GetPathKind(deepest->path.c_str()) == platform::PathKind::kFile;
      return Failed("cannot create the directory " + ShowName(deepest->path) + ": " +
                    (file_in_way ? std::string("a file has that name")
                                 : tools::ToConsole(deepest->reason)));
    }
  }
  if (Matches(message, updater::kMsgCannotWriteArchive) ||
      Matches(message, updater::kMsgCannotSwapArchive))
    return FromLastFailure("the new " + std::string(updater::kArchiveFileName) +
                           " could not be written or swapped in");
  return FromLastFailure(
      "no file operation failed: the patch asks for something the updater refuses "
      "here (a path too long for it, or a file the run must not touch)");
}

}  // namespace kpatch
