// What a POP3 server says: any bytes as the server's side of a whole session (greeting, logon,
// STAT, up to three messages retrieved and deleted, QUIT), handed to the client in pieces whose
// size the first byte chooses. The client must neither crash nor read past its limits.
#include <algorithm>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "piece_stream.h"
#include "qorcom/mail/mime_parser.h"
#include "qorcom/mail/pop3_client.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw::qorcom::mail;
    if (size < 1)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    Pop3Limits limits;
    limits.maxMessageBytes = 64 * 1024;
    CPOP3 client(limits);
    if (!client.LogOn(
            std::make_unique<tw::fuzz::PieceStream>(tw::fuzz::AsText(data + 1, size - 1), piece),
            "user", "secret"))
        return 0;
    int count = 0;
    if (client.Stat(&count)) {
        for (int i = 1; i <= std::min(count, 3); ++i) {
            std::string message;
            if (client.Retrieve(i, &message)) {
                if (message.size() > limits.maxMessageBytes)
                    std::abort();
                (void)ParseMail(message);
            }
            client.Delete(i);
        }
    }
    client.Quit();
    return 0;
}
