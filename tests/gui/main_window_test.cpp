#include "modal_answer.h"

#include "resources/string_table.h"
#include "ui/about_dialog.h"
#include "ui/framework/gui_queue_bridge.h"
#include "ui/net_cfg_dialog.h"
#include "ui/no_route_dialog.h"
#include "ui/trawlix_dlg.h"

#include "scan/record/record_format.h"
#include "testsupport/fake_families.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <net/if.h>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using trawlix::Language;
using trawlix::SetLanguage;

// Runs the event loop until `done` holds. The limit only keeps a broken build from hanging the
// run; nothing is measured.
bool WaitUntil(const std::function<bool()>& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Answers every modal dialog of type T that opens while the result lives: `answer` closes it.
template <class T> std::shared_ptr<std::atomic<int>> AnswerDialogs(std::function<void(T&)> answer)
{
    auto seen = std::make_shared<std::atomic<int>>(0);
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [seen, timer, answer] {
        if (seen.use_count() == 1) {
            timer->deleteLater();
            return;
        }
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            dialog != nullptr && dialog->isVisible()) {
            ++*seen;
            answer(*dialog);
        }
    });
    timer->start();
    return seen;
}

// Answers the next popup menu that opens while the result lives by pressing `key` in it (its
// entry's underlined letter); records the menu's enabled entries.
struct SeenMenu
{
    QStringList enabled;
    int count = 0;
};
std::shared_ptr<SeenMenu> AnswerMenus(Qt::Key key)
{
    auto seen = std::make_shared<SeenMenu>();
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [seen, timer, key] {
        if (seen.use_count() == 1) {
            timer->deleteLater();
            return;
        }
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible())
            return;
        ++seen->count;
        seen->enabled.clear();
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled())
                seen->enabled << action->text();
        }
        QTest::keyClick(menu, key);
    });
    timer->start();
    return seen;
}

// Adapters that the fake probes "find", by address; addresses not listed find nothing. A
// hanging address blocks its probe until the job is asked to stop.
class FakeNetwork
{
public:
    void Add(const DeviceRecord& record)
    {
        std::lock_guard lock(mutex_);
        devices_[record.ip] = record;
    }
    void Hang(const std::string& address)
    {
        std::lock_guard lock(mutex_);
        hanging_[address] = true;
    }
    // The probe of a gated address waits until its gate (or every gate) is opened.
    void Gate(const std::string& address)
    {
        std::lock_guard lock(mutex_);
        gated_[address] = false;
    }
    void OpenGate(const std::string& address)
    {
        std::lock_guard lock(mutex_);
        gated_[address] = true;
    }
    void OpenGates()
    {
        std::lock_guard lock(mutex_);
        for (auto& gate : gated_)
            gate.second = true;
    }

    // The window's probes for each of its searches.
    std::function<JobProbes()> Probes()
    {
        return [this] {
            JobProbes probes;
            probes.families = testsupport::FakeFamilies(
                [this](const ProbeTarget& target, DeviceRecord& record) { return Probe(target, record, false); },
                [this](const ProbeTarget& target, DeviceRecord& record) { return Probe(target, record, true); });
            return probes;
        };
    }

    // "user:password" of every probe so far.
    std::set<std::string> Logins()
    {
        std::lock_guard lock(mutex_);
        return logins_;
    }

    std::atomic<int> hangingNow{0};
    std::atomic<int> hangingEnded{0};

private:
    bool Probe(const ProbeTarget& target, DeviceRecord& record, bool api)
    {
        const std::string address = target.address.Text();
        bool hang = false;
        bool gate = false;
        std::optional<DeviceRecord> device;
        {
            std::lock_guard lock(mutex_);
            hang = hanging_.count(address) != 0;
            gate = gated_.count(address) != 0;
            if (const auto it = devices_.find(address); it != devices_.end())
                device = it->second;
            logins_.insert(target.user + ":" + target.password);
        }
        if (hang && !api) {
            ++hangingNow;
            while (!target.stop.StopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --hangingNow;
            ++hangingEnded;
            return false;
        }
        while (gate && !api && !GateOpen(address) && !target.stop.StopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!device || device->jsonApi != api)
            return false;
        record = *device;
        record.found = true;
        return true;
    }

    bool GateOpen(const std::string& address)
    {
        std::lock_guard lock(mutex_);
        return gated_[address];
    }

    std::mutex mutex_;
    std::map<std::string, DeviceRecord> devices_;
    std::map<std::string, bool> hanging_;
    std::map<std::string, bool> gated_; // address -> open
    std::set<std::string> logins_;
};

DeviceRecord Device(const std::string& ip, const std::string& model, int updateState = 0, bool jsonApi = false)
{
    DeviceRecord record;
    record.ip = ip;
    record.model = model;
    record.updateState = updateState;
    record.jsonApi = jsonApi;
    record.found = true;
    return record;
}

// The routing table and pkexec as the window meets them: one wired interface with a link, eth7;
// a route to the factory address or none; the routes the window tried to add itself (the kernel
// refuses: no right) and every run of the helper, which adds the route when it ends with 0.
struct FakeRoutes
{
    bool present = true;
    int helperStatus = 0;
    std::vector<int> added;
    std::vector<std::string> helperRuns;
    // What else the helper's success changes (an adapter that can be reached now).
    std::function<void()> whenAdded;

