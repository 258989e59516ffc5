#include "ui/device_list.h"

#include "resources/string_table.h"
#include "scan/record/device_columns.h"
#include "scan/record/display_text.h"
#include "support/dirs/replace_file.h"
#include "support/text/strings.h"
#include "ui/framework/app_message.h"
#include "ui/framework/utf8_text.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <cstring>

using trawlix::LoadString;
using trawlix::TextId;
using trawlix::ui::FromUtf8;

namespace {

// Draws the grid lines of the device list between cells, and shows the whole text of a cell
// that is cut (too narrow a column, or longer than a cell holds) as its tooltip.
class GridDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString whole = index.data(Qt::ToolTipRole).toString();
        const QStyle* style = view->style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const bool cut =
            whole != cell.text || cell.fontMetrics.horizontalAdvance(cell.text) + 2 * margin > textRect.width();
        if (whole.isEmpty() || !cut) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(event->globalPos(), whole, view->viewport(), option.rect);
        return true;
    }
};

// The column widths are pixels of the classic dialog font (6 pixels average character width);
// with a wider font they grow in step, as the window itself does through its dialog units.
int ScaledColumnWidth(int pixels, const trawlix::ui::DialogBaseUnits& units)
{
    constexpr int kClassicCharWidth = 6;
    return units.x > kClassicCharWidth ? (pixels * units.x + kClassicCharWidth / 2) / kClassicCharWidth : pixels;
}

} // namespace

DeviceList::DeviceList(QTreeView* view, trawlix::ui::DialogBaseUnits units, Window window)
    : QObject(view), view_(view), units_(units), window_(std::move(window)), model_(new DeviceListModel(this)),
      proxy_(new DeviceSortProxy(model_, this))
{
    // The selected adapter stays marked when the focus is elsewhere (a button, another window).
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    view_->setPalette(palette);
}

DeviceList::~DeviceList() = default;

void DeviceList::ShowCaptions()
{
    // Left-aligned columns, sorted only by our own rule on a header click. The view's own sorting
    // is left alone: it would sort by the shown text, and switching it off switches the header's
    // clicks off with it.
    QStringList captions;
    for (const std::string& caption : ColumnCaptions())
        captions << FromUtf8(caption);
    model_->SetHeaders(captions);
    if (view_->model() == proxy_)
        return;
    view_->setModel(proxy_);
    QHeaderView* header = view_->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < kDeviceColumnCount; ++i)
        view_->setColumnWidth(i, ScaledColumnWidth(kDeviceColumns[static_cast<std::size_t>(i)].listWidth, units_));
    lastColumnWidth_ = view_->columnWidth(kDeviceColumnCount - 1);
    view_->setItemDelegate(new GridDelegate(view_));
    connect(header, &QHeaderView::sectionClicked, this, &DeviceList::OnColumnClick);
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (column != kDeviceColumnCount - 1)
            FitLastColumn();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty() && window_.rowSelected)
                    window_.rowSelected(selected.indexes().front().row());
            });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && RecordAt(index.row()) != nullptr && window_.visit)
            window_.visit();
    });
    viewport_ = view_->viewport();
    view_->installEventFilter(this);
    viewport_->installEventFilter(this);
    FitLastColumn();
}

void DeviceList::Append(const DeviceRecord& record)
{
    model_->AppendRecord(record);
}

void DeviceList::AppendTextRow(const QString& text)
{
    model_->AppendTextRow(text);
}

void DeviceList::Clear()
{
    model_->Clear();
    selectedIndex_ = -1;
}

int DeviceList::RowCount() const
{
    return proxy_->rowCount();
}

const DeviceRecord* DeviceList::RecordAt(int row) const
{
    return proxy_->RecordAt(row);
}

std::vector<DeviceRecord> DeviceList::Records() const
{
    return model_->Records();
}

