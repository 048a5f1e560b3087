#include <cstdlib>

#include "sales_site.h"

namespace tw::reliability {
namespace {

std::string Program(const char* variable, const char* built) {
    const char* named = std::getenv(variable);
    return named != nullptr && *named != '\0' ? named : built;
}

}  // namespace

Programs BuiltPrograms() {
#ifndef TW_TIDEWELL_PASS
#define TW_TIDEWELL_PASS ""
#endif
#ifndef TW_POSSIM
#define TW_POSSIM ""
#endif
    Programs programs;
    programs.tidewellPass = Program("TW_TIDEWELL_PASS", TW_TIDEWELL_PASS);
    programs.possim = Program("TW_POSSIM", TW_POSSIM);
    return programs;
}

}  // namespace tw::reliability
