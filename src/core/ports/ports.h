// The ports one command needs, handed to core operations together.
#pragma once

#include "core/ports/clock.h"
#include "core/ports/editor_runner.h"
#include "core/ports/progress.h"
#include "core/ports/prompter.h"
#include "core/ports/settings_store.h"

namespace tobrisk {

struct Ports {
  Prompter* prompter = nullptr;
  Progress* progress = nullptr;
  Clock* clock = nullptr;
  SettingsStore* store = nullptr;
  EditorRunner* editor = nullptr;
};

}  // namespace tobrisk
