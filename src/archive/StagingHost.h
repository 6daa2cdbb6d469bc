#pragma once

#include <QString>

namespace quillery {

// What staging needs of the main window: the pattern box and the status line.
class StagingHost {
  public:
    virtual ~StagingHost() = default;
    virtual QString patternText() const = 0;
    virtual void setPatternText(const QString& text) = 0;
    virtual void setStatus(const QString& text) = 0;
};

}  // namespace quillery
