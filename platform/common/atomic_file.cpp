// Temporary file, flush, rename: the only way the project replaces a file.
#include "atomic_file.h"

#include <cstdio>

#ifdef _WIN32
#include "system_api.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
bool replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
std::string temporaryName(const std::string& path) { return path + ".tmp" + std::to_string(GetCurrentProcessId()); }
#else
bool replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
std::string temporaryName(const std::string& path) { return path + ".tmp" + std::to_string(getpid()); }
#endif
}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = temporaryName(path);
#ifdef _WIN32
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fflush(file) == 0) && ok;
  ok = (std::fclose(file) == 0) && ok;
#else
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  std::size_t written = 0;
  while (ok && written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) ok = false;
    else written += static_cast<std::size_t>(n);
  }
  ok = (::fsync(fd) == 0) && ok;
  ok = (::close(fd) == 0) && ok;
#endif
  if (ok) ok = replace(temporary, path);
  if (!ok) std::remove(temporary.c_str());
  return ok;
}
