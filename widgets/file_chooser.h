// The file chooser of the windows (open and save), in the terms the windows use:
// a filter "description|pattern|description|pattern" such as "模板 (*.dat)|*.dat",
// a default extension added to a name typed without one, a title, and a folder to
// start in (the user's home folder when none is given). Cancelling raises error
// 32755, so a caller tells "no file" apart from a failure.
//
// Tests switch the chooser to scripts: each showing takes the next answer (a path,
// or cancel) and records the request it answered.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

namespace wayfind::widgets {

inline constexpr int32_t kErrCancel = 32755;

struct FileRequest {
  std::string title;
  std::string filter;        // "模板 (*.dat)|*.dat"
  std::string defaultExt;    // "dat" (without the dot)
  std::string initialDir;    // empty: the user's home folder
  std::string fileName;      // proposed name
  bool save = false;         // a save chooser (asks before replacing a file)
  bool mustExist = true;     // an open chooser only accepts existing files
};

// Shows the chooser; answers the chosen path (the default extension added when the
// name has none). Raises 32755 when the user cancels.
std::string ChooseFile(const FileRequest& request, QWidget* parent = nullptr);

// The Qt filter text of a "description|pattern|..." filter.
std::string qtFilterOf(const std::string& filter);
// path with ".<defaultExt>" appended when its file name has no extension.
std::string withDefaultExtension(const std::string& path, const std::string& defaultExt);

class FileChooserScript {
 public:
  static FileChooserScript& instance();
  bool active = false;
  std::vector<std::optional<std::string>> answers;  // nullopt: cancel
  std::vector<FileRequest> requests;                // what was asked, in order
  void reset() {
    active = false;
    answers.clear();
    requests.clear();
  }
};

// Scripted answers for a scope; afterwards the chooser is scripted or real as it
// was before (the window tests keep it scripted: a chooser without an answer
// cancels, it never waits for a person).
class ScopedFileChoices {
 public:
  explicit ScopedFileChoices(std::vector<std::optional<std::string>> answers);
  ~ScopedFileChoices();
  ScopedFileChoices(const ScopedFileChoices&) = delete;
  ScopedFileChoices& operator=(const ScopedFileChoices&) = delete;
  const std::vector<FileRequest>& requests() const { return FileChooserScript::instance().requests; }

 private:
  bool wasActive_;
};

}  // namespace wayfind::widgets
