#include "ui/trawlix_dlg.h"

#include "firmware/firmware_command.h"

#include "resources/string_table.h"
#include "support/dirs/replace_file.h"
#include "support/text/strings.h"
#include "ui/about_dialog.h"
#include "ui/device_list_model.h"
#include "ui/framework/controls.h"
#include "ui/framework/utf8_text.h"
#include "ui/net_cfg_dialog.h"
#include "ui/no_route_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

using trawlix::LoadString;
using trawlix::TextId;
using trawlix::ui::FromUtf8;
using trawlix::ui::ImageButton;
using trawlix::ui::PointerState;

namespace {

constexpr const char* kDefaultAddress = "10.10.10.10";

struct ColumnInfo
{
    TextId caption;
    int width;
};
constexpr std::array<ColumnInfo, CTrawlixDlg::kColumnCount> kColumns{{{TextId::ColumnDevice, 160},
                                                                      {TextId::ColumnFirmware, 60},
                                                                      {TextId::ColumnUpdate, 95},
                                                                      {TextId::ColumnManufacturer, 130},
                                                                      {TextId::ColumnMac, 110},
                                                                      {TextId::ColumnIp, 100},
                                                                      {TextId::ColumnLocation, 150}}};

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

QIcon Image(int id)
{
    return trawlix::ui::LoadResourceImage(id);
}

} // namespace

UrlOpener DesktopUrlOpener()
{
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

CTrawlixDlg::CTrawlixDlg(AppSettings& app, JobProbes probes, FactoryRouteAccess route, UrlOpener openUrl,
                         QWidget* parent)
    : TemplateDialog(102, parent), app_(app),
      search_([this](const DeviceRecord& record) { OnScanResult(record, this); }, std::move(probes)),
      route_(std::move(route)), openUrl_(std::move(openUrl)), guiQueue_(jwin::MessageQueue::Current())
{
    list_ = ControlAs<QTreeView>(kIdList);
    progress_ = ControlAs<QProgressBar>(kIdProgress);
    model_ = new DeviceListModel(this);
    proxy_ = new DeviceSortProxy(model_, this);
    if (list_ != nullptr) {
        // The selected adapter stays marked when the focus is elsewhere (a button, another window).
        QPalette palette = list_->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::HighlightedText));
        list_->setPalette(palette);
    }

    // The large icon, with the small one for title bars and task bars.
    QIcon icon = Image(155);
    if (const QIcon small = Image(130); !small.isNull())
        icon.addPixmap(small.pixmap(16, 16));
    setWindowIcon(icon);

    connect(this, &TemplateDialog::Command, this, [this](int id) {
        switch (id) {
        case kIdSettings:
            OnSettings();
            break;
        case kIdStartStop:
            OnStartStopSearch();
            break;
        case kIdVisit:
            OnVisitDevice();
            break;
        case kIdUpdateFirmware:
            OnUpdateFirmware();
            break;
        default: // 1005 (Configure Device) has no action
            break;
        }
    });
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &CTrawlixDlg::OnAbout);

    // The list takes the room of an enlarged window; the buttons keep to the right and the bottom.
    const trawlix::ui::DynamicLayout right{100, 0, 0, 0};
    const trawlix::ui::DynamicLayout bottomRight{100, 100, 0, 0};
    EnableDynamicLayout({{trawlix::ui::kIdOk, bottomRight},
                         {trawlix::ui::kIdCancel, bottomRight},
                         {kIdProgress, {0, 100, 100, 0}},
                         {kIdList, {0, 0, 100, 100}},
                         {kIdLabel, {0, 0, 100, 0}},
                         {kIdSettings, right},
                         {kIdStartStop, right},
                         {kIdConfigure, right},
                         {kIdVisit, right},
                         {kIdUpdateFirmware, right}});
}

CTrawlixDlg::~CTrawlixDlg()
{
    // Jobs may be sending results to this thread; stop them while the window is whole.
    StopSearch();
    ClearDeviceList();
}

// ---- Login ----

std::string CTrawlixDlg::CurrentUser() const
{
    return login_.user;
}

std::string CTrawlixDlg::CurrentPassword() const
{
    return login_.password;
}

