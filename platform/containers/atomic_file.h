// Writing a whole file so that readers see either the old content or the new,
// never a mixture: the bytes go to a temporary file in the target's folder, are
// flushed to disk (fsync), and the temporary file is then renamed over the
// target. A crash or a full disk at any point leaves the target as it was.
//
//   writeFileAtomically(cacheFolder / "Templatechs1234.dat", bytes);
//
// A failure raises AutomationError with number 32755 (err::kFileError) and a
// description naming the path and the reason; the temporary file is removed and
// the old target stays untouched. An existing target keeps its permission bits.
// A temporary file that a killed process of ours left in the folder goes at a
// save there once nothing has written it for ten minutes.
//
// The program reads and writes regular files only. Something else standing at
// a path (a folder, a named pipe, a device, a socket) is refused and left as it
// is: renaming a file over a device node would destroy the node, and opening a
// pipe to read would wait for a writer that may never come. A symbolic link to
// a regular file is followed: the file it points to gets the new content.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wayfind::platform {

// The source of the errors raised for a file that cannot be written.
inline constexpr const char* kAtomicFileSource = "WayfindInfo.AtomicFile";

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Whether the new content reaches the disk before it replaces the old. A file
// the program can make again (a cache file, which its loader checks and
// refuses when damaged) need not wait for the disk: readers still see the old
// content or the new, and only a crash of the machine can leave it missing or
// damaged. Such a file is the program's own: a symbolic link put in its place
// is replaced by the new file, never followed (in a folder others may write,
// one would make the program write over any file of the user's).
enum class Flush { ToDisk, Later };

// The same for a file written piece by piece, so that a large file never has to
// lie whole in memory. Nothing replaces the target until commit(); a writer
// destroyed without commit() (an exception on the way) removes its temporary
// file and leaves the target as it was. Every call raises as writeFileAtomically.
//
//   AtomicFileWriter file(path);
//   file.write(header placeholder); file.write(piece) ...;
//   file.writeAt(0, header);        // over bytes already written
//   file.commit();
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::filesystem::path& path, Flush flush = Flush::ToDisk);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void write(std::string_view bytes);
  void writeAt(uint64_t offset, std::string_view bytes);
  void commit();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// The whole content of a regular file, or false when it cannot be read (missing,
// not a regular file, an I/O error, or larger than maxBytes). Never throws and
// never waits: a named pipe is refused without being opened for long.
bool readWholeFile(const std::filesystem::path& path, std::string& content,
                   size_t maxBytes = size_t(-1));

// What stands at path when it is not a regular file ("a folder", "a named
// pipe", "a device", "a socket"), following symbolic links; nothing for a
// regular file or when nothing is there.
std::optional<std::string> nonRegularKind(const std::filesystem::path& path);

// Opens path to read without waiting (a pipe with no writer, a device) and only
// when it is a regular file: the descriptor, or -1 with errno set (EINVAL when
// something other than a regular file is there). Without followLinks a
// symbolic link is refused too (ELOOP): a cache file is never read through one.
int openRegularFileForReading(const std::filesystem::path& path, bool followLinks = true);

}  // namespace wayfind::platform
