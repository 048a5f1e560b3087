// A received mail message: any bytes taken apart as the mail readers do. Whatever the input,
// every attachment must come out with one plain, non-empty file name.
#include <cstdlib>

#include "fuzz_support.h"
#include "qorcom/mail/mime_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tw::qorcom::mail::ParsedMail mail =
        tw::qorcom::mail::ParseMail(tw::fuzz::AsText(data, size));
    for (const auto& attachment : mail.attachments) {
        const std::string& name = attachment.fileName;
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of("/\\") != std::string::npos || name.front() == '.')
            std::abort();
    }
    return 0;
}
