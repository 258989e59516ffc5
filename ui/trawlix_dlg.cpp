#include "ui/trawlix_dlg.h"

#include "firmware/firmware_command.h"

#include "resources/string_table.h"
#include "scan/record/display_text.h"
#include "support/text/strings.h"
#include "support/text/system.h"
#include "ui/about_dialog.h"
#include "ui/framework/controls.h"
#include "ui/framework/utf8_text.h"
#include "ui/net_cfg_dialog.h"
#include "ui/no_route_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <memory>
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

// A list cell as people read it, no longer than a cell may be; a surrogate pair is never split.
QString CellText(const std::string& bytes, bool jsonApi)
{
    QString text = FromUtf8(DisplayText(bytes, jsonApi));
    if (text.size() > CTrawlixDlg::kMaxCellChars) {
        text.truncate(CTrawlixDlg::kMaxCellChars);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

const std::string& FieldOfColumn(const DeviceRecord& record, int column)
{
    switch (column) {
    case 0:
        return record.model;
    case 1:
        return record.firmware;
    case 2:
        return record.updateText;
    case 3:
        return record.manufacturer;
    case 4:
        return record.mac;
    case 5:
        return record.ip;
    default:
        return record.location;
    }
}

// Byte-wise comparison with ASCII letters folded to lower case.
int CompareNoCase(const std::string& a, const std::string& b)
{
    const auto lower = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return static_cast<int>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = lower(a[i]) - lower(b[i]);
        if (d != 0)
            return d;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Text after the last '.', left-padded with zeros to three characters; nothing when the address
// has no '.' after its first character.
bool LastOctet(const std::string& ip, std::string& octet)
{
    const auto dot = ip.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    octet = ip.substr(dot + 1);
    if (octet.size() < 3)
        octet.insert(0, 3 - octet.size(), '0');
    return true;
}

// A row of the device list; owns its copy of the record (none for the "No device found" row).
class DeviceRow final : public QTreeWidgetItem
{
public:
    DeviceRow() = default;
    explicit DeviceRow(const DeviceRecord& record) : record_(std::make_unique<DeviceRecord>(record)) {}
    [[nodiscard]] const DeviceRecord* Record() const { return record_.get(); }
    void ReleaseRecord() { record_.reset(); }

private:
    std::unique_ptr<DeviceRecord> record_;
};

// Draws the grid lines of the device list between cells.
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

CTrawlixDlg::CTrawlixDlg(AppSettings& app, JobProbes probes, CommandRunner runRoute, UrlOpener openUrl, QWidget* parent)
    : TemplateDialog(102, parent), app_(app),
      search_([this](const DeviceRecord& record) { OnScanResult(record, this); }, std::move(probes)),
      runRoute_(std::move(runRoute)), openUrl_(std::move(openUrl)), guiQueue_(jwin::MessageQueue::Current())
{
    isAdministrator = [] { return IsUserAdministrator() != 0; };
    list_ = ControlAs<QTreeWidget>(kIdList);
    progress_ = ControlAs<QProgressBar>(kIdProgress);
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

    // The route to the factory address; a failure shows as the No-route hint after a search.
    (void)AddHostRoute("localhost", kDefaultAddress, runRoute_);

    CopyToWindow(app_, settings_, interfaceAddresses);
    initialised_ = true;
    SetLogin(settings_);
    UpdateNetworkLabel({});

    // Device list: seven left-aligned columns, sorted only by our own rule on a header click.
    list_->setColumnCount(kColumnCount);
    QStringList headers;
    for (const ColumnInfo& column : kColumns)
        headers << FromUtf8(LoadString(column.caption));
    list_->setHeaderLabels(headers);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsClickable(true);
    list_->header()->setSortIndicatorShown(false);
    list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < kColumnCount; ++i)
        list_->setColumnWidth(i, ScaledColumnWidth(kColumns[static_cast<std::size_t>(i)].width, BaseUnits()));
    list_->setItemDelegate(new GridDelegate(list_));
    list_->setSortingEnabled(false);
    connect(list_->header(), &QHeaderView::sectionClicked, this, &CTrawlixDlg::OnColumnClick);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty())
                    OnRowSelected(selected.indexes().front().row());
            });
    list_->viewport()->installEventFilter(this);

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
    if (index < 0 || index >= list_->topLevelItemCount())
        return nullptr;
    const auto* row = dynamic_cast<const DeviceRow*>(list_->topLevelItem(index));
    return row != nullptr ? row->Record() : nullptr;
}

const DeviceRecord* CTrawlixDlg::SelectedRecord() const
{
    return RecordAt(selectedIndex_);
}

