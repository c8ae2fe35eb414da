#include "help_formatter.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>
#include <vector>

namespace tools {
namespace {

constexpr std::size_t kLineWidth = 79;
constexpr std::size_t kMaxColumn = 26;  // longer names push text to a new line

bool IsFlag(const CLI::Option* opt) { return opt->get_items_expected_max() == 0; }
bool Repeats(const CLI::Option* opt) { return opt->get_items_expected_max() > 1; }

bool Hidden(const CLI::App* app, const CLI::Option* opt) {
  return opt == app->get_help_ptr() || opt == app->get_version_ptr() ||
         opt->get_group().empty();
}

// The value's name as the help shows it ("PAYLOAD").
std::string ValueName(const CLI::Option* opt) {
  const std::string type = opt->get_type_name();
  return type.empty() ? std::string("VALUE") : type;
}

// The option's first spelling for the synopsis: "-o" before "--output".
std::string FirstFlag(const CLI::Option* opt) {
  if (!opt->get_snames().empty()) return "-" + opt->get_snames().front();
  return "--" + opt->get_lnames().front();
}

// Every spelling for the option list: "-o, --output PAYLOAD".
std::string AllFlags(const CLI::Option* opt) {
  std::string out;
  for (const std::string& s : opt->get_snames()) out += (out.empty() ? "-" : ", -") + s;
  for (const std::string& l : opt->get_lnames()) out += (out.empty() ? "--" : ", --") + l;
  if (!IsFlag(opt)) out += " " + ValueName(opt);
  return out;
}

std::string PositionalName(const CLI::Option* opt) {
  const std::string type = opt->get_type_name();
  return type.empty() ? opt->get_name(true, false) : type;
}

std::string SynopsisItem(const CLI::Option* opt) {
  std::string item = opt->get_positional() && !opt->nonpositional()
                         ? PositionalName(opt)
                         : FirstFlag(opt) + (IsFlag(opt) ? "" : " " + ValueName(opt));
  if (opt->get_positional() && !opt->nonpositional() && Repeats(opt)) {
    item += "...";
    return opt->get_required() ? item : "[" + item + "]";
  }
  if (!opt->get_required()) item = "[" + item + "]";
  if (Repeats(opt)) item += "...";
  return item;
}

// Splits `text` into words and fills lines of at most `width` columns.
std::vector<std::string> Wrap(const std::string& text, std::size_t width) {
  std::vector<std::string> lines;
  std::istringstream words(text);
  std::string word, line;
  while (words >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

using RowList = std::vector<std::pair<std::string, std::string>>;

// The left column's width for every list of a page: as wide as the widest
// name, capped (a longer name puts its text on the next line).
std::size_t ColumnWidth(const std::vector<const RowList*>& lists) {
  std::size_t width = 0;
  for (const RowList* rows : lists)
    for (const auto& row : *rows)
      if (row.first.size() + 4 <= kMaxColumn) width = std::max(width, row.first.size() + 4);
  return width == 0 ? kMaxColumn : width;
}

std::string Rows(const char* heading, const RowList& rows, std::size_t width) {
  if (rows.empty()) return "";
  std::string out = std::string(heading) + ":\n";
  for (const auto& row : rows) out += HelpFormatter::Row(row.first, row.second, width);
  return out;
}

// Text as given, with lines longer than the page wrapped; a blank line
// before it. Empty text gives nothing.
std::string Paragraphs(const std::string& text) {
  if (text.empty()) return "";
  std::string out = "\n";
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() <= kLineWidth) {
      out += line + "\n";
      continue;
    }
    const std::size_t indent = line.find_first_not_of(' ');
    for (const std::string& part : Wrap(line, kLineWidth - indent))
      out += std::string(indent, ' ') + part + "\n";
  }
  return out;
}

}  // namespace

std::string HelpFormatter::Row(const std::string& left, const std::string& text,
                               std::size_t width) {
  std::string out = "  " + left;
  const std::vector<std::string> lines = Wrap(text, kLineWidth - width);
  std::size_t first = 0;
  if (out.size() + 1 < width) {
    out += std::string(width - out.size(), ' ') + lines[0] + "\n";
    first = 1;
  } else {
    out += "\n";
  }
  for (std::size_t i = first; i < lines.size(); ++i)
    out += std::string(width, ' ') + lines[i] + "\n";
  return out;
}

std::string HelpFormatter::Usage(const CLI::App* app, const std::string& name) {
  std::string out = "usage: " + name;
  for (const CLI::Option* opt : app->get_options())
    if (opt->get_positional() && !opt->nonpositional()) out += " " + SynopsisItem(opt);
  for (const CLI::Option* opt : app->get_options())
    if (opt->nonpositional() && !Hidden(app, opt)) out += " " + SynopsisItem(opt);
  return out;
}

void HelpFormatter::SetSummary(const CLI::App* subcommand,
                               const std::string& summary) {
  summaries_[subcommand] = summary;
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name,
                                     CLI::AppFormatMode) const {
  RowList subcommands, arguments, options;
  for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
    auto it = summaries_.find(sub);
    subcommands.emplace_back(sub->get_name(), it == summaries_.end() ? "" : it->second);
  }
  for (const CLI::Option* opt : app->get_options()) {
    if (opt->get_positional() && !opt->nonpositional())
      arguments.emplace_back(PositionalName(opt), opt->get_description());
    else if (!opt->get_group().empty())
      options.emplace_back(AllFlags(opt), opt->get_description());
  }
  std::string out;
  if (!subcommands.empty())
    out = "usage: " + name + " SUBCOMMAND [ARGS...]\n       " + name +
          " SUBCOMMAND --help\n";
  else
    out = Usage(app, name) + "\n";
  out += Paragraphs(app->get_description());
  const std::size_t width = ColumnWidth({&subcommands, &arguments, &options});
  const std::string lists = Rows("subcommands", subcommands, width) +
                            Rows("arguments", arguments, width) +
                            Rows("options", options, width);
  if (!lists.empty()) out += "\n" + lists;
  out += Paragraphs(app->get_footer());
  return out;
}

}  // namespace tools
