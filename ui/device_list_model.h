#pragma once

#include "scan/record/device_columns.h"
#include "scan/record/device_record.h"
#include "scan/record/record_order.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

// The rows of the device list in the order they arrived. A row owns its copy of the record until
// the list is cleared; the one row without a record is the "No device found" row, which holds a
// text in its first column only.
class DeviceListModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumnCount = kDeviceColumnCount;
    // A cell shows at most this many characters; its tooltip holds the whole text.
    static constexpr int kMaxCellChars = 511;

    explicit DeviceListModel(QObject* parent = nullptr);
    ~DeviceListModel() override;

    void SetHeaders(const QStringList& headers);
    void AppendRecord(const DeviceRecord& record);
    void AppendTextRow(const QString& text);
    // Removes every row and releases the records.
    void Clear();

    // The record of source row `row`; null for the text row or a row that does not exist.
    [[nodiscard]] const DeviceRecord* RecordAt(int row) const;
    [[nodiscard]] std::vector<DeviceRecord> Records() const;
    // The whole text of a cell as people read it, without the cell's length limit.
    [[nodiscard]] QString FullText(int row, int column) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        std::unique_ptr<DeviceRecord> record;
        std::array<QString, kColumnCount> texts;
    };
    void Append(Row row);

    std::vector<Row> rows_;
    QStringList headers_;
};

// The order of the device list: a header click sorts all rows by CompareRecords with the sort
// state (the state holds the direction, so the proxy always sorts "ascending" by that rule).
// The proxy does not keep itself sorted: rows that arrive after a sort go to the end.
class DeviceSortProxy final : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit DeviceSortProxy(DeviceListModel* source, QObject* parent = nullptr);

    void SortBy(const SortState& state);
    // The record of the row shown at `row`; null for the text row or outside the list.
    [[nodiscard]] const DeviceRecord* RecordAt(int row) const;
    [[nodiscard]] QString FullText(int row, int column) const;

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    DeviceListModel* source_;
    SortState state_;
};
