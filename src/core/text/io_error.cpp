#include "core/text/io_error.h"

#include <cerrno>
#include <cstring>

namespace tobrisk {

IoError::IoError(std::string operation, std::string path, std::string system_message)
    : std::runtime_error("Cannot " + operation + " \"" + path + "\": " + system_message),
      operation_(std::move(operation)),
      path_(std::move(path)),
      system_message_(std::move(system_message)) {}

IoError IoError::FromErrno(const std::string& operation, const std::string& path) {
  const int err = errno;
  return IoError(operation, path, err != 0 ? std::strerror(err) : "unknown error");
}

}  // namespace tobrisk
