#include "cli/cli_support.h"

#include "cli/command.h"

#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {

std::string ForTerminal(std::string_view sjis) {
  std::string text = SjisToUtf8(sjis);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
      out.push_back('\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

void TerminalPrompter::Error(std::string_view text) {
  ++errors;
  std::cerr << ForTerminal(text) << '\n';
}

void TerminalPrompter::Info(std::string_view text) { std::cerr << ForTerminal(text) << '\n'; }

Answer TerminalPrompter::Confirm(std::string_view text, Answer /*default_answer*/) {
  std::cerr << ForTerminal(text) << '\n';
  return Answer::Cancel;
}

CliSession::CliSession() {
  ports.prompter = &prompter;
  ports.progress = &progress;
  ports.clock = &clock;
  ports.store = &store;
}

bool ParsedArgs::Has(std::string_view flag) const {
  for (const auto& f : flags) {
    if (f == flag) return true;
  }
  return false;
}

const std::string* ParsedArgs::Value(std::string_view name) const {
  for (const auto& [n, v] : values) {
    if (n == name) return &v;
  }
  return nullptr;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known_flags,
                     const std::vector<std::string>& known_values) {
  ParsedArgs parsed;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a.size() > 2 && a.rfind("--", 0) == 0) {
      bool matched = false;
      for (const auto& f : known_flags) {
        if (a == f) {
          parsed.flags.push_back(a);
          matched = true;
        }
      }
      for (const auto& v : known_values) {
        if (a == v) {
          if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
          parsed.values.emplace_back(a, args[++i]);
          matched = true;
        }
      }
      if (!matched) throw UsageError{"unknown option " + a};
    } else {
      parsed.positional.push_back(a);
    }
  }
  return parsed;
}

}  // namespace tobrisk::cli
