// Brenvik: reading the console tool's options.
#include "cli/options.h"

#include "cli/console_messages.h"
#include "cli/paths.h"

#include <utility>

namespace {

bool bad_options(Status& status) {
  status.message(message_usage);
  return false;
}

}  // namespace

bool parse_options(const std::vector<std::string>& args, Status& status,
                   Options* options) {
  size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (arg == "-h" || arg == "--help") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--check") {
      options->check = true;
    } else if (arg == "--verify") {
      options->verify = true;
    } else if (arg == "--no-verify") {
      options->no_verify = true;
    } else {
      std::string* file = nullptr;
      std::string name = arg.substr(0, arg.find('='));
      if (name == "--arm7") file = &options->arm7;
      if (name == "--donor") file = &options->donor;
      if (name == "--donors") file = &options->donors;
      if (!file) {
        status.message(formatted(message_unknown_option, arg.c_str()));
        return bad_options(status);
      }
      if (name.size() < arg.size()) {
        *file = arg.substr(name.size() + 1);
      } else if (i + 1 < args.size()) {
        *file = args[++i];
      }
      strip_quotes(*file);
      if (file->empty()) {
        status.message(formatted(message_option_needs_file, name.c_str()));
        return bad_options(status);
      }
    }
  }
  // One source of the replacement at most.
  const std::pair<const std::string*, const char*> sources[] = {
      {&options->arm7, "--arm7"},
      {&options->donor, "--donor"},
      {&options->donors, "--donors"}};
  const char* given = nullptr;
  for (const auto& [value, name] : sources) {
    if (value->empty()) continue;
    if (given) {
      status.message(formatted(message_options_conflict, given, name));
      return bad_options(status);
    }
    given = name;
  }
  // --verify compares what a run wrote; it neither plans nor skips that.
  const std::pair<bool, const char*> excluded[] = {
      {options->check, "--check"}, {options->no_verify, "--no-verify"}};
  for (const auto& [given_too, name] : excluded) {
    if (!options->verify || !given_too) continue;
    status.message(formatted(message_options_conflict, "--verify", name));
    return bad_options(status);
  }
  options->games.assign(args.begin() + i, args.end());
  return true;
}

RunContext run_context_of(const Options& options) {
  RunContext run;
  run.mode = options.verify  ? RunMode::verify
             : options.check ? RunMode::check
                             : RunMode::fix;
  run.read_back = !options.no_verify;
  return run;
}