    FactoryRouteAccess Access()
    {
        FactoryRouteAccess access;
        access.system.links = [] {
            net::LinkInfo eth7;
            eth7.index = 2;
            eth7.name = "eth7";
            eth7.flags = IFF_UP | IFF_RUNNING | 0x10000; // IFF_LOWER_UP
            eth7.type = 1;
            return net::LinkList{{eth7}, 0};
        };
        access.system.wireless = [](const net::LinkInfo&) { return false; };
        access.system.lookup = [this](std::uint32_t) {
            return present ? net::RouteLookup{net::RouteLookup::Kind::OnLink, 2, 0}
                           : net::RouteLookup{net::RouteLookup::Kind::None, 0, ENETUNREACH};
        };
        access.system.add = [this](std::uint32_t, int index) {
            added.push_back(index);
            return EPERM;
        };
        access.helper = [this](QObject* owner, const std::string& interfaceName, std::function<void(int)> finished) {
            helperRuns.push_back(interfaceName);
            if (helperStatus == 0) {
                present = true;
                if (whenAdded)
                    whenAdded();
            }
            QTimer::singleShot(0, owner, [finished, status = helperStatus] { finished(status); });
        };
        return access;
    }
};

std::vector<InterfaceAddress> OneInterface()
{
    InterfaceAddress address;
    address.interfaceName = "eth7";
    address.ipv4 = true;
    address.address = 0xC0A80117; // 192.168.1.23
    address.up = true;
    return {address};
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        SetLanguage(Language::English);
        app.autoScan = false;
        app.scanDefaultAddress = true;
        app.scanRange = true;
        app.subnet = "192.168.1.*";
        app.firstHost = 1;
        app.lastHost = 12;
        app.storedSubnets = {"10.1.2.*"};
    }
    ~MainWindowTest() override { SetLanguage(Language::English); }

    // Builds and opens the window with the fake network, the fake routing table (with or without
    // a route to the factory address) and a URL opener that records.
    std::unique_ptr<CTrawlixDlg> Open(bool routePresent = true)
    {
        routes.present = routePresent;
        auto openUrl = [this](const QUrl& url) {
            openedUrls.push_back(url.toString());
            return true;
        };
        auto window = std::make_unique<CTrawlixDlg>(app, network.Probes(), routes.Access(), openUrl);
        window->interfaceAddresses = OneInterface;
        window->show();
        return window;
    }

