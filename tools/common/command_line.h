// The front door every tool shares: "TOOL SUBCOMMAND [ARGS...]" parsed by
// CLI11, with one style of help, of errors and of exit statuses.
//
//   tools::CommandLine cli("kestrel-archive", "Reads and writes archives.");
//   auto o = std::make_shared<ListOptions>();
//   cli.Add("list", "list entries", kListDescription, [o] { return List(*o); })
//       .Path("ARCHIVE", &o->archive, "the archive to list")
//       .Flag("--json", &o->json, "print one JSON object");
//   return cli.Run(argc, argv);
//
// What the user sees:
//   TOOL, TOOL --help, TOOL help      the subcommands (stdout; status 0,
//                                     or 2 on stderr when none was given)
//   TOOL --version                    "TOOL VERSION" (status 0)
//   TOOL SUB --help, TOOL help SUB    "usage: TOOL SUB <synopsis>", the
//                                     description, arguments, options,
//                                     the footer (stdout, status 0)
//   a wrong command line              "TOOL SUB: <what is wrong>" and a
//                                     hint to --help on stderr, status 2
// The synopsis is made from the declarations: positionals in order, then
// options; optional ones in brackets, repeatable ones with "...".
//
// While the subcommand runs, Ctrl-C and SIGTERM ask it to stop (see
// interrupt.h): "TOOL SUB: interrupted", status 1.
//
// Paths are converted to cp932 while parsing (the seam's rules for the
// command line); a path with a character cp932 cannot hold is a wrong
// command line naming the argument.
#ifndef TOOLS_COMMON_COMMAND_LINE_H_
#define TOOLS_COMMON_COMMAND_LINE_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exit_status.h"

namespace CLI {
class App;
}

namespace tools {

// One subcommand's arguments and options, declared before parsing; the
// values are written while parsing, before the subcommand runs. Each
// declaration returns *this. `flags` are CLI11 names: "-o,--output".
class Command {
 public:
  explicit Command(CLI::App* app) : app_(app) {}

  // A required positional path.
  Command& Path(const char* name, std::string* cp932, const char* help);
  // An optional positional path (left unchanged when not given).
  Command& OptionalPath(const char* name, std::string* cp932,
                        const char* help);
  // The remaining positional paths; at least one when `required`.
  Command& Paths(const char* name, std::vector<std::string>* cp932,
                 const char* help, bool required);
  // An option with a path value ("-o PAYLOAD"). `given`, when not null,
  // is set to true when the option appears (even with an empty value).
  Command& PathOption(const char* flags, const char* value_name,
                      std::string* cp932, const char* help,
                      bool required = false, bool* given = nullptr);
  // A repeatable option with a path value ("[--clear DIR]...").
  Command& PathOptions(const char* flags, const char* value_name,
                       std::vector<std::string>* cp932, const char* help);
  // An option with a text value, converted to UTF-8 ("--caption TEXT").
  Command& TextOption(const char* flags, const char* value_name,
                      std::string* utf8, const char* help);
  // A flag without a value.
  Command& Flag(const char* flags, bool* on, const char* help);
  // An option whose value must be one of `choices` (exact spelling).
  Command& Choice(const char* flags, const char* value_name,
                  std::string* value, const std::vector<std::string>& choices,
                  const char* help);
  // Text printed at the end of the help (after the options).
  Command& Footer(const std::string& text);

  // The CLI11 subcommand, for what the declarations above do not cover.
  CLI::App* app() const { return app_; }

 private:
  CLI::App* app_;
};

class CommandLine {
 public:
  // `summary`: one line under the tool's usage.
  CommandLine(const std::string& tool, const std::string& summary);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Declares a subcommand: `summary` is its line in the tool's list,
  // `description` the paragraphs of its help (lines already wrapped),
  // `run` is called after a successful parse and returns the exit status.
  // The help's footer defaults to the common exit statuses.
  Command& Add(const std::string& name, const std::string& summary,
               const std::string& description, std::function<int()> run);

  // Parses, then runs the chosen subcommand. Returns the exit status.
  int Run(int argc, const char* const* argv);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The default footer of a subcommand's help: statuses 0, 1 and 2.
extern const char kCommonExitStatuses[];

}  // namespace tools

#endif  // TOOLS_COMMON_COMMAND_LINE_H_
