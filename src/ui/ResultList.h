#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <filesystem>

namespace quillery {

enum class ColumnAlignment { Left, Right };

// One row of the result list.
struct ResultRow {
    QString fileName;               // as shown: the archive's name
    QString filePath;               // as shown: its folder, ending with the separator
    QString fileSize;               // empty when the size was not shown
    std::filesystem::path archive;  // the archive itself, for opening it
};

// The result list: rows of archive name, folder and size under columns that are known by
// their keys ("fileName", "filePath", "fileSize") and can be removed and added again.
// A click on a header flips the sort toggle and sorts by that column: names and folders as
// text (descending when the toggle is set), sizes as numbers (ascending when it is set).
// A row shows its archive's full path as its tip; a double-click or Enter opens the selected
// row, and a row's menu opens it, opens its folder or copies its path.
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
    // Brings the columns in line with the show-size option at the start of a run: without
    // it, the size column goes and the path column takes three quarters of the width; with
    // it, the path column takes half and the size column a fifth. Other combinations of
    // option and columns are left alone; the name column is never touched.
    void fitColumns(bool showSize);

    void addRow(const ResultRow& row);
    ResultRow row(int index) const;
    // The row under an item, for a double-click.
    ResultRow rowOf(const QTreeWidgetItem* item) const;

    // Rows appear in the order they are added while sorting is off; switching it on sorts
    // them by the current sort column and order.
    void setSorted(bool sorted);
    bool sortToggle() const { return sortToggle_; }

    // The archive's full path: as the file system names it, or as the row shows it.
    static QString FullPath(const ResultRow& row);

  signals:
    // The selected row is to be opened, as a double-click opens it.
    void openRequested(const ResultRow& row);
    // The folder that holds the row's archive is to be opened.
    void openFolderRequested(const ResultRow& row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void openSelected();
    void headerClicked(int column);
    void refreshTexts();

    QStringList keys_;
    bool sortToggle_ = false;
};

}  // namespace quillery
