// trawlix-sim: plays legacy adapters and the vendor's update server on given addresses, for the
// demo and the tests. Run it only on loopback or inside a private network namespace.
#include "sim/network_file.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

std::string VersionText(const std::string& compact)
{
    // "426" -> "4.26": the vendor page states versions the way adapters show them.
    if (compact.size() < 2)
        return compact;
    return compact.substr(0, compact.size() - 2) + "." + compact.substr(compact.size() - 2);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trawlix-sim NETWORK-FILE\n");
        return 2;
    }
    std::string error;
    const auto network = sim::ReadNetworkFile(argv[1], error);
    if (!network) {
        std::fprintf(stderr, "trawlix-sim: %s\n", error.c_str());
        return 2;
    }

    std::vector<std::unique_ptr<httplib::Server>> servers;
    for (const auto& adapter : network->adapters) {
        auto server = std::make_unique<httplib::Server>();
        const std::string page = sim::StatusPage(adapter);
        server->Get("/net.shtml",
                    [page](const httplib::Request&, httplib::Response& res) { res.set_content(page, "text/html"); });
        if (!server->bind_to_port(adapter.address, 80)) {
            std::fprintf(stderr, "trawlix-sim: cannot listen on %s:80\n", adapter.address.c_str());
            return 1;
        }
        servers.push_back(std::move(server));
    }
    if (!network->vendorAddress.empty()) {
        auto server = std::make_unique<httplib::Server>();
        const auto latest = network->latest;
        server->Get("/cgi-bin/kvt_update.cgi", [latest](const httplib::Request& req, httplib::Response& res) {
            const std::string ver = req.get_param_value("ver");
            const std::string key = req.get_param_value("dev") + "/" + req.get_param_value("oem");
            const auto it = latest.find(key);
            const std::string newest = it != latest.end() ? it->second : VersionText(ver);
            res.set_content("<html><body><table>\n"
                            "<tr><td><b>Your version:</b></td><td class=\"mainb\">" +
                                VersionText(ver) +
                                "</td></tr>\n"
                                "<tr><td><b>Latest version:</b></td><td class=\"mainb\">" +
                                newest + "</td></tr>\n</table></body></html>\n",
                            "text/html");
        });
        if (!server->bind_to_port(network->vendorAddress, network->vendorPort)) {
            std::fprintf(stderr, "trawlix-sim: cannot listen on %s:%d\n", network->vendorAddress.c_str(),
                         network->vendorPort);
            return 1;
        }
        servers.push_back(std::move(server));
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<std::thread> threads;
    for (auto& server : servers)
        threads.emplace_back([&server] { server->listen_after_bind(); });
    std::printf("trawlix-sim: %zu adapters%s ready\n", network->adapters.size(),
                network->vendorAddress.empty() ? "" : " and the vendor server");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    for (auto& server : servers)
        server->stop();
    for (auto& thread : threads)
        thread.join();
    return 0;
}