    static bool Enabled(const CTrawlixDlg& window, int id) { return window.Control(id)->isEnabled(); }
    static QString Text(const CTrawlixDlg& window, int id)
    {
        return qobject_cast<QAbstractButton*>(window.Control(id))->text();
    }
    static void Click(CTrawlixDlg& window, int id) { qobject_cast<QAbstractButton*>(window.Control(id))->click(); }
    static int Rows(const CTrawlixDlg& window) { return window.List()->model()->rowCount(); }
    static QString Cell(const CTrawlixDlg& window, int row, int column)
    {
        return window.List()->model()->index(row, column).data().toString();
    }
    static QString Header(const CTrawlixDlg& window, int column)
    {
        return window.List()->model()->headerData(column, Qt::Horizontal).toString();
    }
    static bool RowSelected(const CTrawlixDlg& window, int row)
    {
        return window.List()->selectionModel()->isRowSelected(row, {});
    }
    static QStringList Column(const CTrawlixDlg& window, int column)
    {
        QStringList texts;
        for (int i = 0; i < Rows(window); ++i)
            texts << Cell(window, i, column);
        return texts;
    }
    static void Select(CTrawlixDlg& window, int row)
    {
        window.List()->setCurrentIndex(window.List()->model()->index(row, 0));
    }
    // A click on the middle of a column's header, as the mouse makes it.
    static void ClickHeader(CTrawlixDlg& window, int column)
    {
        QHeaderView* header = window.List()->header();
        const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    }
    static void Activate(CTrawlixDlg& window)
    {
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    static QPoint CellCentre(const CTrawlixDlg& window, int row, int column)
    {
        return window.List()->visualRect(window.List()->model()->index(row, column)).center();
    }
    // A search to its end, and the No-route hint if one follows it (once the window is idle).
    static void RunSearch(CTrawlixDlg& window)
    {
        Click(window, CTrawlixDlg::kIdStartStop);
        ASSERT_TRUE(WaitUntil([&] { return !window.IsSearching(); }));
        QCoreApplication::processEvents();
    }

    trawlix::ui::GuiQueueBridge bridge{[](int) {}};
    AppSettings app;
    FakeNetwork network;
    FakeRoutes routes;
    std::vector<QString> openedUrls;
};

TEST_F(MainWindowTest, HeaderClicksSortAndTheSelectionFollowsItsRow)
{
    auto window = Open();
    DeviceRecord a = Device("192.168.1.10", "beta", 2);
    a.firmware = "10.1";
    DeviceRecord b = Device("192.168.1.5", "Alpha", 1);
    b.firmware = "4.26";
    DeviceRecord c = Device("10.10.10.10", "gamma", 0, true);
    c.firmware = "2.0";
    for (const DeviceRecord* record : {&a, &b, &c})
        EXPECT_EQ(CTrawlixDlg::OnScanResult(*record, window.get()), 1);
    EXPECT_EQ(CTrawlixDlg::OnScanResult(a, nullptr), 0);
    EXPECT_TRUE(window->DefaultAddressFound());
    const QHeaderView* header = window->List()->header();

    Select(*window, 1); // Alpha
    ClickHeader(*window, 0);
    EXPECT_EQ(Column(*window, 0),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    ClickHeader(*window, 0);
    EXPECT_FALSE(window->Sort().ascending);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Column(*window, 0),
              (QStringList{QStringLiteral("gamma"), QStringLiteral("beta"), QStringLiteral("Alpha")}));
    EXPECT_EQ(window->SelectedIndex(), 2);
    ASSERT_NE(window->SelectedRecord(), nullptr);
    EXPECT_EQ(window->SelectedRecord()->model, "Alpha");
    EXPECT_TRUE(RowSelected(*window, 2));

    // Another column starts ascending; versions compare as text.
    ClickHeader(*window, 1);
    EXPECT_TRUE(window->Sort().ascending);
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(Column(*window, 1), (QStringList{QStringLiteral("10.1"), QStringLiteral("2.0"), QStringLiteral("4.26")}));

    // Only the last octet counts: .5 first; 10.10.10.10 and 192.168.1.10 keep their order.
    ClickHeader(*window, 5);
    EXPECT_EQ(Column(*window, 5), (QStringList{QStringLiteral("192.168.1.5"), QStringLiteral("192.168.1.10"),
                                               QStringLiteral("10.10.10.10")}));

    // Visit Device acts on the row shown selected, wherever the sort put it.
    window->OnVisitDevice();
    ASSERT_EQ(openedUrls.size(), 1u);
    EXPECT_EQ(openedUrls.back(), QStringLiteral("http://192.168.1.5"));

    // A row added after a sort is appended at the end; the selection stays on its row.
    EXPECT_EQ(CTrawlixDlg::OnScanResult(Device("192.168.1.1", "aaa"), window.get()), 1);
    EXPECT_EQ(Column(*window, 5).back(), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(window->SelectedRecord()->model, "Alpha");
    EXPECT_TRUE(RowSelected(*window, 0));
}

TEST_F(MainWindowTest, ButtonRulesFollowTheSelectedRecordAndTheFlashTool)
{
    auto window = Open();
    EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdVisit));
    EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware));

    window->AddDeviceRow(Device("192.168.1.2", "not possible", 2));
    window->AddDeviceRow(Device("192.168.1.3", "newer", 1));
    window->AddDeviceRow(Device("192.168.1.4", "current", 0));
    for (const bool tool : {false, true}) {
        window->FlashTool().flashToolFound = tool;
        Select(*window, 0);
        EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdVisit));
        EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdConfigure));
        EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware)) << "tool " << tool;
        Select(*window, 1);
        EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware)) << "tool " << tool;
        Select(*window, 2);
        EXPECT_EQ(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware), tool);
    }
    window->OnRowSelected(-1);
    EXPECT_EQ(window->SelectedRecord(), nullptr);
    EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdVisit));
    EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware)); // tool found

    int commands = 0;
    window->updateFirmwareCommand = [&] { ++commands; };
    Click(*window, CTrawlixDlg::kIdUpdateFirmware);
    EXPECT_EQ(commands, 1);
}

TEST_F(MainWindowTest, AnEmptyListGetsTheNoDeviceRowWithoutARecord)
{
    auto window = Open();
    for (const bool tool : {false, true}) {
        window->ClearDeviceList();
        window->FlashTool().flashToolFound = tool;
        window->UpdateAfterSearch();
        ASSERT_EQ(Rows(*window), 1);
        EXPECT_EQ(Cell(*window, 0, 0), QStringLiteral("No device found"));
        EXPECT_TRUE(Cell(*window, 0, 1).isEmpty());
        Select(*window, 0);
        EXPECT_EQ(window->SelectedIndex(), 0);
        EXPECT_EQ(window->SelectedRecord(), nullptr);
        EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdVisit));
        EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdConfigure));
        EXPECT_EQ(Enabled(*window, CTrawlixDlg::kIdUpdateFirmware), tool);
        window->OnVisitDevice();
        EXPECT_TRUE(openedUrls.empty());
    }
}

