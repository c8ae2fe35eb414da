// The tools' help pages, laid out the same way for every subcommand:
//
//   usage: kestrel-archive list ARCHIVE [--json]
//
//   <description paragraphs>
//
//   arguments:
//     ARCHIVE       the archive to list
//   options:
//     --json        print one JSON object for scripts
//     -h, --help    show this help and exit
//
//   <footer>
//
// The synopsis comes from the declarations: positionals first, then the
// options in the order declared; optional items in brackets, repeatable
// ones followed by "...". An app with subcommands gets the tool's page
// (usage, summary, the list of subcommands, options) instead.
#ifndef TOOLS_COMMON_HELP_FORMATTER_H_
#define TOOLS_COMMON_HELP_FORMATTER_H_

#include <CLI/App.hpp>
#include <CLI/Formatter.hpp>

#include <map>
#include <string>

namespace tools {

class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override;

  // The one-line summary shown for `subcommand` in its tool's list.
  void SetSummary(const CLI::App* subcommand, const std::string& summary);

  // "usage: NAME <synopsis>" for one subcommand, without a newline.
  static std::string Usage(const CLI::App* app, const std::string& name);

  // "left" in a column of `width`, then `text` wrapped to the line width
  // below the same column; ends with a newline.
  static std::string Row(const std::string& left, const std::string& text,
                         std::size_t width);

 private:
  std::map<const CLI::App*, std::string> summaries_;
};

}  // namespace tools

#endif  // TOOLS_COMMON_HELP_FORMATTER_H_
