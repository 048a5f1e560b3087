#include "qorcom/mail/attachment_store.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_ops.h"
#include "platform/os_services.h"
#include "platform/text_file.h"

namespace tw::qorcom::mail {
namespace {

constexpr const char* kDirectoryVariable = "QORCOM_MAIL_ATTACHMENTS";
constexpr const char* kFallbackName = "attachment";
// Beyond this many "-n" names something is wrong with the directory; give up.
constexpr int kMaxNumberedNames = 10000;

std::string NumberedName(const std::string& name, int number) {
    if (number == 0)
        return name;
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    return stem + "-" + std::to_string(number) + extension;
}

}  // namespace

std::string AttachmentDirectory() {
    if (const char* dir = std::getenv(kDirectoryVariable); dir && *dir) {
        std::string path = dir;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return path;
    }
    return platform::HomeDirectory() + "/.local/share/qorcom/attachments";
}

std::string CleanAttachmentName(std::string_view name) {
    if (const auto slash = name.find_last_of("/\\"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    std::string clean;
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
            clean += c;
    const auto start = clean.find_first_not_of(" \t");
    clean = start == std::string::npos
                ? std::string()
                : clean.substr(start, clean.find_last_not_of(" \t") - start + 1);
    if (clean.empty() || clean == "." || clean == "..")
        return kFallbackName;
    return clean;
}

std::optional<std::string> SaveAttachment(const std::string& directory, std::string_view name,
                                          std::string_view bytes, int* error) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        *error = ec.value();
        return std::nullopt;
    }
    std::optional<platform::TempFile> temp =
        platform::TempFile::Create(".~tw-attachment-", directory);
    if (!temp) {
        *error = errno;
        return std::nullopt;
    }
    if (!platform::WriteAll(temp->Descriptor(), bytes)) {
        *error = errno;
        return std::nullopt;
    }
    temp->Close();
    const std::string clean = CleanAttachmentName(name);
    for (int number = 0; number < kMaxNumberedNames; ++number) {
        const std::string target = directory + "/" + NumberedName(clean, number);
        // A hard link never replaces an existing name, and shows the file only once whole.
        std::filesystem::create_hard_link(temp->Path(), target, ec);
        if (!ec)
            return target;
        if (ec != std::errc::file_exists) {
            *error = ec.value();
            return std::nullopt;
        }
    }
    *error = EEXIST;
    return std::nullopt;
}

}  // namespace tw::qorcom::mail
