#pragma once

#include "firmware/update_check.h"

#include <string>

// What the probes need beyond the job's address and login: where to ask for firmware updates.
struct ProbeConfig
{
    std::string updateServer = kDefaultUpdateServer;
};
