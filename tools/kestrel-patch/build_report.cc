#include "build_report.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "display_name.h"
#include "patchlib/console.h"
#include "patchlib/manifest_writer.h"

namespace kpatch {
namespace {

std::string Plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace

std::vector<std::string> SummaryLines(const BuildSummary& s, bool exact_order) {
  static const char* const kKinds[] = {
      "write file", "delete file", "make directory", "empty tree",
      "put entry",  "remove entry", "patch file",    "patch entry"};
  static_assert(sizeof kKinds / sizeof kKinds[0] == updater::kOpcodeCount,
                "a name for every command");
  std::vector<std::string> lines;
  lines.push_back("commands:");
  for (std::uint32_t op = 0; op < updater::kOpcodeCount; ++op)
    lines.push_back(Format("  %u %-15s %" PRIu64, op, kKinds[op], s.commands[op]));
  const std::uint32_t in_new = s.entries_new + s.entries_changed + s.entries_unchanged;
  lines.push_back(Format("archive: %s in NEW (%u changed, %u new, %u unchanged), %u of OLD's "
                         "removed",
                         Plural(in_new, "entry", "entries").c_str(), s.entries_changed,
                         s.entries_new, s.entries_unchanged, s.entries_removed));
  const std::uint64_t carried = s.commands[4] + s.commands[7];
  if (exact_order)
    lines.push_back(Format("  carried: %s (%u changed, %u new, %u unchanged put again to keep "
                           "NEW's order)",
                           Plural(carried, "entry", "entries").c_str(), s.entries_changed,
                           s.entries_new, s.entries_reput));
  else
    lines.push_back(Format("  carried: %s (the changed and new ones; the patched archive "
                           "puts them last)",
                           Plural(carried, "entry", "entries").c_str()));
  if (!s.deltas.empty()) {
    std::uint64_t whole = 0, delta = 0;
    bool at_least = false;
    for (const DeltaItem& d : s.deltas) {
      whole += d.whole_deflated;
      delta += d.delta;
      at_least = at_least || d.whole_at_least;
    }
    lines.push_back(Format("deltas: %s, %s%s deflated whole -> %s as deltas",
                           Plural(s.deltas.size(), "item", "items").c_str(),
                           at_least ? "over " : "", patchlib::HumanBytes(whole).c_str(),
                           patchlib::HumanBytes(delta).c_str()));
    for (const DeltaItem& d : s.deltas)
      lines.push_back(Format("  %s %s: %s, %s%s deflated -> %s delta", d.entry ? "entry" : "file ",
                             patchlib::Show(d.name).c_str(), patchlib::HumanBytes(d.size).c_str(),
                             d.whole_at_least ? "over " : "",
                             patchlib::HumanBytes(d.whole_deflated).c_str(),
                             patchlib::HumanBytes(d.delta).c_str()));
  }
  lines.push_back(Format("compared %s (%s and %s of equal size)",
                         patchlib::HumanBytes(s.compared_bytes).c_str(),
                         Plural(s.files_compared, "file", "files").c_str(),
                         Plural(s.entries_compared, "entry", "entries").c_str()));
  std::string payload = Format("payload: %s (command stream %s",
                               patchlib::HumanBytes(s.compressed_bytes).c_str(),
                               patchlib::HumanBytes(s.raw_bytes).c_str());
  if (s.raw_bytes > 0)
    payload += Format(", compressed to %.1f%%", 100.0 * s.compressed_bytes / s.raw_bytes);
  lines.push_back(payload + ")");
  return lines;
}

std::string ManifestLine(const BuildSummary& summary, const BuildOptions& options) {
  if (!summary.manifest) return "manifest: none (--no-manifest)";
  const bool labelled = !options.from_label.empty() || !options.to_label.empty();
  return Format("manifest: %s, %s, messages %s%s%s",
                Plural(summary.manifest_records, "record", "records").c_str(),
                patchlib::HumanBytes(summary.manifest_bytes).c_str(),
                patchlib::LanguageName(options.language), labelled ? ", " : "",
                labelled ? (tools::ShowText(options.from_label.empty() ? "?" : options.from_label) +
                            " -> " +
                            tools::ShowText(options.to_label.empty() ? "?" : options.to_label))
                               .c_str()
                         : "");
}

}  // namespace kpatch
