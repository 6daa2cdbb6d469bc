#pragma once

#include <QString>

#include "scan/RunRequest.h"
#include "settings/OptionBox.h"

namespace quillery {

// The main window's boxes and options as the command line fills them in and the end of a
// session stores them: the window's own, or plain values where there is no window. Setting
// the search or folder text passes the change on to the program's state, as the window's
// boxes do.
class FormBoxes {
  public:
    virtual ~FormBoxes() = default;
    virtual QString searchText() const = 0;
    virtual void setSearchText(const QString& text) = 0;
    virtual QString folderText() const = 0;
    virtual void setFolderText(const QString& text) = 0;
    virtual QString patternText() const = 0;
    virtual void setPatternText(const QString& text) = 0;
    virtual bool optionChecked(OptionBox box) const = 0;
    virtual void setOptionChecked(OptionBox box, bool checked) = 0;
    virtual QString statusText() const = 0;
    virtual void setStatus(const QString& text) = 0;
};

// The request of a run started with the boxes as they are.
RunRequest RequestOf(const FormBoxes& form);

}  // namespace quillery
