#pragma once

#include "app/app_settings.h"
#include "app/host_route.h"
#include "app/local_networks.h"
#include "app/scan_settings.h"
#include "firmware/flash_tool.h"
#include "resources/text_id.h"
#include "scan/record/record_format.h"
#include "scan/record/record_order.h"
#include "scan/search.h"
#include "support/threads/message_queue.h"
#include "ui/device_list.h"
#include "ui/framework/app_message.h"
#include "ui/framework/template_dialog.h"
#include "ui/no_route_dialog.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>

class QProgressBar;
class QTreeView;

// Hands a web address to the desktop (the browser); the result is not looked at.
using UrlOpener = std::function<bool(const QUrl& url)>;
[[nodiscard]] UrlOpener DesktopUrlOpener();

// The program's main window: the list of adapters found, the search command with its progress
// bar and network label, settings, Visit Device, Update Firmware and About. The list and its own
// commands are DeviceList's (ui/device_list.h). The window can be enlarged; the list takes the
// room.
//
// Scan results arrive on worker threads through OnScanResult and reach the widgets only through
// a synchronous Send to the queue of the thread that built the window; that thread needs a
// GuiQueueBridge so the Sends complete while it sits in Qt's event loop.
class CTrawlixDlg final : public trawlix::ui::TemplateDialog
{
    Q_OBJECT
public:
    static constexpr int kIdProgress = 1000;
    static constexpr int kIdList = 1001;
    static constexpr int kIdLabel = 1002;
    static constexpr int kIdSettings = 1003;
    static constexpr int kIdStartStop = 1004;
    static constexpr int kIdConfigure = 1005;
    static constexpr int kIdVisit = 1006;
    static constexpr int kIdUpdateFirmware = 1007;
    static constexpr int kIdAbout = 16;
    static constexpr int kColumnCount = kDeviceColumnCount;
    // A list cell holds at most this many characters.
    static constexpr int kMaxCellChars = DeviceListModel::kMaxCellChars;

    // `app` is the application's settings object: read when the window opens, written back when
    // it closes, and the home of the run-wide "don't show the No-route hint" choice. `probes`
    // makes the adapter probes of each search, anew for every one (MakeSearchProbes gives each
    // search its own shared vendor answers); `route` reaches the routing table (the route to the
    // factory address at start-up, the No-route hint) and the helper that adds the route.
    CTrawlixDlg(AppSettings& app, std::function<JobProbes()> probes, FactoryRouteAccess route = {},
                UrlOpener openUrl = DesktopUrlOpener(), QWidget* parent = nullptr);
    ~CTrawlixDlg() override;

    // Further replaceable parts; set them before the window is shown.
    // Button 1007; empty: the button does nothing.
    std::function<void()> updateFirmwareCommand;
    // The machine's addresses for the local networks offered and searched.
    InterfaceAddressSource interfaceAddresses = SystemInterfaceAddresses;

    // The scan callback, the search's sink: `context` is the window, or null. Called on the probe
    // jobs' threads and, for the end-of-search record, on the controller's thread, under the scan
    // lock the search holds.
    static int OnScanResult(const DeviceRecord& record, void* context);

    // Device list (ui/device_list.h holds the list itself).
    void AddDeviceRow(const DeviceRecord& record);
    void ClearDeviceList();
    void UpdateAfterSearch();
    // A header click: sorts by CompareRecords (scan/record/record_order.h) with the new sort state.
    void OnColumnClick(int column);
    void OnRowSelected(int index);
    // The record of the selected row; null when none is selected or the row holds none.
    [[nodiscard]] const DeviceRecord* SelectedRecord() const;
    // Writes the records of the list to `path`, as the list's Export command does.
    bool ExportList(const QString& path, RecordFormat format);

    // Search control.
    void OnStartStopSearch();
    void StopSearch();
    void UpdateNetworkLabel(const std::string& scanningAddress);
    void SetButtonText(int button, trawlix::TextId text);

    // Closes the window and hands its settings back to the application.
    void done(int result) override;

    // Commands.
    void OnSettings();
    void OnVisitDevice();
    void OnUpdateFirmware();
    void OnAbout();

    [[nodiscard]] const ScanSettings& Settings() const { return settings_; }
    [[nodiscard]] FlashToolState& FlashTool() { return flashTool_; }
    [[nodiscard]] const FlashToolState& FlashTool() const { return flashTool_; }
    [[nodiscard]] SortState Sort() const;
    [[nodiscard]] int SelectedIndex() const;
    [[nodiscard]] bool DefaultAddressFound() const { return defaultAddressFound_; }
    [[nodiscard]] bool IsSearching() const { return searching_; }
    [[nodiscard]] trawlix::ui::PointerState Pointer() const { return pointer_; }
    [[nodiscard]] const QString& LabelText() const { return labelText_; }
    [[nodiscard]] QTreeView* List() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // One record delivered by the scan, on the window's thread.
    void DeliverRecord(const DeviceRecord& record);
    // The one end of a search, after its end record and after a stop: the list's end steps, the
    // No-route check, and the window back to idle.
    void EndOfSearch();
    void NoRouteCheck();
    void StepProgress();
    void ResetProgress();
    void SetPointer(trawlix::ui::PointerState state);
    void SetStartStopImages(bool searching);
    void UpdateFirmwareButton(const DeviceRecord* record);
    void EnableButton(int id, bool enable);
    void OnStartSearchMessage();
    void OnFirstStartMessage();
    // Closing while a delivery runs on this thread (a dialog open inside it) would wait for a
    // controller that waits for us; the close is done once the delivery has returned.
    bool DeferCloseDuringDelivery(int result);
    [[nodiscard]] QString ButtonCaption(int id) const;

    AppSettings& app_;
    std::function<JobProbes()> probes_;
    scan::Search search_;
    ScanSettings settings_;
    trawlix::ui::PointerState pointer_ = trawlix::ui::PointerState::Idle;
    FlashToolState flashTool_;
    bool defaultAddressFound_ = false;
    QString labelText_;
    bool initialised_ = false;
    bool searching_ = false;
    bool stopping_ = false;
    int deliveryDepth_ = 0;
    std::uint16_t progressMax_ = 0;
    int progressPos_ = 0;

    FactoryRouteAccess route_;
    UrlOpener openUrl_;
    jwin::MessageQueue::Handle guiQueue_;

    DeviceList* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
};
