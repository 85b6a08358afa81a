// tobrisk-cli settings / settings set NAME VALUE
#include <iostream>

#include "cli/cli_support.h"
#include "cli/command.h"
#include "core/settings/app_settings.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {
namespace {

int RunSettings(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--sjis"});
  const bool sjis = parsed.Has("--sjis");
  QtSettingsStore store;
  AppSettings settings;
  LoadSettings(settings, store);
  auto fields = SettingFields(settings);

  if (parsed.positional.empty()) {
    for (const SettingField& f : fields) {
      std::string value = f.kind == SettingKind::Integer ? DecimalText(*f.integer) : *f.text;
      if (!sjis && f.kind == SettingKind::Text) value = SjisToUtf8(value);
      std::cout << f.section << '\t' << f.name << '\t' << value << '\n';
    }
    return kExitOk;
  }
  if (parsed.positional[0] != "set" || parsed.positional.size() != 3) {
    throw UsageError{"expected no arguments or: set NAME VALUE"};
  }
  const std::string& name = parsed.positional[1];
  const std::string& value = parsed.positional[2];
  for (const SettingField& f : fields) {
    if (f.name != name) continue;
    if (f.kind == SettingKind::Integer) {
      int32_t number;
      if (!ParseDecimal(value, number)) {
        std::cerr << "tobrisk-cli settings: " << name << " takes a decimal integer, not '" << value << "'\n";
        return kExitRefused;
      }
      *f.integer = number;
    } else {
      *f.text = (sjis || f.kind == SettingKind::Path) ? value : Utf8ToSjis(value);
    }
    SaveSettings(settings, store);
    return kExitOk;
  }
  throw UsageError{"unknown setting '" + name + "'"};
}

const Registration registration({"settings", "settings [--sjis] | settings [--sjis] set NAME VALUE",
                                 "list every setting (section, name, value) / set one and save all", RunSettings});

}  // namespace
}  // namespace tobrisk::cli
