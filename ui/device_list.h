#pragma once

#include "scan/record/record_format.h"
#include "scan/record/record_order.h"
#include "ui/device_list_model.h"
#include "ui/framework/dialog_units.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QKeyEvent;
class QPoint;
class QTreeView;

// The main window's device list: the rows in the order of the last header click, shown in the
// template's list view with grid lines and tooltips for cut cells, and the list's own commands:
// Enter and a double-click visit the adapter, Ctrl+C copies the row, and the context menu (right
// click, the Menu key, Shift+F10) offers the window's commands beside copying the row or the
// address and exporting the list as CSV or JSON.
//
// The window keeps what acts on an adapter (the buttons and their commands); the list tells it
// of every selection and asks it for its commands when the menu opens.
class DeviceList final : public QObject
{
    Q_OBJECT
public:
    // A command of the window that the context menu offers.
    struct MenuCommand
    {
        QIcon icon;
        QString text;
        bool enabled = true;
        std::function<void()> run;
    };

    // What the list needs of its window.
    struct Window
    {
        // A row was selected (-1: none); the window takes it as its selection.
        std::function<void(int row)> rowSelected;
        // Enter or a double-click on a row that holds a record.
        std::function<void()> visit;
        // The commands for the selected row (at the top of the menu) and the window's own (at the
        // bottom).
        std::function<std::vector<MenuCommand>(const DeviceRecord* selected)> rowCommands;
        std::function<std::vector<MenuCommand>()> windowCommands;
    };

    // Takes over `view`: its model, columns, delegate and input. The column widths follow the
    // dialog font's base units.
    DeviceList(QTreeView* view, trawlix::ui::DialogBaseUnits units, Window window);
    ~DeviceList() override;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    // The column captions in the current language.
    void ShowCaptions();

    // Appended whatever the last sort was; the row keeps its own copy of the record.
    void Append(const DeviceRecord& record);
    // A row of one text in the first column and no record ("No device found").
    void AppendTextRow(const QString& text);
    void Clear();
    [[nodiscard]] int RowCount() const;
    // The record of the row shown at `row`; null for the text row or outside the list.
    [[nodiscard]] const DeviceRecord* RecordAt(int row) const;
    [[nodiscard]] std::vector<DeviceRecord> Records() const;

    // The row the window took as selected (-1: none), and its record.
    [[nodiscard]] int SelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int row) { selectedIndex_ = row; }
    [[nodiscard]] const DeviceRecord* SelectedRecord() const { return RecordAt(selectedIndex_); }
    // Selects and focuses the first row when no row carries the selection mark; gives the list the
    // keyboard focus.
    void SelectFirstRowIfNone();

    // A header click: the same column again turns the order round, another sorts it ascending.
    // The selected row stays selected.
    void OnColumnClick(int column);
    [[nodiscard]] SortState Sort() const { return sort_; }

    void CopySelectedRow();
    void CopySelectedAddress();
    // Asks for a file and writes the list there, in the format its name or the chosen type says.
    void OnExportList();
    // Writes the records of the list to `path` (through a temporary file beside it, so an old file
    // stays whole when the write fails); a failure is shown with its reason. True when written.
    bool ExportList(const QString& path, RecordFormat format);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnKey(const QKeyEvent& key);
    // The context menu at `globalPos` for the row `row` (-1: none).
    void ShowMenu(int row, const QPoint& globalPos);
    // The last column takes the room the others leave, but never less than its own width.
    void FitLastColumn();

    QTreeView* view_;
    QWidget* viewport_ = nullptr;
    trawlix::ui::DialogBaseUnits units_;
    Window window_;
    DeviceListModel* model_;
    DeviceSortProxy* proxy_;
    SortState sort_;
    int selectedIndex_ = -1;
    int lastColumnWidth_ = 0;
};