TEST_F(MainWindowTest, CellsAreDecodedByTheRecordKindAndCut)
{
    auto window = Open();
    DeviceRecord legacy = Device("192.168.1.2", "Ger\xE4t");
    legacy.location = std::string(600, 'x');
    DeviceRecord api = Device("192.168.1.3", "Ger\xC3\xA4t", 0, true);
    // A cut that would land inside a surrogate pair drops the whole character.
    api.location = std::string(510, 'y') + "\xF0\x9F\x98\x80";
    window->AddDeviceRow(legacy);
    window->AddDeviceRow(api);
    const QString umlaut = QStringLiteral("Ger") + QChar(0xE4) + QStringLiteral("t");
    EXPECT_EQ(Cell(*window, 0, 0), umlaut);
    EXPECT_EQ(Cell(*window, 1, 0), umlaut);
    EXPECT_EQ(Cell(*window, 0, 6).size(), CTrawlixDlg::kMaxCellChars);
    EXPECT_EQ(Cell(*window, 1, 6), QString(510, QLatin1Char('y')));
    // The copy in the row keeps the bytes.
    Select(*window, 0);
    EXPECT_EQ(window->SelectedRecord()->location.size(), 600u);
}

TEST_F(MainWindowTest, ColumnsAndLabelAfterOpening)
{
    auto window = Open();
    const QTreeView* list = window->List();
    ASSERT_EQ(list->model()->columnCount(), 7);
    EXPECT_EQ(Header(*window, 0), QStringLiteral("Device"));
    EXPECT_EQ(Header(*window, 3), QStringLiteral("Manufacturer (OEM)"));
    EXPECT_EQ(Header(*window, 6), QStringLiteral("Location"));
    // Pixel widths of the classic 6-pixel dialog font, grown with the font in use; the last column
    // takes what room the list has beyond them.
    const std::vector<int> widths{160, 60, 95, 130, 110, 100, 150};
    const int charWidth = std::max(6, window->BaseUnits().x);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list->columnWidth(i), (widths[static_cast<std::size_t>(i)] * charWidth + 3) / 6);
    EXPECT_GE(list->columnWidth(6), (150 * charWidth + 3) / 6);
    EXPECT_EQ(window->LabelText(), QStringLiteral("Scan 10.10.10.10 and Network from 192.168.1.1 to 192.168.1.12"));
    EXPECT_EQ(window->findChild<QLabel*>()->text(), window->LabelText());
    // The detected network comes first among the choices, then the stored ones.
    EXPECT_EQ(window->Settings().storedSubnets, (std::vector<std::string>{"192.168.1.*", "10.1.2.*"}));
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Refresh List"));
}

TEST_F(MainWindowTest, LabelNamesNoSearchWhenNothingIsSearched)
{
    app.scanDefaultAddress = false;
    app.scanRange = false;
    auto window = Open(false);
    EXPECT_EQ(window->LabelText(), QStringLiteral("No search defined!"));
    // The search ends at once with the "No device found" row; no hint without the default address.
    const auto hints = AnswerDialogs<CNoRoute>([](CNoRoute& dialog) { dialog.reject(); });
    RunSearch(*window);
    EXPECT_EQ(Column(*window, 0), QStringList{QStringLiteral("No device found")});
    EXPECT_EQ(hints->load(), 0);
}

TEST_F(MainWindowTest, SearchProgressesAndEndsWithTheFirstRowSelected)
{
    network.Add(Device("192.168.1.5", "LX300"));
    network.Add(Device("192.168.1.7", "LX400", 0, true));
    network.Gate("192.168.1.11");
    network.Gate("192.168.1.12");
    auto window = Open();
    const QProgressBar* progress = window->findChild<QProgressBar*>();
    Click(*window, CTrawlixDlg::kIdStartStop);

    EXPECT_TRUE(window->IsSearching());
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Stop search"));
    EXPECT_FALSE(Enabled(*window, CTrawlixDlg::kIdSettings));
    EXPECT_EQ(window->Pointer(), trawlix::ui::PointerState::Searching);
    // The range counts host numbers (12 - 1); the default address and .1 to .10 fill it.
    ASSERT_TRUE(WaitUntil([&] { return progress->value() == 11; }));
    EXPECT_EQ(Rows(*window), 2);
    const QString scanning =
        QStringLiteral("Scan 10.10.10.10 and Network from 192.168.1.1 to 192.168.1.12  -  scanning ");
    EXPECT_TRUE(window->LabelText().startsWith(scanning)) << window->LabelText().toStdString();
    EXPECT_GT(window->LabelText().size(), scanning.size());
    // One more record passes the end of the bar, which starts again from the beginning.
    network.OpenGate("192.168.1.11");
    ASSERT_TRUE(WaitUntil([&] { return window->LabelText() == scanning + QStringLiteral("192.168.1.11"); }));
    EXPECT_EQ(progress->value(), 0);
    EXPECT_TRUE(window->IsSearching());

    network.OpenGates();
    ASSERT_TRUE(WaitUntil([&] { return !window->IsSearching(); }));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_TRUE(RowSelected(*window, 0));
    EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdVisit));
    EXPECT_EQ(window->LabelText(), QStringLiteral("Scan 10.10.10.10 and Network from 192.168.1.1 to 192.168.1.12"));
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Start search"));
    EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdSettings));
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(window->Pointer(), trawlix::ui::PointerState::Idle);

    // A second search starts from an empty list.
    RunSearch(*window);
    EXPECT_EQ(Rows(*window), 2);
}

