#pragma once

#include "firmware/update_check.h"

#include <string>

// What the jobs' update check needs: where to ask the vendor for firmware updates.
struct ProbeConfig
{
    std::string updateServer = kDefaultUpdateServer;
};