bool CTrawlixDlg::CurrentUseHttps() const
{
    return login_.useHttps;
}

void CTrawlixDlg::SetLogin(const ScanSettings& from)
{
    login_.user = from.user;
    login_.password = from.password;
    login_.useHttps = from.useHttps != 0;
}

// ---- Initialisation ----

bool CTrawlixDlg::OnInitDialog()
{
    TemplateDialog::OnInitDialog();

    // The route to the factory address, when the program may change routes; without the right the
    // No-route hint offers to have the system add it after a search.
    (void)AddHostRoute(kDefaultAddress, route_.system);

    CopyToWindow(app_, settings_, interfaceAddresses);
    initialised_ = true;
    SetLogin(settings_);
    UpdateNetworkLabel({});

    // Device list: seven left-aligned columns, sorted only by our own rule on a header click. The
    // view's own sorting is left alone: it would sort by the shown text, and switching it off
    // switches the header's clicks off with it.
    QStringList headers;
    for (const ColumnInfo& column : kColumns)
        headers << FromUtf8(LoadString(column.caption));
    model_->SetHeaders(headers);
    list_->setModel(proxy_);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsClickable(true);
    list_->header()->setSortIndicatorShown(true);
    list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < kColumnCount; ++i)
        list_->setColumnWidth(i, ScaledColumnWidth(kColumns[static_cast<std::size_t>(i)].width, BaseUnits()));
    lastColumnWidth_ = list_->columnWidth(kColumnCount - 1);
    list_->setItemDelegate(new GridDelegate(list_));
    connect(list_->header(), &QHeaderView::sectionClicked, this, &CTrawlixDlg::OnColumnClick);
    connect(list_->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column != kColumnCount - 1)
            FitLastColumn();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty())
                    OnRowSelected(selected.indexes().front().row());
            });
    connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && RecordAt(index.row()) != nullptr)
            OnVisitDevice();
    });
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    FitLastColumn();

    SetStartStopImages(false);
    if (auto* button = ControlAs<ImageButton>(kIdVisit))
        button->SetImages(Image(135), Image(135), Image(140));
    if (auto* button = ControlAs<ImageButton>(kIdUpdateFirmware))
        button->SetImages(Image(136), Image(136), Image(139));
    if (auto* button = ControlAs<ImageButton>(kIdSettings))
        button->SetImages(Image(152), Image(152), Image(154));

    ResetProgress();

    if (auto* label = ControlAs<QLabel>(kIdLabel)) {
        QFont bold = label->font();
        bold.setWeight(QFont::Bold);
        label->setFont(bold);
    }

    // No row is selected yet, so this leaves the tool state as it is; Update Firmware looks again.
    FindFlashTool(flashTool_, SelectedRecord());

    EnableButton(kIdConfigure, false);
    EnableButton(kIdVisit, false);
    EnableButton(kIdUpdateFirmware, flashTool_.flashToolFound);

    if (app_.firstStart)
        QMetaObject::invokeMethod(this, &CTrawlixDlg::OnFirstStartMessage, Qt::QueuedConnection);
    else if (app_.autoScan)
        QMetaObject::invokeMethod(this, &CTrawlixDlg::OnStartSearchMessage, Qt::QueuedConnection);
    return true;
}

void CTrawlixDlg::OnStartSearchMessage()
{
    OnStartStopSearch();
}

void CTrawlixDlg::OnFirstStartMessage()
{
    OnSettings();
    if (app_.firstStart && settings_.autoScan != 0)
        QMetaObject::invokeMethod(this, &CTrawlixDlg::OnStartSearchMessage, Qt::QueuedConnection);
}

// ---- Device list ----

const DeviceRecord* CTrawlixDlg::RecordAt(int index) const
{
    return proxy_->RecordAt(index);
}

const DeviceRecord* CTrawlixDlg::SelectedRecord() const
{
    return RecordAt(selectedIndex_);
}

void CTrawlixDlg::AddDeviceRow(const DeviceRecord& record)
{
    if (record.ip == kDefaultAddress)
        defaultAddressFound_ = true;
    // Appended whatever the last sort was; the row keeps its own copy of the record.
    model_->AppendRecord(record);
}

