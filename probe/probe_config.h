#pragma once

#include "firmware/update_check.h"
#include "firmware/vendor_answers.h"

#include <memory>
#include <string>
#include <utility>

// What the jobs' update check needs: where to ask the vendor for firmware updates, and the
// answers the checks of one search share (null: each check asks on its own).
struct ProbeConfig
{
    ProbeConfig() = default;
    explicit ProbeConfig(std::string server, std::shared_ptr<VendorAnswers> answers = nullptr)
        : updateServer(std::move(server)), vendorAnswers(std::move(answers))
    {}

    std::string updateServer = kDefaultUpdateServer;
    std::shared_ptr<VendorAnswers> vendorAnswers;
};
