#include "ui/trawlix_dlg.h"

#include "firmware/firmware_command.h"

#include "resources/string_table.h"
#include "support/text/strings.h"
#include "ui/about_dialog.h"
#include "ui/framework/controls.h"
#include "ui/framework/utf8_text.h"
#include "ui/net_cfg_dialog.h"
#include "ui/no_route_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QProgressBar>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <utility>
#include <vector>

using trawlix::LoadString;
using trawlix::TextId;
using trawlix::ui::FromUtf8;
using trawlix::ui::ImageButton;
using trawlix::ui::PointerState;

namespace {

constexpr const char* kDefaultAddress = "10.10.10.10";

QIcon Image(int id)
{
    return trawlix::ui::LoadResourceImage(id);
}

} // namespace

UrlOpener DesktopUrlOpener()
{
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

CTrawlixDlg::CTrawlixDlg(AppSettings& app, std::function<JobProbes()> probes, FactoryRouteAccess route,
                         UrlOpener openUrl, QWidget* parent)
    : TemplateDialog(102, parent), app_(app), probes_(std::move(probes)),
      search_([this](const DeviceRecord& record) { OnScanResult(record, this); }), route_(std::move(route)),
      openUrl_(std::move(openUrl)), guiQueue_(jwin::MessageQueue::Current())
{
    progress_ = ControlAs<QProgressBar>(kIdProgress);
    DeviceList::Window commands;
    commands.rowSelected = [this](int row) { OnRowSelected(row); };
    commands.visit = [this] { OnVisitDevice(); };
    commands.rowCommands = [this](const DeviceRecord* selected) {
        const QWidget* update = Control(kIdUpdateFirmware);
        return std::vector<DeviceList::MenuCommand>{
            {Image(135), ButtonCaption(kIdVisit), selected != nullptr, [this] { OnVisitDevice(); }},
            {Image(136), ButtonCaption(kIdUpdateFirmware), update != nullptr && update->isEnabled(),
             [this] { OnUpdateFirmware(); }}};
    };
    commands.windowCommands = [this] {
        std::vector<DeviceList::MenuCommand> own;
        if (const QString text = FromUtf8(LoadString(TextId::AboutCommand)); !text.isEmpty())
            own.push_back({{}, text, true, [this] { OnAbout(); }});
        return own;
    };
    list_ = new DeviceList(ControlAs<QTreeView>(kIdList), BaseUnits(), std::move(commands));

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
    // The list goes before the controls do, so nothing of it calls back into a window that is
    // half gone.
    delete list_;
    list_ = nullptr;
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
    UpdateNetworkLabel({});

    list_->ShowCaptions();

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

const DeviceRecord* CTrawlixDlg::SelectedRecord() const
{
    return list_->SelectedRecord();
}

int CTrawlixDlg::SelectedIndex() const
{
    return list_->SelectedIndex();
}

SortState CTrawlixDlg::Sort() const
{
    return list_->Sort();
}

QTreeView* CTrawlixDlg::List() const
{
    return ControlAs<QTreeView>(kIdList);
}

void CTrawlixDlg::AddDeviceRow(const DeviceRecord& record)
{
    if (record.ip == kDefaultAddress)
        defaultAddressFound_ = true;
    list_->Append(record);
}

void CTrawlixDlg::ClearDeviceList()
{
    list_->Clear();
}

void CTrawlixDlg::UpdateAfterSearch()
{
    if (list_->RowCount() == 0) {
        list_->AppendTextRow(FromUtf8(LoadString(TextId::NoDeviceFound)));
        return;
    }
    list_->SelectFirstRowIfNone();
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
    list_->SetSelectedIndex(index);
    const DeviceRecord* record = list_->RecordAt(index);
    EnableButton(kIdConfigure, record != nullptr);
    EnableButton(kIdVisit, record != nullptr);
    UpdateFirmwareButton(record);
}

void CTrawlixDlg::OnColumnClick(int column)
{
    list_->OnColumnClick(column);
}

bool CTrawlixDlg::ExportList(const QString& path, RecordFormat format)
{
    return list_->ExportList(path, format);
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
    EnableButton(kIdStartStop, true);
    EnableButton(kIdSettings, true);
    ResetProgress();
    // Nothing is being scanned any more; the heading says what the search covers.
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
        EndOfSearch();
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
    scan::SearchPlan plan = SearchPlanOf(settings_);
    plan.probes = probes_();
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

QString CTrawlixDlg::ButtonCaption(int id) const
{
    const auto* button = ControlAs<QAbstractButton>(id);
    return button != nullptr ? button->text() : QString();
}
