// The ports one command needs, handed to core operations together.
#pragma once

#include "ports/clock.h"
#include "ports/editor_runner.h"
#include "ports/progress.h"
#include "ports/prompter.h"
#include "ports/settings_store.h"

namespace tobrisk {

struct Ports {
  Prompter* prompter = nullptr;
  Progress* progress = nullptr;
  Clock* clock = nullptr;
  SettingsStore* store = nullptr;
  EditorRunner* editor = nullptr;
};

}  // namespace tobrisk
