// log_hammer_writer <log> <writer-id> <threads> <lines-per-thread> <maxBytes>
// Each thread writes lines "W<id>-T<thread>-L<n> <padding>" through its own LogMessage.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "messages/message.h"

int main(int argc, char** argv) {
    if (argc != 6)
        return 2;
    const std::string path = argv[1];
    const std::string id = argv[2];
    const int threads = std::atoi(argv[3]);
    const int lines = std::atoi(argv[4]);
    const int maxBytes = std::atoi(argv[5]);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            tw::LogMessage log(maxBytes, 0.5);
            log.SetSiteNumber(static_cast<std::int16_t>(t + 1));
            log.SetPath(path);
            const std::string padding(40 + 17 * t, 'p');
            for (int n = 0; n < lines; ++n) {
                tw::FormatMessageTo(log, "W%s-T%d-L%d %s", id.c_str(), t, n, padding.c_str());
            }
        });
    }
    for (auto& w : workers) w.join();
    return 0;
}
