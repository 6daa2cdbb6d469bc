#include "cli/FormBoxes.h"

namespace quillery {

RunRequest RequestOf(const FormBoxes& form) {
    RunRequest request;
    request.folder = form.folderText();
    request.searchText = form.searchText();
    request.patternText = form.patternText();
    request.audit = form.optionChecked(OptionBox::Audit);
    request.subFolders = form.optionChecked(OptionBox::SubFolders);
    request.allArchives = form.optionChecked(OptionBox::AllArchives);
    request.useIndex = form.optionChecked(OptionBox::Index);
    return request;
}

}  // namespace quillery
