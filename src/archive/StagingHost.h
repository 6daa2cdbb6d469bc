#pragma once

#include <QString>
#include <filesystem>
#include <string>

namespace quillery {

// "Checking ... " and the archive's path as shown: the status while an archive is staged.
QString CheckingStatus(const std::filesystem::path& archive);

// What staging needs of the main window: the pattern box and the status line.
class StagingHost {
  public:
    virtual ~StagingHost() = default;
    virtual QString patternText() const = 0;
    virtual void setPatternText(const QString& text) = 0;
    virtual void setStatus(const QString& text) = 0;
    // Sets the status to CheckingStatus(archive); a host that shows the status only now and
    // then may make the text only when it shows it.
    virtual void setCheckingStatus(const std::string& archive) {
        setStatus(CheckingStatus(archive));
    }
};

}  // namespace quillery
