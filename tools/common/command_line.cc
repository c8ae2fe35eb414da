#include "command_line.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

#include "console_text.h"
#include "help_formatter.h"
#include "interrupt.h"
#include "platform/console.h"

#ifndef KESTREL_VERSION
#define KESTREL_VERSION "unknown"
#endif

namespace tools {

const char kCommonExitStatuses[] =
    "exit status: 0 success, 1 the work failed, 2 wrong command line.";

namespace {

// Converts the argument to cp932 in place, or says why it cannot.
CLI::Validator Cp932Path() {
  return CLI::Validator(
      [](std::string& value) {
        std::string cp932;
        if (!ArgumentToCp932(value.c_str(), &cp932))
          return "'" + value +
                 "' has characters that cp932 (the game's code page) cannot hold";
        value = cp932;
        return std::string();
      },
      "", "");
}

// Converts a text argument to UTF-8 in place.
CLI::Validator Utf8Text() {
  return CLI::Validator(
      [](std::string& value) {
        std::string utf8;
        if (!platform::ArgumentToUtf8(value.c_str(), &utf8))
          return "'" + value + "' is not valid text in the command line's encoding";
        value = utf8;
        return std::string();
      },
      "", "");
}

}  // namespace

Command& Command::TextOption(const char* flags, const char* value_name,
                             std::string* utf8, const char* help) {
  app_->add_option(flags, *utf8, help)->type_name(value_name)->transform(Utf8Text());
  return *this;
}

Command& Command::Path(const char* name, std::string* cp932, const char* help) {
  app_->add_option(name, *cp932, help)->required()->type_name(name)->transform(Cp932Path());
  return *this;
}

Command& Command::OptionalPath(const char* name, std::string* cp932,
                               const char* help) {
  app_->add_option(name, *cp932, help)->type_name(name)->transform(Cp932Path());
  return *this;
}

Command& Command::Paths(const char* name, std::vector<std::string>* cp932,
                        const char* help, bool required) {
  app_->add_option(name, *cp932, help)
      ->required(required)
      ->type_name(name)
      ->transform(Cp932Path());
  return *this;
}

Command& Command::PathOption(const char* flags, const char* value_name,
                             std::string* cp932, const char* help,
                             bool required, bool* given) {
  CLI::Option* option = app_->add_option(flags, *cp932, help)
                            ->required(required)
                            ->type_name(value_name)
                            ->transform(Cp932Path());
  if (given) option->each([given](const std::string&) { *given = true; });
  return *this;
}

Command& Command::PathOptions(const char* flags, const char* value_name,
                              std::vector<std::string>* cp932,
                              const char* help) {
  // One value per occurrence: "--clear a old new" must leave old and new
  // to the positionals.
  app_->add_option(flags, *cp932, help)
      ->allow_extra_args(false)
      ->type_name(value_name)
      ->transform(Cp932Path());
  return *this;
}

Command& Command::Flag(const char* flags, bool* on, const char* help) {
  app_->add_flag(flags, *on, help);
  return *this;
}

Command& Command::Choice(const char* flags, const char* value_name,
                         std::string* value,
                         const std::vector<std::string>& choices,
                         const char* help) {
  std::string listed;
  for (const std::string& choice : choices) listed += (listed.empty() ? "" : ", ") + choice;
  // The choices go into the help text, not into the synopsis.
  app_->add_option(flags, *value, std::string(help) + " (one of: " + listed + ")")
      ->type_name(value_name)
      ->check(CLI::IsMember(choices).description(""));
  return *this;
}

Command& Command::Footer(const std::string& text) {
  app_->footer(text);
  return *this;
}

struct CommandLine::State {
  std::string tool;
  CLI::App app;
  std::shared_ptr<HelpFormatter> formatter = std::make_shared<HelpFormatter>();
  std::vector<std::unique_ptr<Command>> commands;
  std::map<const CLI::App*, std::function<int()>> runs;

  State(const std::string& name, const std::string& summary)
      : tool(name), app(summary, name) {}

  CLI::App* Find(const std::string& name) {
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
      if (sub->get_name() == name) return sub;
    return nullptr;
  }

  int Usage(const std::string& where, std::string problem) {
    // CLI11 starts its sentences with a capital; ours do not.
    if (problem.size() > 1 && problem[0] >= 'A' && problem[0] <= 'Z' &&
        problem[1] >= 'a' && problem[1] <= 'z')
      problem[0] = static_cast<char>(problem[0] - 'A' + 'a');
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for usage.\n", where.c_str(),
                 problem.c_str(), where.c_str());
    return kExitUsage;
  }
};

CommandLine::CommandLine(const std::string& tool, const std::string& summary)
    : state_(new State(tool, summary)) {
  CLI::App& app = state_->app;
  app.formatter(state_->formatter);
  app.set_help_flag("-h,--help", "show this help and exit");
  app.set_version_flag("--version", tool + " " KESTREL_VERSION,
                       "show the version and exit");
}

CommandLine::~CommandLine() = default;

Command& CommandLine::Add(const std::string& name, const std::string& summary,
                          const std::string& description,
                          std::function<int()> run) {
  CLI::App* sub = state_->app.add_subcommand(name, description);
  sub->footer(kCommonExitStatuses);
  state_->formatter->SetSummary(sub, summary);
  state_->runs[sub] = std::move(run);
  state_->commands.push_back(std::make_unique<Command>(sub));
  return *state_->commands.back();
}

int CommandLine::Run(int argc, const char* const* argv) {
  State& s = *state_;
  if (argc < 2) {
    std::fputs(s.app.help().c_str(), stderr);
    return kExitUsage;
  }
  const std::string first = argv[1];
  if (first == "help") {  // "TOOL help" and "TOOL help SUB"
    if (argc == 2) {
      std::fputs(s.app.help().c_str(), stdout);
      return kExitSuccess;
    }
    CLI::App* sub = s.Find(argv[2]);
    if (!sub || argc > 3)
      return s.Usage(s.tool, std::string("no subcommand '") + argv[2] + "'");
    std::fputs(sub->help(s.tool).c_str(), stdout);
    return kExitSuccess;
  }
  if (!first.empty() && first[0] != '-' && !s.Find(first))
    return s.Usage(s.tool, "unknown subcommand '" + first + "'");
  try {
    s.app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(s.app.help().c_str(), stdout);  // the chosen subcommand's
    return kExitSuccess;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return kExitSuccess;
  } catch (const CLI::ParseError& e) {
    const std::vector<CLI::App*> chosen = s.app.get_subcommands();
    return s.Usage(chosen.empty() ? s.tool : s.tool + " " + chosen[0]->get_name(),
                   e.what());
  }
  const std::vector<CLI::App*> chosen = s.app.get_subcommands();
  if (chosen.empty()) return s.Usage(s.tool, "no subcommand given");
  InterruptListener listener;
  try {
    return s.runs[chosen[0]]();
  } catch (const StopRequested&) {
    // Everything the subcommand made on the way has been removed by now.
    std::fprintf(stderr, "%s %s: interrupted\n", s.tool.c_str(),
                 chosen[0]->get_name().c_str());
    return kExitFailure;
  }
}

}  // namespace tools
