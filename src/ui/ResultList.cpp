#include "ui/ResultList.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>

#include "scan/Formats.h"
#include "text/ShownPath.h"

namespace quillery {

namespace {

enum Role { kNameRole = Qt::UserRole + 1, kPathRole, kSizeRole, kArchiveRole };

const QString kFileName = QStringLiteral("fileName");
const QString kFilePath = QStringLiteral("filePath");
const QString kFileSize = QStringLiteral("fileSize");

int RoleOfKey(const QString& key) {
    return key == kFileName ? kNameRole : key == kFilePath ? kPathRole : kSizeRole;
}

// A tip that shows text as it is, also a name that looks like markup ("<b>.zip").
QString PlainTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

// Compares names and folders as text without regard to case, sizes as numbers.
class ResultItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;

    QVariant data(int column, int role) const override {
        if (role == Qt::ToolTipRole) {
            const auto* list = static_cast<const ResultList*>(treeWidget());
            return list != nullptr ? PlainTip(ResultList::FullPath(list->rowOf(this))) : QString();
        }
        return QTreeWidgetItem::data(column, role);
    }

    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* list = static_cast<const ResultList*>(treeWidget());
        const int column = list != nullptr ? list->sortColumn() : 0;
        const QString key = list != nullptr && column < list->columnCountByKey()
                                ? list->columnKeys()[column]
                                : kFileName;
        const int role = RoleOfKey(key);
        if (role == kSizeRole) {
            return ParseSizeKB(data(0, kSizeRole).toString()) <
                   ParseSizeKB(other.data(0, kSizeRole).toString());
        }
        return data(0, role).toString().compare(other.data(0, role).toString(),
                                                Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

ResultList::ResultList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    connect(header(), &QHeaderView::sectionClicked, this, &ResultList::headerClicked);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &ResultList::openSelected);
}

QString ResultList::FullPath(const ResultRow& row) {
    return row.archive.empty() ? row.filePath + row.fileName : PathText(row.archive);
}

void ResultList::openSelected() {
    // The selected row is opened; with nothing selected, nothing is.
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (topLevelItemCount() > 0 && !selected.isEmpty()) {
        emit openRequested(rowOf(selected.first()));
    }
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openSelected();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void ResultList::contextMenuEvent(QContextMenuEvent* event) {
    // From the mouse, the row under the pointer (in the viewport's coordinates); from the
    // keyboard, the current row.
    const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
    QTreeWidgetItem* item = byMouse ? itemAt(event->pos()) : currentItem();
    if (item == nullptr) {
        return;
    }
    setCurrentItem(item);
    const ResultRow row = rowOf(item);
    const QPoint at =
        byMouse ? event->globalPos() : viewport()->mapToGlobal(visualItemRect(item).center());
    QMenu menu(this);
    const QAction* open = menu.addAction(QStringLiteral("&Open"));
    const QAction* folder = menu.addAction(QStringLiteral("Open Containing &Folder"));
    const QAction* copy = menu.addAction(QStringLiteral("&Copy Path"));
    const QAction* chosen = menu.exec(at);
    if (chosen == open) {
        openSelected();
    } else if (chosen == folder) {
        emit openFolderRequested(row);
    } else if (chosen == copy) {
        QGuiApplication::clipboard()->setText(FullPath(row));
    }
    event->accept();
}

void ResultList::setUpColumns() {
    const int w = width();
    keys_.clear();
    setColumnCount(0);
    addColumnByKey(kFileName, QStringLiteral("File Name"), w / 4, ColumnAlignment::Left);
    addColumnByKey(kFilePath, QStringLiteral("File Path"), w / 2, ColumnAlignment::Left);
    addColumnByKey(kFileSize, QStringLiteral("Size KB"), w / 5, ColumnAlignment::Right);
    header()->setSortIndicator(0, Qt::AscendingOrder);
}

void ResultList::removeColumnByKey(const QString& key) {
    const int index = static_cast<int>(keys_.indexOf(key));
    if (index < 0) {
        return;
    }
    keys_.removeAt(index);
    QStringList titles;
    std::vector<int> widths;
    for (int i = 0, n = columnCount(); i < n; ++i) {
        if (i != index) {
            titles.push_back(headerItem()->text(i));
            widths.push_back(columnWidth(i));
        }
    }
    setColumnCount(static_cast<int>(keys_.size()));
    setHeaderLabels(titles);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        setColumnWidth(static_cast<int>(i), widths[i]);
    }
    refreshTexts();
}

void ResultList::addColumnByKey(const QString& key, const QString& title, int width,
                                ColumnAlignment alignment) {
    keys_.push_back(key);
    const int column = static_cast<int>(keys_.size()) - 1;
    setColumnCount(column + 1);
    headerItem()->setText(column, title);
    const Qt::Alignment align = alignment == ColumnAlignment::Right
                                    ? Qt::AlignRight | Qt::AlignVCenter
                                    : Qt::AlignLeft | Qt::AlignVCenter;
    headerItem()->setTextAlignment(column, align);
    setColumnWidth(column, width);
    refreshTexts();
}

void ResultList::refreshTexts() {
    for (int i = 0, n = topLevelItemCount(); i < n; ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        for (int c = 0; c < static_cast<int>(keys_.size()); ++c) {
            item->setText(c, item->data(0, RoleOfKey(keys_[c])).toString());
            item->setTextAlignment(c, Qt::Alignment(headerItem()->textAlignment(c)));
        }
    }
}

void ResultList::addRow(const ResultRow& row) {
    auto* item = new ResultItem();
    item->setData(0, kNameRole, row.fileName);
    item->setData(0, kPathRole, row.filePath);
    item->setData(0, kSizeRole, row.fileSize);
    item->setData(0, kArchiveRole, QByteArray::fromStdString(row.archive.native()));
    for (int c = 0; c < static_cast<int>(keys_.size()); ++c) {
        item->setText(c, item->data(0, RoleOfKey(keys_[c])).toString());
        item->setTextAlignment(c, Qt::Alignment(headerItem()->textAlignment(c)));
    }
    addTopLevelItem(item);
}

void ResultList::fitColumns(bool showSize) {
    const int w = width();
    const int columns = columnCountByKey();
    if (!showSize && columns == 3) {
        removeColumnByKey(kFileSize);
        removeColumnByKey(kFilePath);
        addColumnByKey(kFilePath, QStringLiteral("File Path"), w - w / 4, ColumnAlignment::Left);
    } else if (showSize && columns == 2) {
        removeColumnByKey(kFilePath);
        addColumnByKey(kFilePath, QStringLiteral("File Path"), w / 2, ColumnAlignment::Left);
        addColumnByKey(kFileSize, QStringLiteral("Size KB"), w / 5, ColumnAlignment::Right);
    }
}

ResultRow ResultList::rowOf(const QTreeWidgetItem* item) const {
    ResultRow row;
    if (item == nullptr) {
        return row;
    }
    row.fileName = item->data(0, kNameRole).toString();
    row.filePath = item->data(0, kPathRole).toString();
    row.fileSize = item->data(0, kSizeRole).toString();
    row.archive = item->data(0, kArchiveRole).toByteArray().toStdString();
    return row;
}

ResultRow ResultList::row(int index) const {
    return rowOf(topLevelItem(index));
}

void ResultList::setSorted(bool sorted) {
    // The list sorts itself only here and on header clicks; the view's own sorting stays off
    // (switching it would also switch the headers' clicks).
    if (!sorted) {
        return;
    }
    // Columns removed and added again can leave the header without a sort column.
    if (sortColumn() < 0 || sortColumn() >= columnCount()) {
        header()->setSortIndicator(0, Qt::AscendingOrder);
    }
    sortItems(sortColumn(), header()->sortIndicatorOrder());
}

void ResultList::headerClicked(int column) {
    sortToggle_ = !sortToggle_;
    if (column < 0 || column >= static_cast<int>(keys_.size())) {
        return;
    }
    const bool bySize = keys_[column] == kFileSize;
    const Qt::SortOrder order = bySize ? (sortToggle_ ? Qt::AscendingOrder : Qt::DescendingOrder)
                                       : (sortToggle_ ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The header shows which column the rows are ordered by, and which way.
    header()->setSortIndicator(column, order);
    header()->setSortIndicatorShown(true);
    sortItems(column, order);
}

}  // namespace quillery
