#pragma once

#include <QStringList>
#include <QTreeWidget>

#include "scan/ScanView.h"

namespace quillery {

// The result list: rows of archive name, folder and size under columns that are known by
// their keys ("fileName", "filePath", "fileSize") and can be removed and added again.
// A click on a header flips the sort toggle and sorts by that column: names and folders as
// text (descending when the toggle is set), sizes as numbers (ascending when it is set).
class ResultList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ResultList(QWidget* parent = nullptr);

    // Creates the three columns, a quarter, a half and a fifth of the list's width wide.
    void setUpColumns();
    int columnCountByKey() const { return static_cast<int>(keys_.size()); }
    void removeColumnByKey(const QString& key);
    void addColumnByKey(const QString& key, const QString& title, int width,
                        ColumnAlignment alignment);
    QStringList columnKeys() const { return keys_; }

    void addRow(const ResultRow& row);
    ResultRow row(int index) const;
    // The row under an item, for a double-click.
    ResultRow rowOf(const QTreeWidgetItem* item) const;

    // Rows appear in the order they are added while sorting is off; switching it on sorts
    // them by the current sort column and order.
    void setSorted(bool sorted);
    bool sortToggle() const { return sortToggle_; }

  private:
    void headerClicked(int column);
    void refreshTexts();

    QStringList keys_;
    bool sortToggle_ = false;
};

}  // namespace quillery
