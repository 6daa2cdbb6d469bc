#pragma once

namespace quillery {

// The check boxes of the options dialog.
enum class OptionBox {
    ShowSize,
    SubFolders,
    Audit,
    InternalViewer,
    AllArchives,
    Index,
    Expressions,
    MatchCase,
    WholeWords
};

}  // namespace quillery