TEST_F(MainWindowTest, StopReturnsToIdleWithoutEndOfSearchHandling)
{
    app.scanDefaultAddress = true;
    app.lastHost = 10;
    for (int host = 2; host <= 10; ++host)
        network.Hang("192.168.1." + std::to_string(host));
    network.Hang("10.10.10.10");
    auto window = Open(false);
    const auto hints = AnswerDialogs<CNoRoute>([](CNoRoute& dialog) { dialog.reject(); });
    Click(*window, CTrawlixDlg::kIdStartStop);
    // .1 answers at once; then ten jobs hang and the controller has started every address.
    ASSERT_TRUE(WaitUntil([&] { return network.hangingNow.load() == 10; }));
    ASSERT_TRUE(WaitUntil([&] { return window->LabelText().endsWith(QStringLiteral("scanning 192.168.1.1")); }));

    Click(*window, CTrawlixDlg::kIdStartStop);
    EXPECT_FALSE(window->IsSearching());
    EXPECT_EQ(network.hangingEnded.load(), 10);
    EXPECT_EQ(window->Pointer(), trawlix::ui::PointerState::Idle);
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Start search"));
    EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdStartStop));
    EXPECT_TRUE(Enabled(*window, CTrawlixDlg::kIdSettings));
    // Let anything still on its way arrive: the stop path alone ended the search, and the heading
    // no longer names an address being scanned.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(window->LabelText(), QStringLiteral("Scan 10.10.10.10 and Network from 192.168.1.1 to 192.168.1.10"));
    EXPECT_EQ(Column(*window, 0), QStringList{QStringLiteral("No device found")});
    EXPECT_EQ(window->SelectedIndex(), -1);
    EXPECT_EQ(hints->load(), 1);
}

TEST_F(MainWindowTest, NoRouteHintConditionsAndItsCheckBox)
{
    app.scanRange = false; // only 10.10.10.10
    auto answer = [](bool tick, bool ok) {
        return [tick, ok](CNoRoute& dialog) {
            dialog.ControlAs<QCheckBox>(1010)->setChecked(tick);
            if (ok)
                dialog.accept();
            else
                dialog.reject();
        };
    };
    {
        // A route to the default address, or an adapter found there: never.
        auto routed = Open(true);
        const auto hints = AnswerDialogs<CNoRoute>(answer(false, true));
        RunSearch(*routed);
        EXPECT_EQ(hints->load(), 0);
    }
    {
        network.Add(Device("10.10.10.10", "factory"));
        auto window = Open(false);
        const auto hints = AnswerDialogs<CNoRoute>(answer(false, true));
        RunSearch(*window);
        EXPECT_TRUE(window->DefaultAddressFound());
        EXPECT_EQ(hints->load(), 0);
    }
    // No route to the default address, and nothing answers there.
    FakeNetwork silent;
    routes.present = false;
    auto window =
        std::make_unique<CTrawlixDlg>(app, silent.Probes(), routes.Access(), [](const QUrl&) { return true; });
    window->interfaceAddresses = OneInterface;
    window->show();
    {
        // Escape keeps the choice even with the box ticked.
        const auto hints = AnswerDialogs<CNoRoute>(answer(true, false));
        RunSearch(*window);
        EXPECT_EQ(hints->load(), 1);
        EXPECT_FALSE(app.suppressNoRoute);
    }
    {
        const auto hints = AnswerDialogs<CNoRoute>(answer(true, true));
        RunSearch(*window);
        EXPECT_EQ(hints->load(), 1);
        EXPECT_TRUE(app.suppressNoRoute);
    }
    {
        const auto hints = AnswerDialogs<CNoRoute>(answer(false, true));
        RunSearch(*window);
        EXPECT_EQ(hints->load(), 0);
    }
}

TEST_F(MainWindowTest, TheHintOpensOnlyOnceTheWindowIsIdleAgain)
{
    app.scanRange = false;
    auto window = Open(false);
    // How the window looked each time the hint was up.
    std::vector<std::string> seen;
    const auto hints = AnswerDialogs<CNoRoute>([&](CNoRoute& dialog) {
        const bool idle = !window->IsSearching() &&
                          Text(*window, CTrawlixDlg::kIdStartStop) == QStringLiteral("&Start search") &&
                          Enabled(*window, CTrawlixDlg::kIdSettings) && Enabled(*window, CTrawlixDlg::kIdStartStop) &&
                          window->Pointer() == trawlix::ui::PointerState::Idle;
        seen.push_back(idle ? "idle" : "busy");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    // The natural end of a search.
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return hints->load() == 1; }));
    // A search the user stops.
    network.Hang("10.10.10.10");
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return network.hangingNow.load() == 1; }));
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return hints->load() == 2; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"idle", "idle"}));
}

