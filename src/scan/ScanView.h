#pragma once

#include <QString>
#include <filesystem>

#include "archive/StagingHost.h"

namespace quillery {

// The check boxes of the options dialog that the engine reads and writes.
enum class OptionBox { ShowSize, SubFolders, Audit, InternalViewer, AllArchives, Index };

enum class ColumnAlignment { Left, Right };

// One row of the result list.
struct ResultRow {
    QString fileName;               // as shown: the archive's name
    QString filePath;               // as shown: its folder, ending with the separator
    QString fileSize;               // empty when the size was not shown
    std::filesystem::path archive;  // the archive itself, for opening it
};

// What the engine needs of the main window. The window implements it with its widgets;
// tests implement it with plain values.
class ScanView : public StagingHost {
  public:
    virtual QString searchText() const = 0;
    virtual void setSearchText(const QString& text) = 0;
    virtual QString folderText() const = 0;
    virtual void setFolderText(const QString& text) = 0;
    virtual void setInputsEnabled(bool searchBox, bool folderBox, bool patternBox) = 0;
    virtual void setStartCaption(const QString& caption) = 0;
    virtual void setCheckedCount(const QString& text) = 0;
    virtual void setFoundCount(const QString& text) = 0;

    virtual void clearResults() = 0;
    virtual void setResultsSorted(bool sorted) = 0;
    virtual int resultColumnCount() const = 0;
    virtual int resultListWidth() const = 0;
    virtual void removeResultColumn(const QString& key) = 0;
    virtual void addResultColumn(const QString& key, const QString& title, int width,
                                 ColumnAlignment alignment) = 0;
    virtual void addResultRow(const ResultRow& row) = 0;
    virtual int resultRowCount() const = 0;
    virtual ResultRow resultRow(int index) const = 0;

    virtual bool optionChecked(OptionBox box) const = 0;
    virtual void setOptionChecked(OptionBox box, bool checked) = 0;

    // Shows frame 0 to 3 of the progress animation; 0 is also the resting frame.
    virtual void showBusyFrame(int frame) = 0;
    // Lets pending window events run (the stop click, the close, ...).
    virtual void yieldToEvents() = 0;
    // While the walk runs, the window may hold back status, counter and animation changes
    // and show them at most as often as the eye can follow; ending the deferral shows the
    // last value of each at once.
    virtual void setDisplayDeferred(bool deferred) { (void)deferred; }
    // A run's walk has ended: a window that puts the texts, counters and frames it is given
    // on screen only now and then shows the latest ones now.
    virtual void flushDisplay() {}
};

}  // namespace quillery
