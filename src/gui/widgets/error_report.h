// The program's general error report: a failed file operation or conversion
// stops the command and is shown with the system's message text; running out of
// memory is shown as such.
#pragma once

#include <exception>

namespace tobrisk {
class Prompter;
}

namespace tobrisk::gui {

void ReportError(Prompter& prompter, const std::exception& error);

}  // namespace tobrisk::gui
