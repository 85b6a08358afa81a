// The one error type of every failed file operation. The outer layer shows it as
// the program's general error report; core never swallows it.
#pragma once

#include <stdexcept>
#include <string>

namespace tobrisk {

class IoError : public std::runtime_error {
 public:
  // `operation` is a short English verb phrase ("open", "write", "rename"),
  // `path` the native path, `system_message` the system's text for errno.
  IoError(std::string operation, std::string path, std::string system_message);

  // Builds the error from the current errno.
  static IoError FromErrno(const std::string& operation, const std::string& path);

  const std::string& Operation() const { return operation_; }
  const std::string& Path() const { return path_; }
  const std::string& SystemMessage() const { return system_message_; }

 private:
  std::string operation_;
  std::string path_;
  std::string system_message_;
};

}  // namespace tobrisk
