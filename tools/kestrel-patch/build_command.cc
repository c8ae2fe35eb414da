// kestrel-patch build OLD NEW -o PAYLOAD [--clear DIR]... [--verify] [--exact-order]
//   [--from-label L] [--to-label L] [--caption T] [--completion-text T]
//   [--language ja|en|auto] [--no-manifest]
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "display_name.h"
#include "patch_builder.h"
#include "patch_verify.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "patchlib/manifest_writer.h"
#include "producer_commands.h"
#include "subcommands.h"

namespace kpatch {

namespace {

const char kDescription[] =
    "Compares two game directories, each holding mareld.dat and loose files,\n"
    "and writes the patch payload (the command stream, zlib level 9) that\n"
    "turns OLD into NEW:\n"
    "  loose files new or changed: write (0); only in OLD: delete (1);\n"
    "  directories only in NEW, empty ones too: create (2);\n"
    "  --clear DIR: empty that tree first (3), then write all of NEW's files\n"
    "  in it; archive entries new or changed: put (4), only in OLD: remove (5).\n"
    "The game reads archive entries by name: only the new and changed ones\n"
    "are carried, and the patched archive holds exactly NEW's names and\n"
    "contents, in OLD's order with the put entries at the end. --exact-order\n"
    "keeps NEW's order instead: from the first departure from OLD's order or\n"
    "content on, every entry is put again, so a canonical NEW archive is\n"
    "rebuilt byte for byte (a larger patch when the change is early).\n"
    "Names longer than 262 bytes, that would land outside the game\n"
    "directory, or that Windows cannot hold or keep apart (letter case only,\n"
    "device names such as con or aux.txt, a dot or space at the end) are\n"
    "refused, and so are links (unless --follow-links), FIFOs, sockets and\n"
    "devices.\n"
    "After the zlib stream comes the version manifest: the labels, texts and\n"
    "language below, and for every file and entry the patch touches what it\n"
    "holds in OLD and in NEW (size and XXH3-128). The updater checks the\n"
    "game against it before it changes anything (a second run says the game\n"
    "is up to date, another version is refused) and checks what it writes.\n"
    "--no-manifest writes the payload as before, without it.\n"
    "PAYLOAD appears complete or not at all (temporary file, then replace).";

struct BuildArguments {
  std::string old_dir, new_dir, out;
  std::vector<std::string> clear;
  bool verify = false;
  bool follow_links = false;
  bool exact_order = false;
  bool no_manifest = false;
  std::string from_label, to_label, caption, completion_text;
  std::string language = "ja";
};

std::string Plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintSummary(const BuildSummary& s, bool exact_order) {
  static const char* const kKinds[] = {
      "write file", "delete file", "make directory",
      "empty tree", "put entry",   "remove entry"};
  std::printf("commands:\n");
  for (int op = 0; op < 6; ++op)
    std::printf("  %d %-15s %" PRIu64 "\n", op, kKinds[op], s.commands[op]);
  const std::uint32_t in_new = s.entries_new + s.entries_changed + s.entries_unchanged;
  std::printf("archive: %s in NEW (%u changed, %u new, %u unchanged), %u of OLD's "
              "removed\n",
              Plural(in_new, "entry", "entries").c_str(), s.entries_changed,
              s.entries_new, s.entries_unchanged, s.entries_removed);
  const std::uint64_t carried = s.commands[4];
  if (exact_order)
    std::printf("  carried: %s (%u changed, %u new, %u unchanged put again to keep "
                "NEW's order)\n",
                Plural(carried, "entry", "entries").c_str(), s.entries_changed,
                s.entries_new, s.entries_reput);
  else
    std::printf("  carried: %s (the changed and new ones; the patched archive "
                "puts them last)\n",
                Plural(carried, "entry", "entries").c_str());
  std::printf("compared %s (%s and %s of equal size)\n",
              patchlib::HumanBytes(s.compared_bytes).c_str(),
              Plural(s.files_compared, "file", "files").c_str(),
              Plural(s.entries_compared, "entry", "entries").c_str());
  std::printf("payload: %s (command stream %s",
              patchlib::HumanBytes(s.compressed_bytes).c_str(),
              patchlib::HumanBytes(s.raw_bytes).c_str());
  if (s.raw_bytes > 0)
    std::printf(", compressed to %.1f%%", 100.0 * s.compressed_bytes / s.raw_bytes);
  std::printf(")\n");
}

int Build(const BuildArguments& a) {
  BuildOptions options;
  options.old_dir = a.old_dir;
  options.new_dir = a.new_dir;
  const std::string& out_path = a.out;
  const bool verify = a.verify;
  options.clear = a.clear;
  options.walk.follow_links = a.follow_links;
  options.exact_order = a.exact_order;
  options.manifest = !a.no_manifest;
  options.from_label = a.from_label;
  options.to_label = a.to_label;
  options.caption = a.caption;
  options.completion_text = a.completion_text;
  patchlib::ParseLanguage(a.language, &options.language);  // checked by the parser

  if (a.no_manifest && (!a.from_label.empty() || !a.to_label.empty() || !a.caption.empty() ||
                        !a.completion_text.empty() || a.language != "ja")) {
    patchlib::PrintError("kestrel-patch build",
                         "--no-manifest leaves no place for labels, texts or a language: "
                         "give one or the other");
    return kExitUsage;
  }
  patchlib::AtomicOutput output;
  if (!output.Open(out_path)) {
    patchlib::PrintError("kestrel-patch build", patchlib::Show(out_path) +
                                                    ": cannot create a file in its directory");
    return kExitFailure;
  }
  BuildSummary summary;
  std::string error;
  if (!BuildPatch(options, output.file(), &summary, &error)) {
    patchlib::PrintError("kestrel-patch build", error);
    return kExitFailure;  // the temporary file goes with `output`
  }
  PrintSummary(summary, options.exact_order);
  if (summary.manifest)
    std::printf("manifest: %s, %s, messages %s%s%s\n",
                Plural(summary.manifest_records, "record", "records").c_str(),
                patchlib::HumanBytes(summary.manifest_bytes).c_str(),
                patchlib::LanguageName(options.language),
                options.from_label.empty() && options.to_label.empty() ? "" : ", ",
                options.from_label.empty() && options.to_label.empty()
                    ? ""
                    : (tools::ShowText(options.from_label.empty() ? "?" : options.from_label) +
                       " -> " +
                       tools::ShowText(options.to_label.empty() ? "?" : options.to_label))
                          .c_str());
  else
    std::printf("manifest: none (--no-manifest)\n");
  if (verify) {
    VerifyResult result;
    if (!output.file().Flush() ||
        !VerifyPatch(options.old_dir, options.new_dir, output.file(), out_path,
                     options.walk, options.exact_order, &result, &error)) {
      patchlib::PrintError("kestrel-patch build", "verify: " + error);
      return kExitFailure;
    }
    for (const std::string& note : result.notes)
      std::printf("verify: note: %s\n", note.c_str());
    if (!result.applied) {
      patchlib::PrintError("kestrel-patch build",
                           "verify: the update engine stopped: " + result.engine_message);
      return kExitFailure;
    }
    for (const std::string& difference : result.differences)
      std::printf("verify: differs: %s\n", difference.c_str());
    if (!result.differences.empty()) {
      patchlib::PrintError("kestrel-patch build",
                           "verify: the patched copy of OLD differs from NEW (" +
                               std::to_string(result.differences.size()) +
                               " differences); payload not written");
      return kExitFailure;
    }
    if (options.exact_order)
      std::printf("verify: OK, the patched copy of OLD equals NEW byte for byte\n");
    else
      std::printf("verify: OK, the patched copy of OLD has NEW's files byte for byte\n"
                  "        and NEW's archive entries (names and contents)\n");
  }
  if (!output.Commit()) {
    patchlib::PrintError("kestrel-patch build",
                         patchlib::Show(out_path) + ": cannot write the payload");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

void AddBuildCommand(tools::CommandLine& cli) {
  auto a = std::make_shared<BuildArguments>();
  cli.Add("build", "build a payload from two game directories", kDescription,
          [a] { return Build(*a); })
      .Path("OLD", &a->old_dir, "the released game directory")
      .Path("NEW", &a->new_dir, "the new game directory")
      .PathOption("-o,--output", "PAYLOAD", &a->out, "the payload file to write",
                  true)
      .PathOptions("--clear", "DIR", &a->clear,
                   "empty this directory tree (relative to the game directory) "
                   "first and write all of NEW's files in it")
      .Flag("--verify", &a->verify,
            "apply the payload to a scratch copy of OLD with the update engine "
            "and compare the result with NEW (loose files byte for byte; the "
            "archive by entry names and contents, with --exact-order byte for "
            "byte); PAYLOAD is written only when they agree")
      .Flag("--exact-order", &a->exact_order,
            "rebuild NEW's archive in NEW's entry order (byte for byte when it "
            "is canonical), carrying every entry from the first change of "
            "order or content on")
      .TextOption("--from-label", "LABEL", &a->from_label,
                  "the version the patch applies to, as players know it (\"1.02\")")
      .TextOption("--to-label", "LABEL", &a->to_label,
                  "the version the patch makes (\"1.03\")")
      .TextOption("--caption", "TEXT", &a->caption,
                  "the updater's window and message captions (default: its own)")
      .TextOption("--completion-text", "TEXT", &a->completion_text,
                  "the message the updater shows when it has finished (default: "
                  "its own)")
      .Choice("--language", "LANG", &a->language, {"ja", "en", "auto"},
              "the language of the updater's messages; auto: Japanese when the "
              "player's Windows speaks Japanese, English otherwise (default ja)")
      .Flag("--no-manifest", &a->no_manifest,
            "write no version manifest: the payload exactly as before (no check "
            "of the game's version, no labels or texts)")
      .Flag("--follow-links", &a->follow_links,
            "pack what links in OLD and NEW point to (a link is an error "
            "otherwise); loops are refused");
}

}  // namespace kpatch
