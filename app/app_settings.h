#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/local_networks.h"
#include "app/scan_settings.h"
#include "scan/search.h"

// Section of "trawlix.ini" that holds every setting.
inline constexpr const char* kSettingsTopic = "settings";
// Longest subnet text taken from the "subnets" list, in characters.
inline constexpr std::size_t kMaxSubnetText = 127;

// The application's persistent scan settings, loaded once at start and saved once at exit.
struct AppSettings
{
    bool autoScan = true;
    bool scanRange = false;
    bool scanDefaultAddress = true;
    // The No-route hint was switched off for this run.
    bool suppressNoRoute = false;
    // No settings file could be opened for reading at start.
    bool firstStart = false;
    // Read from "https", never written back.
    bool useHttps = true;
    std::string subnet;
    std::vector<std::string> storedSubnets;
    std::int32_t firstHost = 1;
    std::int32_t lastHost = 254;
    // The vendor's web server from "updateserver" (read, never written); empty: the built-in host.
    std::string updateServer;

    // Sets the defaults, then reads the file at `path` through the default profile. When the file
    // cannot be opened for reading, `firstStart` is set and the defaults stay.
    void Load(const std::string& path);
    // Writes the settings into the file at `path`, creating it and its folder when missing.
    // False when the file could not be opened or written; nothing is reported to the user.
    bool Save(const std::string& path) const;
};

// The main window's working copy when it opens: the detected local networks first, then the
// stored subnets not yet in that list; the first entry becomes the subnet when none is selected.
void CopyToWindow(const AppSettings& app, ScanSettings& window,
                  const InterfaceAddressSource& addresses = SystemInterfaceAddresses);
// Back into the application's settings when the main window closes; the login stays behind.
void CopyFromWindow(AppSettings& app, const ScanSettings& window);
// Takes over what the settings dialog confirmed and offers its subnet among the choices.
void ApplyDialogSettings(ScanSettings& window, const ScanSettings& dialog);

// The search the main window's settings ask for: the factory address and the subnet's /24 from
// the first to the last host, each when switched on, with the window's LX400 login. The subnet
// text is read once, here: one that names no network (a hand-edited settings file) leaves the
// range empty. The probes are the caller's.
[[nodiscard]] scan::SearchPlan SearchPlanOf(const ScanSettings& settings);