void CTrawlixDlg::AddDeviceRow(const DeviceRecord& record)
{
    if (record.ip == kDefaultAddress)
        defaultAddressFound_ = true;
    auto* row = new DeviceRow(record);
    for (int column = 0; column < kColumnCount; ++column)
        row->setText(column, CellText(FieldOfColumn(record, column), record.jsonApi));
    // Appended whatever the last sort was.
    list_->addTopLevelItem(row);
}

void CTrawlixDlg::ClearDeviceList()
{
    if (list_ == nullptr)
        return;
    const QSignalBlocker block(list_->selectionModel());
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (auto* row = dynamic_cast<DeviceRow*>(list_->topLevelItem(i)))
            row->ReleaseRecord();
    }
    list_->clear();
    selectedIndex_ = -1;
}

void CTrawlixDlg::UpdateAfterSearch()
{
    if (list_->topLevelItemCount() == 0) {
        auto* row = new DeviceRow();
        row->setText(0, FromUtf8(LoadString(TextId::NoDeviceFound)));
        list_->insertTopLevelItem(0, row);
        return;
    }
    if (list_->selectedItems().isEmpty()) {
        const QSignalBlocker block(list_->selectionModel());
        QTreeWidgetItem* first = list_->topLevelItem(0);
        list_->setCurrentItem(first);
        first->setSelected(true);
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

    QTreeWidgetItem* const selectedRow = selectedIndex_ >= 0 ? list_->topLevelItem(selectedIndex_) : nullptr;
    const QList<QTreeWidgetItem*> marked = list_->selectedItems();
    QTreeWidgetItem* const current = list_->currentItem();

    const QSignalBlocker block(list_->selectionModel());
    std::vector<QTreeWidgetItem*> rows;
    while (list_->topLevelItemCount() > 0)
        rows.push_back(list_->takeTopLevelItem(0));
    // Insertion sort: stable, and safe with a comparison that is not a strict order (rows
    // without a record and addresses without a dot compare equal to everything).
    const auto record = [](QTreeWidgetItem* item) {
        const auto* row = dynamic_cast<const DeviceRow*>(item);
        return row != nullptr ? row->Record() : nullptr;
    };
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QTreeWidgetItem* item = rows[i];
        std::size_t j = i;
        while (j > 0 && CompareRecords(record(item), record(rows[j - 1]), &sort_) < 0) {
            rows[j] = rows[j - 1];
            --j;
        }
        rows[j] = item;
    }
    for (QTreeWidgetItem* row : rows)
        list_->addTopLevelItem(row);

    if (current != nullptr)
        list_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    list_->clearSelection();
    for (QTreeWidgetItem* row : marked)
        row->setSelected(true);
    if (selectedRow != nullptr)
        selectedIndex_ = list_->indexOfTopLevelItem(selectedRow);
}

int CTrawlixDlg::CompareRecords(const DeviceRecord* a, const DeviceRecord* b, const SortState* sortState)
{
    if (sortState == nullptr)
        return 0;
    if (!sortState->ascending)
        std::swap(a, b);
    if (a == nullptr || b == nullptr)
        return 0;
    switch (sortState->column) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
        // Versions are compared as text as well: 10.1 sorts before 4.26.
        return CompareNoCase(FieldOfColumn(*a, sortState->column), FieldOfColumn(*b, sortState->column));
    case 5: {
        // Only the last octet counts: the list shows one /24 network and the default address.
        std::string octetA;
        std::string octetB;
        if (!LastOctet(a->ip, octetA) || !LastOctet(b->ip, octetB))
            return 0;
        return CompareNoCase(octetA, octetB);
    }
    default:
        return 0;
    }
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
    NoRouteCheck();
    SetStartStopImages(false);
    SetButtonText(kIdStartStop, TextId::StartSearch);
    EnableButton(kIdSettings, true);
    ResetProgress();
    UpdateNetworkLabel({});
    searching_ = false;
    SetPointer(PointerState::Idle);
}

void CTrawlixDlg::NoRouteCheck()
{
    if (!ShouldShowNoRoute(defaultAddressFound_, settings_.scanDefaultAddress != 0,
                           isAdministrator && isAdministrator(), app_.suppressNoRoute))
        return;
    CNoRoute dialog(this);
    if (dialog.exec() == trawlix::ui::kIdOk)
        app_.suppressNoRoute = dialog.dontShowAgain != 0;
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
        UpdateAfterSearch();
        NoRouteCheck();
        SetStartStopImages(false);
        SetButtonText(kIdStartStop, TextId::StartSearch);
        EnableButton(kIdStartStop, true);
        EnableButton(kIdSettings, true);
        ResetProgress();
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
    // A click into the list selects the row under the pointer, or nothing outside any row.
    if (list_ != nullptr && watched == list_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = list_->indexAt(mouse->position().toPoint());
        if (!index.isValid())
            list_->clearSelection();
        OnRowSelected(index.isValid() ? index.row() : -1);
    }
    return TemplateDialog::eventFilter(watched, event);
}
