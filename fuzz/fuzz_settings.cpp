// Stored setting values of any bytes: integer conversion and loading never fail,
// and a load followed by a save and a load gives the same settings.
#include <cstdlib>

#include "fuzz_support.h"
#include "core/settings/app_settings.h"
#include "core/settings/form_position.h"

using namespace tobrisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int32_t value = 0;
  ConvertRegInteger(bytes, value);
  testing::MemoryStore store;
  AppSettings settings;
  // Spread the input over the stored values, a piece each.
  const auto fields = SettingFields(settings);
  size_t at = 0;
  for (const auto& f : fields) {
    const size_t n = at < size ? std::min<size_t>(size - at, data[at] % 16) : 0;
    store.Write(f.section, f.name, bytes.substr(std::min(at, size), n));
    at += n + 1;
  }
  LoadSettings(settings, store);
  SaveSettings(settings, store);
  AppSettings again;
  LoadSettings(again, store);
  if (!(again == settings)) std::abort();
  RestoreFormPlacement(store, MainFormPosition());
  return 0;
}
