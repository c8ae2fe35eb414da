// kestrel-patch list UPDATER|PAYLOAD [--json]
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "display_name.h"
#include "engine/manifest.h"
#include "engine/patch_format.h"
#include "engine/payload.h"
#include "patchlib/command_decoder.h"
#include "patchlib/console.h"
#include "json_output.h"
#include "patchlib/entry_name.h"
#include "patchlib/manifest_writer.h"
#include "producer_commands.h"
#include "subcommands.h"

namespace kpatch {

namespace {

const char kTool[] = "kestrel-patch list";
const char kDescription[] =
    "Decodes the payload (a raw zlib payload, or the overlay of an updater\n"
    "executable) and prints every command: opcode, kind, size, name (UTF-8).\n"
    "Names of file commands that the updater would resolve outside its game\n"
    "directory are flagged, with a warning on stderr. Then the version\n"
    "manifest after the stream, when there is one: labels, texts, the\n"
    "messages' language, and each touched file and entry with its size and\n"
    "XXH3-128 before and after. Exit status 1 when the payload is corrupt or\n"
    "truncated (after the commands decoded so far), or its manifest is\n"
    "damaged. --json prints one JSON object instead (names and texts UTF-8).";

struct ListArguments {
  std::string path;
  bool json = false;
};

std::string StateText(const updater::ItemState& s) {
  switch (s.kind) {
    case updater::ItemState::Kind::kAbsent: return "absent";
    case updater::ItemState::Kind::kDirectory: return "directory";
    case updater::ItemState::Kind::kFile: break;
  }
  return std::to_string(s.size) + " " + s.hash.Hex();
}

nlohmann::ordered_json StateJson(const updater::ItemState& s) {
  switch (s.kind) {
    case updater::ItemState::Kind::kAbsent: return {{"state", "absent"}};
    case updater::ItemState::Kind::kDirectory: return {{"state", "directory"}};
    case updater::ItemState::Kind::kFile: break;
  }
  return {{"state", "file"}, {"size", s.size}, {"xxh3_128", s.hash.Hex()}};
}

nlohmann::ordered_json ManifestJson(const updater::Manifest& m) {
  nlohmann::ordered_json records = nlohmann::ordered_json::array();
  for (const updater::ManifestRecord& r : m.records)
    records.push_back({{"kind", r.kind == updater::ManifestRecord::Kind::kLooseFile ? "file"
                                                                                   : "entry"},
                       {"name", tools::Utf8Name(r.name)},
                       {"before", StateJson(r.before)},
                       {"after", StateJson(r.after)}});
  return {{"inflated_size", m.inflated_size},
          {"from_label", m.from_label},
          {"to_label", m.to_label},
          {"caption", m.caption},
          {"completion_text", m.completion},
          {"language", patchlib::LanguageName(m.language)},
          {"records", records}};
}

void PrintManifest(const updater::Manifest& m) {
  auto text = [](const std::string& t) {
    return t.empty() ? std::string("(the updater's own)") : "\"" + tools::ShowText(t) + "\"";
  };
  std::printf("manifest: %zu records, inflated size %llu, messages %s\n", m.records.size(),
              static_cast<unsigned long long>(m.inflated_size),
              patchlib::LanguageName(m.language));
  std::printf("  from label: %s\n  to label:   %s\n",
              m.from_label.empty() ? "-" : tools::ShowText(m.from_label).c_str(),
              m.to_label.empty() ? "-" : tools::ShowText(m.to_label).c_str());
  std::printf("  caption:    %s\n  completion: %s\n", text(m.caption).c_str(),
              text(m.completion).c_str());
  for (const updater::ManifestRecord& r : m.records)
    std::printf("  %-5s %-42s -> %-42s %s\n",
                r.kind == updater::ManifestRecord::Kind::kLooseFile ? "file" : "entry",
                StateText(r.before).c_str(), StateText(r.after).c_str(),
                patchlib::Show(r.name).c_str());
}

const char* Kind(std::uint32_t opcode) {
  static const char* const kKinds[] = {"write",  "delete", "mkdir",
                                       "clear",  "put",    "remove"};
  return opcode < 6 ? kKinds[opcode] : "?";
}

int List(const ListArguments& a) {
  const std::string& path = a.path;
  const std::string shown = patchlib::Show(path);
  const std::string not_a_file = patchlib::NotAFile(path);
  zorl::KFile file;
  if (!not_a_file.empty() || !file.Open(zorl::KFILE_READ, path.c_str())) {
    patchlib::PrintError(kTool, shown + ": " +
                                    (not_a_file.empty() ? "cannot open the file" : not_a_file));
    return kExitFailure;
  }
  unsigned char magic[2] = {};
  zorl::KFile source;
  std::uint32_t payload_at = 0;
  bool updater_file = false;
  tools::JsonObjectWriter* json = nullptr;
  std::unique_ptr<tools::JsonObjectWriter> json_writer;
  if (a.json) {
    json_writer.reset(new tools::JsonObjectWriter(stdout));
    json = json_writer.get();
  }
  if (file.Read(2, magic) == 2 && magic[0] == 'M' && magic[1] == 'Z') {
    updater_file = true;
    std::uint32_t end = 0;
    if (!updater::FindImageEnd(file, &end)) {
      patchlib::PrintError(kTool, shown + ": starts like an executable but is not a valid PE file");
      return kExitFailure;
    }
    if (static_cast<std::int64_t>(end) >= file.GetSize()) {
      patchlib::PrintError(kTool, shown + ": an executable without a payload");
      return kExitFailure;
    }
    source.OpenView(file, static_cast<std::int32_t>(end), -1);
    payload_at = end;
    if (!json) std::printf("%s: updater, payload at offset %u\n", shown.c_str(), end);
  } else {
    source.OpenView(file, 0, -1);
  }
  if (json) {
    json->Member("file", tools::Utf8Name(path));
    json->Member("kind", updater_file ? "updater" : "payload");
    json->Member("payload_offset", payload_at);
    json->BeginList("commands");
  }

  patchlib::InflateReader reader(source);
  std::uint64_t count = 0, warnings = 0, content = 0;
  std::string error;
  const bool ok = patchlib::DecodeCommands(
      reader,
      [&](const patchlib::DecodedCommand& c) {
        ++count;
        const bool outside = c.opcode <= updater::kOpEmptyDirectoryTree &&
                             !patchlib::ResolvesInsideGame(c.name);
        char size[24] = "-";
        if (c.has_size) {
          std::snprintf(size, sizeof size, "%" PRId64, c.size);
          if (c.size > 0) content += static_cast<std::uint64_t>(c.size);
        }
        if (json) {
          nlohmann::ordered_json item = {{"opcode", c.opcode}, {"kind", Kind(c.opcode)},
                                         {"name", tools::Utf8Name(c.name)}};
          if (c.has_size) item["size"] = c.size;
          if (outside) item["outside"] = true;
          json->Add(item);
        } else {
          std::printf("%u %-6s %10s  %s%s\n", c.opcode, Kind(c.opcode), size,
                      patchlib::Show(c.name).c_str(),
                      outside ? "   <-- OUTSIDE the game directory" : "");
        }
        if (outside) {
          ++warnings;
          patchlib::PrintError(kTool, "warning: " + patchlib::Show(c.name) +
                                          " resolves outside the game directory");
        }
      },
      &error);
  // The manifest, found from the end (or before a certificate table).
  updater::Manifest manifest;
  std::uint32_t body_at = 0;
  updater::ManifestLookup lookup =
      updater_file ? updater::ReadUpdaterManifest(file, payload_at, &manifest, &body_at)
                   : updater::ReadManifestAt(file, 0, static_cast<std::uint32_t>(file.GetSize()),
                                             false, &manifest, &body_at);
  std::string manifest_problem;
  if (lookup == updater::ManifestLookup::kDamaged) {
    manifest_problem = "its version manifest is damaged (checksum, length or layout)";
  } else if (ok) {
    const std::uint64_t stream_end = payload_at + reader.consumed();
    if (lookup == updater::ManifestLookup::kFound &&
        (stream_end != body_at || reader.position() != manifest.inflated_size))
      manifest_problem = "its version manifest does not fit the zlib stream before it";
    else if (lookup == updater::ManifestLookup::kNone && stream_end <= 0x7FFFFFFFu &&
             updater::LooksLikeManifestBody(file, static_cast<std::uint32_t>(stream_end)))
      manifest_problem = "its version manifest is cut off (the end is missing)";
  }
  if (json) {
    json->EndList();
    json->Member("command_count", count);
    json->Member("content_bytes", content);
    json->Member("inflated_bytes", reader.position());
    json->Member("manifest", lookup == updater::ManifestLookup::kFound && manifest_problem.empty()
                                 ? ManifestJson(manifest)
                                 : nlohmann::ordered_json());
    if (!ok) json->Member("error", error);
    if (!manifest_problem.empty()) json->Member("manifest_error", manifest_problem);
    json->Finish();
  } else {
    std::printf("%" PRIu64 " commands, %" PRIu64 " bytes of content, %" PRIu64
                " bytes inflated\n",
                count, content, reader.position());
    if (lookup == updater::ManifestLookup::kFound && manifest_problem.empty())
      PrintManifest(manifest);
    else if (lookup == updater::ManifestLookup::kNone && manifest_problem.empty())
      std::printf("no version manifest (a payload built with --no-manifest or before)\n");
  }
  if (!ok) {
    patchlib::PrintError(kTool, shown + ": " + error);
    return kExitFailure;
  }
  if (!manifest_problem.empty()) {
    patchlib::PrintError(kTool, shown + ": " + manifest_problem);
    return kExitFailure;
  }
  if (warnings && !json)
    std::printf("%" PRIu64 " names resolve outside the game directory\n", warnings);
  return kExitSuccess;
}

}  // namespace

void AddListCommand(tools::CommandLine& cli) {
  auto a = std::make_shared<ListArguments>();
  cli.Add("list", "print every command of a payload or updater, and its manifest",
          kDescription, [a] { return List(*a); })
      .Path("UPDATER|PAYLOAD", &a->path, "an updater or a raw payload")
      .Flag("--json", &a->json, "print one JSON object (UTF-8)");
}

}  // namespace kpatch