TEST_F(MainWindowTest, TheRouteAddedFromTheHintIsSearchedAtOnce)
{
    app.scanRange = false;
    auto window = Open(false);
    // At start the window tried the route itself, through eth7; the kernel refused (no right).
    EXPECT_EQ(routes.added, std::vector<int>{2});
    // The helper's route makes the adapter at the factory address reachable.
    routes.whenAdded = [this] { network.Add(Device("10.10.10.10", "factory")); };
    routes.helperStatus = 126; // the first time, the password prompt is dismissed
    const auto hints = AnswerDialogs<CNoRoute>([this](CNoRoute& dialog) {
        auto* add = dialog.ControlAs<QPushButton>(CNoRoute::kIdAddRoute);
        if (!add->isEnabled())
            return;
        if (routes.helperRuns.size() == 1)
            routes.helperStatus = 0;
        QTest::mouseClick(add, Qt::LeftButton);
    });
    RunSearch(*window);
    ASSERT_TRUE(WaitUntil([&] { return Column(*window, 0) == QStringList{QStringLiteral("factory")}; }));
    EXPECT_EQ(routes.helperRuns, (std::vector<std::string>{"eth7", "eth7"}));
    EXPECT_TRUE(window->DefaultAddressFound());
    ASSERT_TRUE(WaitUntil([&] { return !window->IsSearching(); }));
    EXPECT_TRUE(RowSelected(*window, 0));
    EXPECT_FALSE(app.suppressNoRoute);
}

TEST_F(MainWindowTest, VisitDeviceUsesHttpsOnlyForLx400WithHttpsOn)
{
    for (const bool https : {true, false}) {
        app.useHttps = https;
        openedUrls.clear();
        auto window = Open();
        window->AddDeviceRow(Device("192.168.1.20", "LX400", 0, true));
        window->AddDeviceRow(Device("192.168.1.21", "LX300", 0, false));
        Select(*window, 0);
        Click(*window, CTrawlixDlg::kIdVisit);
        Select(*window, 1);
        Click(*window, CTrawlixDlg::kIdVisit);
        ASSERT_EQ(openedUrls.size(), 2u);
        EXPECT_EQ(openedUrls[0],
                  https ? QStringLiteral("https://192.168.1.20") : QStringLiteral("http://192.168.1.20"));
        EXPECT_EQ(openedUrls[1], QStringLiteral("http://192.168.1.21"));
    }
}

TEST_F(MainWindowTest, FirstStartOpensTheSettingsThenSearches)
{
    app.firstStart = true;
    app.autoScan = true;
    app.scanRange = false;
    const auto settings = AnswerDialogs<CNetCfg>([](CNetCfg& dialog) { dialog.reject(); });
    auto window = Open();
    ASSERT_TRUE(WaitUntil([&] { return settings->load() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return Text(*window, CTrawlixDlg::kIdStartStop) == QStringLiteral("&Start search"); }));
    EXPECT_EQ(Column(*window, 0), QStringList{QStringLiteral("No device found")});
}

TEST_F(MainWindowTest, ExitDuringASearchStopsItAndHandsTheSettingsBack)
{
    app.lastHost = 3;
    network.Hang("192.168.1.2");
    auto window = Open();
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return network.hangingNow.load() == 1; }));
    window->reject(); // the close box
    EXPECT_EQ(window->result(), 2);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(network.hangingEnded.load(), 1);
    EXPECT_EQ(app.storedSubnets, (std::vector<std::string>{"192.168.1.*", "10.1.2.*"}));
}

TEST_F(MainWindowTest, ClosingWhileTheNoRouteHintIsOpenClosesBoth)
{
    // A close (the close box, a signal) while the hint of a natural end is open ends both.
    app.scanRange = false;
    auto window = Open(false);
    CTrawlixDlg* const target = window.get();
    const auto hints = AnswerDialogs<CNoRoute>([target](CNoRoute&) { target->reject(); });
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return hints->load() >= 1 && !window->isVisible(); }));
    EXPECT_EQ(window->result(), 2);
    EXPECT_FALSE(window->IsSearching());
    EXPECT_FALSE(app.suppressNoRoute);
}

TEST_F(MainWindowTest, SettingsConfirmedUpdateTheLabelAndTheLogin)
{
    auto window = Open();
    // A search hands the probes the factory login until the settings name another.
    RunSearch(*window);
    EXPECT_EQ(network.Logins(), std::set<std::string>{"admin:lx400-dflt"});
    const auto settings = AnswerDialogs<CNetCfg>([](CNetCfg& dialog) {
        dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("20"));
        dialog.ControlAs<QLineEdit>(1013)->setText(QStringLiteral("tech"));
        dialog.accept();
    });
    Click(*window, CTrawlixDlg::kIdSettings);
    EXPECT_EQ(settings->load(), 1);
    EXPECT_EQ(window->LabelText(), QStringLiteral("Scan 10.10.10.10 and Network from 192.168.1.1 to 192.168.1.20"));
    EXPECT_EQ(window->Settings().lastHost, 20);
    // The next search logs in with the confirmed user; the password stays the factory one.
    RunSearch(*window);
    EXPECT_EQ(network.Logins(), (std::set<std::string>{"admin:lx400-dflt", "tech:lx400-dflt"}));
    // Nothing reaches the application's settings before the window closes.
    EXPECT_EQ(app.lastHost, 12);
    window->accept();
    EXPECT_EQ(app.lastHost, 20);
}