void CTrawlixDlg::ClearDeviceList()
{
    model_->Clear();
    selectedIndex_ = -1;
}

void CTrawlixDlg::UpdateAfterSearch()
{
    if (proxy_->rowCount() == 0) {
        model_->AppendTextRow(FromUtf8(LoadString(TextId::NoDeviceFound)));
        return;
    }
    if (!list_->selectionModel()->hasSelection()) {
        const QSignalBlocker block(list_->selectionModel());
        list_->selectionModel()->setCurrentIndex(proxy_->index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectedIndex_ = 0;
    }
    list_->setFocus();
    // Only a row that holds a record can be configured or visited (a "No device found" row left
    // from an earlier end stays without one).
    const bool withRecord = SelectedRecord() != nullptr;
    EnableButton(kIdConfigure, withRecord);
    EnableButton(kIdVisit, withRecord);
    UpdateFirmwareButton(SelectedRecord());
}

void CTrawlixDlg::UpdateFirmwareButton(const DeviceRecord* record)
{
    EnableButton(kIdUpdateFirmware, UpdateFirmwareEnabled(record, flashTool_.flashToolFound));
}

void CTrawlixDlg::OnRowSelected(int index)
{
    selectedIndex_ = index;
    const DeviceRecord* record = RecordAt(index);
    EnableButton(kIdConfigure, record != nullptr);
    EnableButton(kIdVisit, record != nullptr);
    UpdateFirmwareButton(record);
}

void CTrawlixDlg::OnColumnClick(int column)
{
    sort_.ascending = column == sort_.column ? !sort_.ascending : true;
    sort_.column = column;
    // The selection and the current row follow their rows through the sort (persistent indexes).
    const QPersistentModelIndex selected(selectedIndex_ >= 0 ? proxy_->index(selectedIndex_, 0) : QModelIndex());
    proxy_->SortBy(sort_);
    list_->header()->setSortIndicator(column, sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (selected.isValid())
        selectedIndex_ = selected.row();
}

void CTrawlixDlg::FitLastColumn()
{
    if (list_ == nullptr || lastColumnWidth_ == 0)
        return;
    int others = 0;
    for (int i = 0; i < kColumnCount - 1; ++i)
        others += list_->columnWidth(i);
    list_->setColumnWidth(kColumnCount - 1, std::max(lastColumnWidth_, list_->viewport()->width() - others));
}

// ---- Scan results ----

int CTrawlixDlg::OnScanResult(const DeviceRecord& record, void* context)
{
    // The search delivers one record at a time, so a row count read and the row added belong
    // together.
    if (context == nullptr)
        return 0;
    auto* window = static_cast<CTrawlixDlg*>(context);
    window->guiQueue_->Send([window, &record] { window->DeliverRecord(record); });
    return 1;
}

void CTrawlixDlg::DeliverRecord(const DeviceRecord& record)
{
    // A stopped search has its end on the stop path; the controller's end record (sent when the
    // stop met it in its final wait) must not end it a second time.
    if (record.endOfSearch && (stopping_ || !searching_))
        return;
    ++deliveryDepth_;
    UpdateNetworkLabel(record.ip);
    StepProgress();
    if (record.found)
        AddDeviceRow(record);
    if (record.endOfSearch)
        EndOfSearch();
    --deliveryDepth_;
}

void CTrawlixDlg::EndOfSearch()
{
    UpdateAfterSearch();
    SetStartStopImages(false);
    SetButtonText(kIdStartStop, TextId::StartSearch);
    EnableButton(kIdSettings, true);
    ResetProgress();
    UpdateNetworkLabel({});
    searching_ = false;
    SetPointer(PointerState::Idle);
    NoRouteCheck();
}

void CTrawlixDlg::NoRouteCheck()
{
    // Once the window is idle and the delivery that ended the search has returned; a route added
    // from the hint is searched at once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!searching_ && isVisible() &&
                RunNoRouteHint(this, route_, defaultAddressFound_, settings_.scanDefaultAddress != 0,
                               app_.suppressNoRoute))
                OnStartStopSearch();
        },
        Qt::QueuedConnection);
}

