#pragma once

#include <string>

// Splits a firmware version text such as "LX200 v 4.26.5" (separator "v ") or "1.78.12"
// (separator "V") into the displayed version "4.26", the compact version "426" the update check
// compares, and the OEM number "5". Missing first or second components read "?", a missing third
// gives an empty OEM number. False, writing nothing, only when an output is null.
bool SplitFirmwareVersion(const std::string& version, const std::string& separator, std::string* displayVersion,
                          std::string* compactVersion, std::string* oem);
