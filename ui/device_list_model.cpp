#include "ui/device_list_model.h"

#include "scan/record/device_columns.h"
#include "ui/framework/utf8_text.h"

DeviceListModel::DeviceListModel(QObject* parent) : QAbstractTableModel(parent) {}

DeviceListModel::~DeviceListModel() = default;

void DeviceListModel::SetHeaders(const QStringList& headers)
{
    headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void DeviceListModel::Append(Row row)
{
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void DeviceListModel::AppendRecord(const DeviceRecord& record)
{
    Row row;
    row.record = std::make_unique<DeviceRecord>(record);
    for (std::size_t column = 0; column < kDeviceColumns.size(); ++column)
        row.texts[column] = trawlix::ui::FromUtf8(ColumnText(record, kDeviceColumns[column]));
    Append(std::move(row));
}

void DeviceListModel::AppendTextRow(const QString& text)
{
    Row row;
    row.texts[0] = text;
    Append(std::move(row));
}

void DeviceListModel::Clear()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

const DeviceRecord* DeviceListModel::RecordAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return rows_[static_cast<std::size_t>(row)].record.get();
}

std::vector<DeviceRecord> DeviceListModel::Records() const
{
    std::vector<DeviceRecord> records;
    for (const Row& row : rows_) {
        if (row.record)
            records.push_back(*row.record);
    }
    return records;
}

QString DeviceListModel::FullText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount)
        return {};
    return rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

int DeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    QString text = FullText(index.row(), index.column());
    if (role == Qt::DisplayRole && text.size() > kMaxCellChars) {
        // Cut to the cell's length; a surrogate pair is never split.
        text.truncate(kMaxCellChars);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size())
        return {};
    return headers_[section];
}

DeviceSortProxy::DeviceSortProxy(DeviceListModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source)
{
    // Sorted only on a header click; later rows are appended, whatever the last sort was.
    setDynamicSortFilter(false);
    setSourceModel(source);
}

void DeviceSortProxy::SortBy(const SortState& state)
{
    state_ = state;
    sort(state.column, Qt::AscendingOrder);
}

const DeviceRecord* DeviceSortProxy::RecordAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return source_->RecordAt(mapToSource(index(row, 0)).row());
}

QString DeviceSortProxy::FullText(int row, int column) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return source_->FullText(mapToSource(index(row, 0)).row(), column);
}

bool DeviceSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return CompareRecords(source_->RecordAt(left.row()), source_->RecordAt(right.row()), &state_) < 0;
}