void CTrawlixDlg::StepProgress()
{
    // Past the end the bar starts again from the beginning.
    progressPos_ = progressPos_ + 1 > progressMax_ ? 0 : progressPos_ + 1;
    progress_->setValue(progressPos_);
    progress_->repaint();
}

void CTrawlixDlg::ResetProgress()
{
    progressPos_ = 0;
    progress_->setValue(0);
}

// ---- Search control ----

void CTrawlixDlg::OnStartStopSearch()
{
    if (searching_ && search_.Running()) {
        EnableButton(kIdStartStop, false);
        StopSearch();
        searching_ = false;
        // Nothing is being scanned any more; the heading says what the search covers.
        UpdateNetworkLabel({});
        UpdateAfterSearch();
        SetStartStopImages(false);
        SetButtonText(kIdStartStop, TextId::StartSearch);
        EnableButton(kIdStartStop, true);
        EnableButton(kIdSettings, true);
        ResetProgress();
        NoRouteCheck();
        return;
    }

    defaultAddressFound_ = false;
    SetStartStopImages(true);
    EnableButton(kIdSettings, false);
    ClearDeviceList();
    progressMax_ = static_cast<std::uint16_t>(settings_.lastHost - settings_.firstHost);
    // A bar without range would show the busy animation instead of a position.
    progress_->setRange(0, std::max<int>(progressMax_, 1));
    ResetProgress();
    SetButtonText(kIdStartStop, TextId::StopSearch);
    scan::SearchPlan plan;
    plan.scanDefaultAddress = settings_.scanDefaultAddress == 1;
    plan.scanRange = settings_.scanRange == 1;
    plan.networks.push_back(scan::NetworkOf(settings_.subnet, settings_.firstHost, settings_.lastHost));
    plan.user = login_.user;
    plan.password = login_.password;
    plan.useHttps = login_.useHttps;
    searching_ = true;
    (void)search_.Start(plan);
    // A search without any address may have ended inside Start already.
    if (searching_)
        SetPointer(PointerState::Searching);
}

void CTrawlixDlg::StopSearch()
{
    SetPointer(PointerState::Stopping);
    stopping_ = true;
    search_.Stop();
    stopping_ = false;
    SetPointer(PointerState::Idle);
}

void CTrawlixDlg::UpdateNetworkLabel(const std::string& scanningAddress)
{
    std::string part1;
    std::string part2;
    if (settings_.scanDefaultAddress != 0) {
        part1 = LoadString(TextId::ScanDefaultAddress);
        if (settings_.scanRange != 0)
            part1 += LoadString(TextId::And);
    }
    if (settings_.scanRange != 0) {
        const auto dot = settings_.subnet.rfind('.');
        const std::string prefix =
            dot != std::string::npos && dot > 0 ? settings_.subnet.substr(0, dot + 1) : std::string();
        part2 = FillPlaces(LoadString(TextId::NetworkFromTo),
                           {prefix, std::to_string(settings_.firstHost), prefix, std::to_string(settings_.lastHost)});
    }
    QString text = FromUtf8(part1 + part2);
    if (text.isEmpty())
        text = FromUtf8(LoadString(TextId::NoSearchDefined));
    else if (!scanningAddress.empty())
        text += FromUtf8(LoadString(TextId::Scanning)) + FromUtf8(scanningAddress);
    labelText_ = text;
    if (auto* label = ControlAs<QLabel>(kIdLabel))
        label->setText(text);
}

void CTrawlixDlg::SetButtonText(int button, TextId text)
{
    if (auto* control = ControlAs<QAbstractButton>(button)) {
        control->setText(FromUtf8(LoadString(text)));
        control->repaint();
    }
}

void CTrawlixDlg::SetStartStopImages(bool searching)
{
    if (auto* button = ControlAs<ImageButton>(kIdStartStop)) {
        const int normal = searching ? 138 : 137;
        button->SetImages(Image(normal), Image(normal), Image(searching ? 142 : 141));
    }
}

void CTrawlixDlg::EnableButton(int id, bool enable)
{
    if (QWidget* control = Control(id))
        control->setEnabled(enable);
}

void CTrawlixDlg::SetPointer(PointerState state)
{
    pointer_ = state;
    trawlix::ui::ShowPointer(this, state);
}

// ---- Closing ----

