// The poll history file: any bytes in place of POLHISTD.nnn, read as the poller reads it.
#include "fuzz_support.h"
#include "settings/poll_hist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw;
    const std::string path = fuzz::WriteScratchFile("POLHISTD.001", fuzz::AsText(data, size));
    GenericHist history(path);
    if (history.Open() && history.ReadHeader() && history.IsValid()) {
        const auto ring = history.ReadRingOrder();
        if (!ring.empty())
            (void)history.FindSequence(ring.front().begin, ring.back().end);
        for (int i = 0; i < 4 && history.ReadNext(); ++i) {
        }
    }
    return 0;
}
