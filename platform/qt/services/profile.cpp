// TProfile on Linux: the file search, the file read once at opening, writes kept in memory and
// committed in one atomic replacement of the file.
#include "profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "atomic_file.h"
#include "ini_document.h"
#include "linux_services.h"
#include "saver_file_location.h"

namespace {

// Far beyond any settings or parameter file; a larger file is refused rather than read into memory.
constexpr off_t kLargestProfile = 16 * 1024 * 1024;

enum class ReadResult { Read, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  // Non-blocking, so that a FIFO placed under the name cannot hang the saver.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat status{};
  int refused = 0;  // why the file is not read, for the caller's message
  if (::fstat(fd, &status) != 0) refused = errno;
  else if (S_ISDIR(status.st_mode)) refused = EISDIR;
  else if (!S_ISREG(status.st_mode)) refused = EINVAL;
  else if (status.st_size > kLargestProfile) refused = EFBIG;
  if (refused != 0) {
    ::close(fd);
    errno = refused;
    return ReadResult::Failed;
  }
  bytes.reserve(static_cast<std::size_t>(status.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadResult::Failed;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
    if (bytes.size() > static_cast<std::size_t>(kLargestProfile)) {
      ::close(fd);
      errno = EFBIG;
      return ReadResult::Failed;
    }
  }
  ::close(fd);
  return ReadResult::Read;
}

// Replacing a symbolic link by a plain file would cut the user's link; write through to its target.
std::string WriteTarget(const std::string& path) {
  struct stat status{};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

}  // namespace

struct TProfile::TState {
  std::string Section;
  std::string FileName;  // resolved once; empty when no usable name was given
  std::string Fallback;  // the user's own copy, for a write that FileName cannot take
  bool InMemory = false;  // no file behind it: writes edit Document alone
  IniDocument Document;             // the file as read, with this object's writes applied
  // The writes in order (no value: remove the key), replayed on the file as it is at commit time so
  // that changes another profile object made meanwhile are kept.
  std::vector<std::pair<std::string, std::optional<std::string>>> Pending;
};

TProfile::TProfile(const char* section, const char* fileName) : State(std::make_unique<TState>()) {
  State->Section = section ? section : "";
  const std::string name = fileName ? fileName : "";
  if (name.empty()) return;
  TSaverFileLocation location = LocateSaverFile(name);
  State->FileName = std::move(location.Path);
  State->Fallback = std::move(location.Fallback);
  // A file that cannot be read behaves as empty; Flush will refuse to overwrite it.
  std::string bytes;
  if (ReadWholeFile(State->FileName, bytes) == ReadResult::Read) State->Document = IniDocument::Parse(bytes);
}

TProfile::TProfile(const char* section, TInMemory source) : State(std::make_unique<TState>()) {
  State->Section = section ? section : "";
  State->InMemory = true;
  State->Document = IniDocument::Parse(source.Text);
}

std::string TProfile::Text() const { return State->Document.Serialize(); }

TProfile::~TProfile() {
  try {
    Flush();
  } catch (...) {
    // Out of memory while committing: the old file is still whole, and a destructor must not throw.
  }
}

bool TProfile::GetString(const char* key, char* buffer, unsigned size, const char* defaultValue) {
  std::optional<std::string_view> value;
  if (key) value = State->Document.View(State->Section, key);
  if (buffer && size > 0) {
    const char* text = value ? value->data() : (defaultValue ? defaultValue : "");
    const std::size_t length = value ? value->size() : std::strlen(text);
    const std::size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, text, copied);
    buffer[copied] = '\0';
  }
  return value.has_value();
}

bool TProfile::WriteString(const char* key, const char* value) {
  if ((State->FileName.empty() && !State->InMemory) || !key) return false;
  if (value) {
    if (!State->Document.Set(State->Section, key, value)) return false;
    if (!State->InMemory) State->Pending.emplace_back(key, std::string(value));
  } else {
    // A missing value removes the key, as the platform's writer does.
    State->Document.Remove(State->Section, key);
    if (!State->InMemory) State->Pending.emplace_back(key, std::nullopt);
  }
  return true;
}

namespace {
// The file at `source` as it is now, with the writes replayed on it, replaces the one at `path`
// (which may be another file). False, with nothing changed, when either step fails.
bool Commit(const std::string& source, const std::string& path, const TProfile::TState& state, IniDocument& result,
            int& error) {
  if (InSaverFolder(path)) MakeSaverFolder();
  std::string bytes;
  const ReadResult read = ReadWholeFile(source, bytes);
  if (read == ReadResult::Failed) {  // never replace a file whose contents were not read
    error = errno;
    return false;
  }
  IniDocument current = read == ReadResult::Read ? IniDocument::Parse(bytes) : IniDocument();
  for (const auto& [key, value] : state.Pending) {
    if (value) current.Set(state.Section, key, *value);
    else current.Remove(state.Section, key);
  }
  struct stat old{};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  if (!WriteFileAtomically(path, current.Serialize())) {
    error = errno;
    return false;
  }
  // The new file would otherwise get default permissions; keep those the user gave the old one.
  if (existed) ::chmod(path.c_str(), old.st_mode & 07777);
  result = std::move(current);
  return true;
}
}  // namespace

bool TProfile::Flush() {
  if (State->Pending.empty()) return true;
  const std::string target = WriteTarget(State->FileName);
  int error = 0;
  bool ok = Commit(target, target, *State, State->Document, error);
  if (!ok && !State->Fallback.empty()) {
    // The file found cannot take the write: the user's own copy does, and is the one read from now on.
    ok = Commit(target, State->Fallback, *State, State->Document, error);
    if (ok) {
      State->FileName = State->Fallback;
      State->Fallback.clear();
    }
  }
  if (!ok) std::fprintf(stderr, "tesmar: cannot write the profile %s: %s\n", target.c_str(), std::strerror(error));
  // Said once either way: the object's destructor does not try the same write again.
  State->Pending.clear();
  return ok;
}

const std::string& TProfile::GetFileName() const { return State->FileName; }