TEST_F(MainWindowTest, AWindowClosedBeforeItOpenedLeavesTheSettingsAlone)
{
    CTrawlixDlg window(app, network.Probes(), routes.Access(), [](const QUrl&) { return true; });
    window.reject();
    EXPECT_EQ(app.subnet, "192.168.1.*");
    EXPECT_EQ(app.lastHost, 12);
    EXPECT_EQ(app.storedSubnets, std::vector<std::string>{"10.1.2.*"});
}

TEST_F(MainWindowTest, F1OpensTheAboutBox)
{
    auto window = Open();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(WaitUntil([&] { return window->isActiveWindow(); }));
    const auto about = AnswerDialogs<CAboutDlg>([](CAboutDlg& dialog) { dialog.reject(); });
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(about->load(), 1);
}

TEST_F(MainWindowTest, GermanColumnsButtonsAndLabel)
{
    SetLanguage(Language::German);
    app.scanRange = false;
    auto window = Open();
    EXPECT_EQ(Header(*window, 0), QStringLiteral("Ger") + QChar(0xE4) + QStringLiteral("t"));
    EXPECT_EQ(Header(*window, 4), QStringLiteral("MAC-Adresse"));
    EXPECT_EQ(Header(*window, 6), QStringLiteral("Ort"));
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Suche starten"));
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdVisit),
              QStringLiteral("Ger") + QChar(0xE4) + QStringLiteral("t &aufrufen"));
    EXPECT_EQ(Text(*window, 1), QStringLiteral("&Beenden"));
    EXPECT_EQ(window->LabelText(), QStringLiteral("Scanne 10.10.10.10"));
    network.Gate("10.10.10.10");
    Click(*window, CTrawlixDlg::kIdStartStop);
    EXPECT_EQ(Text(*window, CTrawlixDlg::kIdStartStop), QStringLiteral("&Suche anhalten"));
    network.OpenGates();
    ASSERT_TRUE(WaitUntil([&] { return !window->IsSearching(); }));
    EXPECT_EQ(Column(*window, 0), QStringList{QStringLiteral("Kein Ger") + QChar(0xE4) + QStringLiteral("t gefunden")});
}

DeviceRecord FullDevice(const std::string& ip, const std::string& location)
{
    DeviceRecord record = Device(ip, "LX300");
    record.firmware = "4.30";
    record.updateText = "Up to date";
    record.manufacturer = "Voltara (16)";
    record.mac = "00:0A:9C:12:34:20";
    record.location = location;
    return record;
}

TEST_F(MainWindowTest, EnterAndDoubleClickVisitCtrlCCopiesAndEscapeClosesLikeTheCloseBox)
{
    app.lastHost = 3;
    network.Hang("192.168.1.3");
    auto window = Open();
    Activate(*window);
    window->AddDeviceRow(FullDevice("192.168.1.20", "M\xFCller &amp; S\xF6hne"));
    window->AddDeviceRow(Device("192.168.1.21", "LX400", 0, true));
    QTreeView* list = window->List();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(*window, 0, 1));
    ASSERT_EQ(window->SelectedIndex(), 0);

    // Enter in the list visits the row's adapter instead of pressing Exit.
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                       list->viewport()->mapTo(window.get(), CellCentre(*window, 0, 3)));
    EXPECT_EQ(openedUrls,
              (std::vector<QString>{QStringLiteral("http://192.168.1.20"), QStringLiteral("https://192.168.1.21"),
                                    QStringLiteral("http://192.168.1.20")}));
    EXPECT_TRUE(window->isVisible());

    // Ctrl+C: the row's seven cells as shown, between tabs.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("LX300\t4.30\tUp to date\tVoltara (16)\t00:0A:9C:12:34:20\t192.168.1.20\tM") +
                  QChar(0xFC) + QStringLiteral("ller & S") + QChar(0xF6) + QStringLiteral("hne"));

    // Escape is the close box: a running search stops and the window closes with Cancel.
    Click(*window, CTrawlixDlg::kIdStartStop);
    ASSERT_TRUE(WaitUntil([&] { return network.hangingNow.load() == 1; }));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 2);
    EXPECT_EQ(network.hangingEnded.load(), 1);
}

