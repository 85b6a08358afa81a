// Port: modal message boxes and the system beep. Texts are Shift-JIS; in them
// "\n\r" (LF CR) separates lines. Error, Info and Confirm beep before the box.
#pragma once

#include <string_view>

namespace tobrisk {

enum class Answer { Yes, No, Cancel };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void Error(std::string_view text) = 0;  // "ｴﾗｰ" box, one OK button
  virtual void Info(std::string_view text) = 0;   // "情報" box, one OK button
  // "確認" box: はい / いいえ / ｷｬﾝｾﾙ, with `default_answer` on the default
  // button (what Enter gives).
  virtual Answer Confirm(std::string_view text, Answer default_answer = Answer::Yes) = 0;
  virtual void Beep() = 0;  // the system's question sound alone
};

}  // namespace tobrisk
