// The shell's special folders, as this platform gives them.
//
// Application data: $XDG_DATA_HOME, else $HOME/.local/share.
// Desktop:          $XDG_DESKTOP_DIR, else $HOME/Desktop.
// Module path:      the running executable (/proc/self/exe).
// Data override:    $QUORVEL_DATA, the program's data folder itself, for a delivery
//                   agent that runs the program without HOME or the XDG variables.
// Each returns an empty string when it cannot be formed (a variable that is unset,
// empty or not an absolute path counts as unset). Paths use '/'.
#ifndef QUORVEL_PLATFORM_SPECIAL_FOLDERS_H_
#define QUORVEL_PLATFORM_SPECIAL_FOLDERS_H_

#include <string>

namespace quorvel::platform {

class SpecialFolders {
 public:
  virtual ~SpecialFolders() = default;
  virtual std::string AppData() const = 0;
  virtual std::string Desktop() const = 0;
  virtual std::string ModulePath() const = 0;
  virtual std::string DataOverride() const { return {}; }
};

// Reads the environment on every call.
class EnvironmentSpecialFolders final : public SpecialFolders {
 public:
  std::string AppData() const override;
  std::string Desktop() const override;
  std::string ModulePath() const override;
  std::string DataOverride() const override;
};

SpecialFolders& DefaultSpecialFolders();

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_SPECIAL_FOLDERS_H_