TEST_F(MainWindowTest, TheContextMenuCopiesTheAddressAndExportsTheList)
{
    auto window = Open();
    Activate(*window);
    window->AddDeviceRow(FullDevice("192.168.1.20", "Halle &lt;3&gt;"));
    window->AddDeviceRow(Device("192.168.1.5", "LX400", 1, true));
    QTreeView* list = window->List();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    // A right click on a row selects it and offers the row's commands.
    {
        const auto menus = AnswerMenus(Qt::Key_I);
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                          list->viewport()->mapTo(window.get(), CellCentre(*window, 1, 0)));
        ASSERT_EQ(menus->count, 1);
        EXPECT_EQ(menus->enabled,
                  (QStringList{QStringLiteral("&Visit Device"), QStringLiteral("&Update Firmware"),
                               QStringLiteral("&Copy row"), QStringLiteral("Copy &IP address"),
                               QStringLiteral("&Export list..."), QStringLiteral("&About Trawlix...")}));
        EXPECT_EQ(window->SelectedIndex(), 1);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("192.168.1.5"));
    }

    // The Menu key opens it too; Export list writes what trawlix-scan writes to the file named in
    // the file dialog.
    std::vector<DeviceRecord> records{FullDevice("192.168.1.20", "Halle &lt;3&gt;"),
                                      Device("192.168.1.5", "LX400", 1, true)};
    const struct
    {
        const char* name;
        bool jsonFilter;
        const char* written;
        RecordFormat format;
    } exports[] = {
        {"first.json", false, "first.json", RecordFormat::Json},
        {"second.csv", true, "second.csv", RecordFormat::Csv}, // the name's ending decides
        {"third", true, "third.json", RecordFormat::Json},     // else the chosen file type
    };
    for (const auto& test : exports) {
        const QString path = folder.filePath(QString::fromLatin1(test.name));
        const bool jsonFilter = test.jsonFilter;
        // The name goes into the dialog's name field at once (typed, its completer would offer
        // folders); Enter takes it. A dialog that stays open is cancelled on the second look.
        const auto files = AnswerDialogs<QFileDialog>([path, jsonFilter](QFileDialog& dialog) {
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name == nullptr || name->text() == path) {
                dialog.reject();
                return;
            }
            // The file type as a user picks it: the second entry of the type box.
            if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")); jsonFilter && types)
                QTest::keyClick(types, Qt::Key_Down);
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        });
        const auto menus = AnswerMenus(Qt::Key_E);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Menu);
        ASSERT_EQ(menus->count, 1) << test.name;
        EXPECT_EQ(files->load(), 1) << test.name;
        QFile written(folder.filePath(QString::fromLatin1(test.written)));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << test.written;
        EXPECT_EQ(written.readAll().toStdString(), FormatRecords(records, test.format)) << test.name;
    }
}

TEST_F(MainWindowTest, AFailedExportSaysWhy)
{
    auto window = Open();
    window->AddDeviceRow(FullDevice("192.168.1.20", "Keller"));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto seen = AnswerMessageBoxes();

    // A folder that does not exist: the reason is the system's. (That a failure part of the way
    // keeps an old file is ReplaceFile's, tested with it.)
    const QString missing = folder.filePath(QStringLiteral("gone/list.csv"));
    EXPECT_FALSE(window->ExportList(missing, RecordFormat::Csv));
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->text,
              QStringLiteral("The list could not be written to \"%1\":\nNo such file or directory").arg(missing));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(MainWindowTest, CutCellsShowTheirWholeTextAsTooltip)
{
    auto window = Open();
    Activate(*window);
    const std::string longLocation = "Rechenzentrum " + std::string(80, 'N') + " &amp; Halle 3";
    window->AddDeviceRow(FullDevice("192.168.1.20", longLocation));
    window->AddDeviceRow(FullDevice("192.168.1.21", std::string(600, 'z')));
    QWidget* viewport = window->List()->viewport();
    const auto hover = [&](int row, int column) {
        const QPoint at = CellCentre(*window, row, column);
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(hover(0, 5), QString()); // the address fits
    EXPECT_EQ(hover(0, 6),
              QStringLiteral("Rechenzentrum ") + QString(80, QLatin1Char('N')) + QStringLiteral(" & Halle 3"));
    // Past the cell's limit of characters the tooltip still holds all of them.
    EXPECT_EQ(Cell(*window, 1, 6).size(), CTrawlixDlg::kMaxCellChars);
    EXPECT_EQ(hover(1, 6).size(), 600);
}

TEST_F(MainWindowTest, AnEnlargedWindowGivesItsRoomToTheList)
{
    auto window = Open();
    const QSize templateSize = window->MapDialogRect(QRect(0, 0, 652, 320)).size();
    EXPECT_EQ(window->minimumSize(), templateSize);
    EXPECT_EQ(window->size(), templateSize);
    const auto geometry = [&](int id) { return window->Control(id)->geometry(); };
    const QRect list = geometry(CTrawlixDlg::kIdList);
    const QRect exit = geometry(trawlix::ui::kIdOk);
    const QRect start = geometry(CTrawlixDlg::kIdStartStop);
    const QRect settings = geometry(CTrawlixDlg::kIdSettings);
    const QRect progress = geometry(CTrawlixDlg::kIdProgress);
    const int location = window->List()->columnWidth(6);

    window->resize(templateSize + QSize(200, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(geometry(CTrawlixDlg::kIdList), list.adjusted(0, 0, 200, 100));
    EXPECT_EQ(geometry(trawlix::ui::kIdOk), exit.translated(200, 100));
    EXPECT_EQ(geometry(CTrawlixDlg::kIdStartStop), start.translated(200, 0));
    EXPECT_EQ(geometry(CTrawlixDlg::kIdSettings), settings.translated(200, 0));
    EXPECT_EQ(geometry(CTrawlixDlg::kIdProgress), progress.adjusted(0, 100, 200, 100));
    EXPECT_EQ(window->List()->columnWidth(6), location + 200);

    // Never smaller than the template; back at its size everything is where it was.
    window->resize(200, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), templateSize);
    EXPECT_EQ(geometry(CTrawlixDlg::kIdList), list);
    EXPECT_EQ(window->List()->columnWidth(6), location);
}

} // namespace