void DeviceList::SelectFirstRowIfNone()
{
    if (!view_->selectionModel()->hasSelection()) {
        const QSignalBlocker block(view_->selectionModel());
        view_->selectionModel()->setCurrentIndex(proxy_->index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectedIndex_ = 0;
    }
    view_->setFocus();
}

void DeviceList::OnColumnClick(int column)
{
    sort_.ascending = column == sort_.column ? !sort_.ascending : true;
    sort_.column = column;
    // The selection and the current row follow their rows through the sort (persistent indexes).
    const QPersistentModelIndex selected(selectedIndex_ >= 0 ? proxy_->index(selectedIndex_, 0) : QModelIndex());
    proxy_->SortBy(sort_);
    view_->header()->setSortIndicator(column, sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (selected.isValid())
        selectedIndex_ = selected.row();
}

void DeviceList::FitLastColumn()
{
    if (lastColumnWidth_ == 0)
        return;
    int others = 0;
    for (int i = 0; i < kDeviceColumnCount - 1; ++i)
        others += view_->columnWidth(i);
    view_->setColumnWidth(kDeviceColumnCount - 1, std::max(lastColumnWidth_, view_->viewport()->width() - others));
}

bool DeviceList::eventFilter(QObject* watched, QEvent* event)
{
    // Compared, not asked: while the view is being destroyed it still sends events here.
    if (watched != view_ && watched != viewport_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        // A click into the list selects the row under the pointer, or nothing outside any row.
        if (watched != viewport_)
            break;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = view_->indexAt(mouse->position().toPoint());
        if (!index.isValid())
            view_->clearSelection();
        if (window_.rowSelected)
            window_.rowSelected(index.isValid() ? index.row() : -1);
        break;
    }
    case QEvent::KeyPress:
        if (watched == view_ && OnKey(*static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::ContextMenu: {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (menu->reason() != QContextMenuEvent::Mouse) {
            OnKey(QKeyEvent(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier));
        } else if (watched == viewport_) {
            // For the row under the pointer, or for none outside the rows.
            const QModelIndex index = view_->indexAt(menu->pos());
            ShowMenu(index.isValid() ? index.row() : -1, menu->globalPos());
        } else {
            // On the header: for the selected row.
            ShowMenu(selectedIndex_, menu->globalPos());
        }
        return true;
    }
    case QEvent::Resize:
        if (watched == viewport_)
            FitLastColumn();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool DeviceList::OnKey(const QKeyEvent& key)
{
    if (key.matches(QKeySequence::Copy)) {
        CopySelectedRow();
        return true;
    }
    const bool plain = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && plain) {
        // Enter in the list opens the adapter; it does not press the default button (Exit).
        if (window_.visit)
            window_.visit();
        return true;
    }
    if ((key.key() == Qt::Key_Menu && plain) || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier)) {
        // The menu opens below the selected row, or at the top of the list without one.
        const QRect row = selectedIndex_ >= 0 ? view_->visualRect(proxy_->index(selectedIndex_, 0)) : QRect();
        const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
        ShowMenu(selectedIndex_, view_->viewport()->mapToGlobal(at));
        return true;
    }
    return false;
}

void DeviceList::ShowMenu(int row, const QPoint& globalPos)
{
    // The row commands act on the selected row, which is the row the menu was opened for.
    if (row < 0)
        view_->clearSelection();
    else if (!view_->selectionModel()->isRowSelected(row, {}))
        view_->selectionModel()->setCurrentIndex(proxy_->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (row != selectedIndex_ && window_.rowSelected)
        window_.rowSelected(row);
    const DeviceRecord* record = RecordAt(row);

    QMenu menu(view_);
    std::vector<std::pair<QAction*, std::function<void()>>> actions;
    auto add = [&](const std::vector<MenuCommand>& commands) {
        for (const MenuCommand& command : commands) {
            QAction* action = menu.addAction(command.icon, command.text);
            action->setEnabled(command.enabled);
            actions.emplace_back(action, command.run);
        }
    };
    if (window_.rowCommands) {
        add(window_.rowCommands(record));
        menu.addSeparator();
    }
    add({{{}, FromUtf8(LoadString(TextId::CopyRow)), record != nullptr, [this] { CopySelectedRow(); }},
         {{}, FromUtf8(LoadString(TextId::CopyAddress)), record != nullptr, [this] { CopySelectedAddress(); }}});
    menu.addSeparator();
    add({{{}, FromUtf8(LoadString(TextId::ExportList)), !model_->Records().empty(), [this] { OnExportList(); }}});
    if (const std::vector<MenuCommand> own =
            window_.windowCommands ? window_.windowCommands() : std::vector<MenuCommand>{};
        !own.empty()) {
        menu.addSeparator();
        add(own);
    }

    // The command runs once the menu is gone.
    QAction* chosen = menu.exec(globalPos);
    for (const auto& [action, run] : actions) {
        if (action == chosen && run)
            run();
    }
}

void DeviceList::CopySelectedRow()
{
    if (SelectedRecord() == nullptr)
        return;
    QStringList cells;
    for (int column = 0; column < kDeviceColumnCount; ++column)
        cells << proxy_->FullText(selectedIndex_, column);
    QGuiApplication::clipboard()->setText(cells.join(QLatin1Char('\t')));
}

void DeviceList::CopySelectedAddress()
{
    if (const DeviceRecord* record = SelectedRecord())
        QGuiApplication::clipboard()->setText(FromUtf8(DisplayText(record->ip, record->jsonApi)));
}

void DeviceList::OnExportList()
{
    const QString csv = FromUtf8(LoadString(TextId::CsvFiles));
    const QString json = FromUtf8(LoadString(TextId::JsonFiles));
    QFileDialog dialog(view_->window(), FromUtf8(LoadString(TextId::ExportTitle)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({csv, json});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, json](const QString& filter) {
        dialog.setDefaultSuffix(filter == json ? QStringLiteral("json") : QStringLiteral("csv"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().front();
    // The name's ending decides; without a known one, the chosen file type.
    RecordFormat format = dialog.selectedNameFilter() == json ? RecordFormat::Json : RecordFormat::Csv;
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
        format = RecordFormat::Json;
    else if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        format = RecordFormat::Csv;
    (void)ExportList(path, format);
}

bool DeviceList::ExportList(const QString& path, RecordFormat format)
{
    const std::string text = FormatRecords(model_->Records(), format);
    // Written beside the target and renamed over it only when complete.
    const int error = ReplaceFile(QFile::encodeName(path).toStdString(), text);
    if (error == 0)
        return true;
    trawlix::ui::AppMessageBox(view_->window(),
                               FromUtf8(FillPlaces(LoadString(TextId::ExportFailed),
                                                   {QDir::toNativeSeparators(path).toStdString(),
                                                    QString::fromLocal8Bit(std::strerror(error)).toStdString()})),
                               trawlix::ui::MessageButtons::Ok, trawlix::ui::MessageIcon::Warning);
    return false;
}