bool CTrawlixDlg::DeferCloseDuringDelivery(int result)
{
    if (deliveryDepth_ == 0)
        return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QDialog*>(modal); dialog != nullptr && dialog != this)
        dialog->reject();
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            if (result == trawlix::ui::kIdOk)
                OnOK();
            else
                OnCancel();
        },
        Qt::QueuedConnection);
    return true;
}

void CTrawlixDlg::OnOK()
{
    if (DeferCloseDuringDelivery(trawlix::ui::kIdOk))
        return;
    StopSearch();
    searching_ = false;
    EndDialog(trawlix::ui::kIdOk);
}

void CTrawlixDlg::OnCancel()
{
    if (DeferCloseDuringDelivery(trawlix::ui::kIdCancel))
        return;
    StopSearch();
    searching_ = false;
    EndDialog(trawlix::ui::kIdCancel);
}

void CTrawlixDlg::done(int result)
{
    // The window's end: its settings go back to the application, which saves them. A window that
    // never opened holds no settings of its own and must not overwrite the loaded ones.
    if (initialised_)
        CopyFromWindow(app_, settings_);
    TemplateDialog::done(result);
}

// ---- Commands ----

void CTrawlixDlg::OnSettings()
{
    CNetCfg dialog(settings_, this);
    if (dialog.exec() != trawlix::ui::kIdOk)
        return;
    ApplyDialogSettings(settings_, dialog.Result());
    SetLogin(settings_);
    UpdateNetworkLabel({});
}

void CTrawlixDlg::OnVisitDevice()
{
    const DeviceRecord* record = SelectedRecord();
    if (record == nullptr)
        return;
    const bool https = record->jsonApi && settings_.useHttps != 0;
    const QString url = QString::fromLatin1(https ? "https://" : "http://") + FromUtf8(record->ip);
    if (openUrl_)
        (void)openUrl_(QUrl(url));
}

void CTrawlixDlg::OnUpdateFirmware()
{
    if (updateFirmwareCommand)
        updateFirmwareCommand();
}

void CTrawlixDlg::OnAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

void CTrawlixDlg::contextMenuEvent(QContextMenuEvent* event)
{
    const QString text = FromUtf8(LoadString(TextId::AboutCommand));
    if (text.isEmpty())
        return;
    QMenu menu(this);
    QAction* about = menu.addAction(text);
    about->setData(kIdAbout);
    if (menu.exec(event->globalPos()) == about)
        OnAbout();
}

bool CTrawlixDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (list_ == nullptr || (watched != list_ && watched != list_->viewport()))
        return TemplateDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        // A click into the list selects the row under the pointer, or nothing outside any row.
        if (watched != list_->viewport())
            break;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = list_->indexAt(mouse->position().toPoint());
        if (!index.isValid())
            list_->clearSelection();
        OnRowSelected(index.isValid() ? index.row() : -1);
        break;
    }
    case QEvent::KeyPress:
        if (watched == list_ && OnListKey(*static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::ContextMenu: {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (menu->reason() != QContextMenuEvent::Mouse) {
            OnListKey(QKeyEvent(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier));
        } else if (watched == list_->viewport()) {
            // For the row under the pointer, or for none outside the rows.
            const QModelIndex index = list_->indexAt(menu->pos());
            ShowListMenu(index.isValid() ? index.row() : -1, menu->globalPos());
        } else {
            // On the header: for the selected row.
            ShowListMenu(selectedIndex_, menu->globalPos());
        }
        return true;
    }
    case QEvent::Resize:
        if (watched == list_->viewport())
            FitLastColumn();
        break;
    default:
        break;
    }
    return TemplateDialog::eventFilter(watched, event);
}

bool CTrawlixDlg::OnListKey(const QKeyEvent& key)
{
    if (key.matches(QKeySequence::Copy)) {
        CopySelectedRow();
        return true;
    }
    const bool plain = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && plain) {
        // Enter in the list opens the adapter; it does not press the default button (Exit).
        OnVisitDevice();
        return true;
    }
    if ((key.key() == Qt::Key_Menu && plain) || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier)) {
        // The menu opens below the selected row, or at the top of the list without one.
        const QRect row = selectedIndex_ >= 0 ? list_->visualRect(proxy_->index(selectedIndex_, 0)) : QRect();
        const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
        ShowListMenu(selectedIndex_, list_->viewport()->mapToGlobal(at));
        return true;
    }
    return false;
}

