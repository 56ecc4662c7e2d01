#pragma once

#include <optional>
#include <string>

namespace tsumugiya {

// One path split once into the pieces the program asks for: the folder that
// holds the file, the file name, its base name and its extension. A piece the
// path does not have is absent.
class CFilePath {
  public:
    CFilePath() = default;
    explicit CFilePath(std::string path) { Set(std::move(path)); }

    void Set(std::string path);
    // Splits the running executable's path; false when it cannot be found.
    bool SetFromModule();
    void Clear();

    const std::optional<std::string>& GetFull() const { return full_; }
    const std::optional<std::string>& GetDirectory() const { return directory_; }
    const std::optional<std::string>& GetFileName() const { return fileName_; }
    const std::optional<std::string>& GetBaseName() const { return baseName_; }
    const std::optional<std::string>& GetExtension() const { return extension_; }

    // True when any directory entry of this name exists, readable or not.
    bool Exists() const;

  private:
    void Split();

    std::optional<std::string> full_;
    std::optional<std::string> directory_;
    std::optional<std::string> fileName_;
    std::optional<std::string> baseName_;
    std::optional<std::string> extension_;
};

}  // namespace tsumugiya
