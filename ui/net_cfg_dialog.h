#pragma once

#include "app/scan_settings.h"
#include "ui/framework/template_dialog.h"

#include <string>
#include <vector>

namespace trawlix::ui {
class IpAddressEdit;
class SortedComboBox;
} // namespace trawlix::ui

// The "Settings for network scanning" dialog: which /24 network to search and up to which host,
// the factory address, the automatic search at start and the LX400 login. It edits a copy of the
// caller's settings; the caller takes Result() after OK.
class CNetCfg final : public trawlix::ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit CNetCfg(const ScanSettings& settings, QWidget* parent = nullptr);

    // The dialog's values as settings: the given ones with the edited fields replaced, and a
    // non-empty `subnet` appended to the stored subnets when no stored text equals it exactly
    // (the same rule as ApplyDialogSettings).
    [[nodiscard]] ScanSettings Result() const;

    // Shows the network of a subnet text ("192.168.1.*") with host number `host` in the address
    // control, each field kept within 0..254.
    void SetAddressFromSubnet(const std::string& text, int host);

    std::string subnet;
    int firstHost = 1;
    int lastHost = 254;
    int scanDefaultAddress = 0;
    int scanRange = 0;
    int autoScan = 0;
    std::vector<std::string> storedSubnets;
    std::string user;
    std::string password;
    int useHttps = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(trawlix::ui::DataExchange& dx) override;
    void OnOK() override;

private:
    void OnSearchSubnetClicked();
    void OnStoredEntrySelected();
    // The network controls take input only while a range is searched.
    void EnableRangeControls();

    [[nodiscard]] trawlix::ui::SortedComboBox* StoredEntries() const;
    [[nodiscard]] trawlix::ui::IpAddressEdit* AddressControl() const;

    ScanSettings original_;
};