QString CTrawlixDlg::ButtonCaption(int id) const
{
    const auto* button = ControlAs<QAbstractButton>(id);
    return button != nullptr ? button->text() : QString();
}

void CTrawlixDlg::ShowListMenu(int row, const QPoint& globalPos)
{
    // The row commands act on the selected row, which is the row the menu was opened for.
    if (row < 0)
        list_->clearSelection();
    else if (!list_->selectionModel()->isRowSelected(row, {}))
        list_->selectionModel()->setCurrentIndex(proxy_->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (row != selectedIndex_)
        OnRowSelected(row);
    const DeviceRecord* record = RecordAt(row);
    QMenu menu(this);
    QAction* visit = menu.addAction(Image(135), ButtonCaption(kIdVisit));
    visit->setEnabled(record != nullptr);
    QAction* update = menu.addAction(Image(136), ButtonCaption(kIdUpdateFirmware));
    update->setEnabled(Control(kIdUpdateFirmware) != nullptr && Control(kIdUpdateFirmware)->isEnabled());
    menu.addSeparator();
    QAction* copyRow = menu.addAction(FromUtf8(LoadString(TextId::CopyRow)));
    copyRow->setEnabled(record != nullptr);
    QAction* copyAddress = menu.addAction(FromUtf8(LoadString(TextId::CopyAddress)));
    copyAddress->setEnabled(record != nullptr);
    menu.addSeparator();
    QAction* exportList = menu.addAction(FromUtf8(LoadString(TextId::ExportList)));
    exportList->setEnabled(!model_->Records().empty());
    QAction* about = nullptr;
    if (const QString text = FromUtf8(LoadString(TextId::AboutCommand)); !text.isEmpty()) {
        menu.addSeparator();
        about = menu.addAction(text);
    }

    QAction* chosen = menu.exec(globalPos);
    if (chosen == nullptr)
        return;
    if (chosen == visit)
        OnVisitDevice();
    else if (chosen == update)
        OnUpdateFirmware();
    else if (chosen == copyRow)
        CopySelectedRow();
    else if (chosen == copyAddress)
        CopySelectedAddress();
    else if (chosen == exportList)
        OnExportList();
    else if (chosen == about)
        OnAbout();
}

void CTrawlixDlg::CopySelectedRow()
{
    if (SelectedRecord() == nullptr)
        return;
    QStringList cells;
    for (int column = 0; column < kColumnCount; ++column)
        cells << proxy_->FullText(selectedIndex_, column);
    QGuiApplication::clipboard()->setText(cells.join(QLatin1Char('\t')));
}

void CTrawlixDlg::CopySelectedAddress()
{
    if (SelectedRecord() != nullptr)
        QGuiApplication::clipboard()->setText(proxy_->FullText(selectedIndex_, 5));
}

void CTrawlixDlg::OnExportList()
{
    const QString csv = FromUtf8(LoadString(TextId::CsvFiles));
    const QString json = FromUtf8(LoadString(TextId::JsonFiles));
    QFileDialog dialog(this, FromUtf8(LoadString(TextId::ExportTitle)));
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

bool CTrawlixDlg::ExportList(const QString& path, RecordFormat format)
{
    std::vector<std::string> headers;
    for (const ColumnInfo& column : kColumns)
        headers.push_back(LoadString(column.caption));
    const std::string text = FormatRecords(model_->Records(), format, headers);
    // Written beside the target and renamed over it only when complete.
    const int error = ReplaceFile(QFile::encodeName(path).toStdString(), text);
    if (error == 0)
        return true;
    trawlix::ui::AppMessageBox(this,
                               FromUtf8(FillPlaces(LoadString(TextId::ExportFailed),
                                                   {QDir::toNativeSeparators(path).toStdString(),
                                                    QString::fromLocal8Bit(std::strerror(error)).toStdString()})),
                               trawlix::ui::MessageButtons::Ok, trawlix::ui::MessageIcon::Warning);
    return false;
}
