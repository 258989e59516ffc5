#pragma once

#include "scan/record/device_record.h"

// How the outputs read by machines (the Prometheus text, the monitoring check) read a found
// record: in words that do not depend on the language its texts were made in.

enum class AdapterUpdate {
    Available,   // newer firmware on the vendor's server
    UpToDate,    // the vendor has nothing newer
    NotPossible, // too old to be updated by this program
    Unknown      // the vendor could not be asked or its answer not read; or the login was refused
};

// The firmware state of a found adapter.
[[nodiscard]] AdapterUpdate UpdateOf(const DeviceRecord& record);

// Whether a found record is an LX400 adapter that refused the login (listed as "Access denied!",
// in either language), so that nothing but its address is known.
[[nodiscard]] bool RefusedLogin(const DeviceRecord& record);
