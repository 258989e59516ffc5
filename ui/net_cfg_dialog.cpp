#include "ui/net_cfg_dialog.h"

#include "resources/string_table.h"
#include "support/text/strings.h"
#include "support/text/token.h"
#include "ui/framework/app_message.h"
#include "ui/framework/controls.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/utf8_text.h"

#include <QCheckBox>

#include <algorithm>
#include <array>
#include <cstdlib>

using trawlix::ui::FromUtf8;

namespace {

constexpr int kIdScanDefaultAddress = 1004;
constexpr int kIdScanRange = 1005;
constexpr int kIdAutoScan = 1006;
constexpr int kIdUseHttps = 1007;
constexpr int kIdAddress = 1011;
constexpr int kIdUser = 1013;
constexpr int kIdPassword = 1014;
constexpr int kIdStoredEntries = 1095;
constexpr int kIdLastHost = 1106;

// A subnet field is read from at most seven characters, as a decimal number (0 when it is none).
constexpr std::size_t kFieldBuffer = 8;

} // namespace

CNetCfg::CNetCfg(const ScanSettings& settings, QWidget* parent)
    : TemplateDialog(129, parent), subnet(settings.subnet), firstHost(settings.firstHost), lastHost(settings.lastHost),
      scanDefaultAddress(settings.scanDefaultAddress), scanRange(settings.scanRange), autoScan(settings.autoScan),
      storedSubnets(settings.storedSubnets), user(settings.user), password(settings.password),
      useHttps(settings.useHttps), original_(settings)
{
    if (auto* box = ControlAs<QCheckBox>(kIdScanRange))
        connect(box, &QCheckBox::clicked, this, [this] { OnSearchSubnetClicked(); });
    // Only a choice of the user counts, not the selection the dialog makes itself.
    if (auto* combo = StoredEntries())
        connect(combo, &QComboBox::activated, this, [this] { OnStoredEntrySelected(); });
}

ScanSettings CNetCfg::Result() const
{
    ScanSettings result = original_;
    result.firstHost = firstHost;
    result.lastHost = lastHost;
    result.subnet = subnet;
    result.scanDefaultAddress = scanDefaultAddress;
    result.scanRange = scanRange;
    result.autoScan = autoScan;
    result.password = password;
    result.user = user;
    result.useHttps = useHttps;
    if (!subnet.empty() &&
        std::find(result.storedSubnets.begin(), result.storedSubnets.end(), subnet) == result.storedSubnets.end())
        result.storedSubnets.push_back(subnet);
    return result;
}

trawlix::ui::SortedComboBox* CNetCfg::StoredEntries() const
{
    return ControlAs<trawlix::ui::SortedComboBox>(kIdStoredEntries);
}

trawlix::ui::IpAddressEdit* CNetCfg::AddressControl() const
{
    return ControlAs<trawlix::ui::IpAddressEdit>(kIdAddress);
}

void CNetCfg::DoDataExchange(trawlix::ui::DataExchange& dx)
{
    dx.Control(kIdStoredEntries);
    dx.MinMax(firstHost, 0, 254);
    dx.Int(kIdLastHost, lastHost);
    dx.MinMax(lastHost, 1, 254);
    dx.Check(kIdScanDefaultAddress, scanDefaultAddress);
    dx.Check(kIdScanRange, scanRange);
    dx.Check(kIdAutoScan, autoScan);
    dx.Check(kIdUseHttps, useHttps);
    dx.Control(kIdAddress);
    dx.Text(kIdUser, user);
    dx.Text(kIdPassword, password);
}

void CNetCfg::SetAddressFromSubnet(const std::string& text, int host)
{
    trawlix::ui::IpAddressEdit* address = AddressControl();
    if (address == nullptr)
        return;
    const CJToken token(".");
    std::uint32_t value = 0;
    for (int field = 1; field <= 3; ++field) {
        std::array<char, kFieldBuffer> buffer{};
        token.GetToken(buffer.data(), buffer.size(), text.c_str(), field, true);
        const long number = std::strtol(buffer.data(), nullptr, 10);
        value = (value << 8) | (static_cast<std::uint32_t>(number) & 0xFFu);
    }
    value = (value << 8) | (static_cast<std::uint32_t>(host) & 0xFFu);
    address->SetAddress(value);
    for (int field = 0; field < 4; ++field)
        address->SetFieldRange(field, 0, 254);
}

bool CNetCfg::OnInitDialog()
{
    TemplateDialog::OnInitDialog();

    if (trawlix::ui::SortedComboBox* combo = StoredEntries()) {
        for (const std::string& stored : storedSubnets)
            combo->AddString(FromUtf8(stored));
        const QString current = FromUtf8(subnet);
        int index = combo->FindStringExact(-1, current);
        if (index < 0) {
            combo->AddString(current);
            index = combo->FindStringExact(-1, current);
        }
        combo->setCurrentIndex(index);
    }
    SetAddressFromSubnet(subnet, firstHost);

    UpdateData(false);
    UpdateData(true);
    EnableRangeControls();
    return true;
}

void CNetCfg::EnableRangeControls()
{
    const bool enable = scanRange != 0;
    for (const int id : {kIdStoredEntries, kIdAddress, kIdLastHost}) {
        if (QWidget* control = Control(id))
            control->setEnabled(enable);
    }
}

void CNetCfg::OnSearchSubnetClicked()
{
    UpdateData(true);
    EnableRangeControls();
}

void CNetCfg::OnStoredEntrySelected()
{
    UpdateData(true);
    trawlix::ui::SortedComboBox* combo = StoredEntries();
    if (combo == nullptr)
        return;
    const QString text = combo->currentIndex() >= 0 ? combo->itemText(combo->currentIndex()) : combo->currentText();
    if (text.isEmpty())
        return;
    subnet = text.toStdString();
    SetAddressFromSubnet(subnet, firstHost);
}

void CNetCfg::OnOK()
{
    // A failed check has shown its message; what was read before it is kept and the address
    // control decides the rest.
    UpdateData(true);

    trawlix::ui::IpAddressEdit* address = AddressControl();
    if (address == nullptr || address->FilledFieldCount() != 4) {
        trawlix::ui::AppMessageBox(this, FromUtf8(trawlix::LoadString(trawlix::TextId::InvalidAddress)));
        return;
    }
    const std::uint32_t value = address->Address();
    subnet = FillPlaces(
        trawlix::LoadString(trawlix::TextId::SubnetFormat),
        {std::to_string(value >> 24), std::to_string((value >> 16) & 0xFFu), std::to_string((value >> 8) & 0xFFu)});
    firstHost = static_cast<int>(value & 0xFFu);

    if (lastHost < firstHost) {
        trawlix::ui::AppMessageBox(this, FromUtf8(trawlix::LoadString(trawlix::TextId::InvalidRange)));
        return;
    }
    TemplateDialog::OnOK();
}
