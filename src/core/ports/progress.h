// Port: the shared progress display of the main frame (a label and a bar 0..100).
#pragma once

#include <string_view>

namespace tobrisk {

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void Show() = 0;                           // make the bar visible
  virtual void Hide() = 0;                           // hide the bar
  virtual void SetLabel(std::string_view sjis) = 0;  // status text; empty clears it
  // Sets the bar's position and lets the window process pending events. Called
  // once per unit of work: implementations must keep it cheap (throttle repaints).
  virtual void Step(int position) = 0;
};

// A progress display that shows nothing (command-line tool, tests).
class NullProgress final : public Progress {
 public:
  void Show() override {}
  void Hide() override {}
  void SetLabel(std::string_view) override {}
  void Step(int) override {}
};

}  // namespace tobrisk
