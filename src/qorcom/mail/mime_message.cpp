#include "qorcom/mail/mime_message.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tw::qorcom::mail {
namespace {

void EndWithLineBreak(std::string* text) {
    if (text->size() < 2 || text->compare(text->size() - 2, 2, "\r\n") != 0)
        *text += "\r\n";
}

// The whole content of a regular file. False with *opened false when it cannot be opened (or is
// no regular file), false with *opened true and *error when reading failed.
bool ReadRegularFile(const std::string& path, std::string* bytes, bool* opened, int* error) {
    *opened = false;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; regular files ignore it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    *opened = true;
    bytes->clear();
    bytes->reserve(static_cast<std::size_t>(info.st_size));
    char block[57 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            ::close(fd);
            return false;
        }
        bytes->append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

std::string FileNameParameter(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string value = EncodeDisplayName(name, true);
    // Encoded words (a name that is not ASCII) come unquoted; a parameter value is quoted.
    return value.front() == '"' ? value : "\"" + value + "\"";
}

bool CTextPlain::AppendPart(const CMIMEPart& part, bool eightBitAllowed, std::string* out,
                            std::string*) const {
    const bool holdsBoundary =
        part.content.find(std::string("--") + kMimeBoundary) != std::string::npos;
    const TextCoding coding = CodeText(part.content, eightBitAllowed, holdsBoundary);
    if (coding.contentType.empty()) {
        *out += "Content-Type: " + GetContentTypeString() + part.parameters + "\r\n";
        *out += "Content-Transfer-Encoding: 7Bit\r\n\r\n";
    } else {
        *out += "Content-Type: " + coding.contentType + part.parameters + "\r\n";
        *out += "Content-Transfer-Encoding: " + coding.transferEncoding + "\r\n\r\n";
    }
    *out += coding.text;
    return true;
}

bool CAppOctetStream::AppendPart(const CMIMEPart& part, bool, std::string* out,
                                 std::string* error) const {
    if (!part.isFile)
        return true;
    std::string bytes;
    bool opened = false;
    int readError = 0;
    if (!ReadRegularFile(part.content, &bytes, &opened, &readError)) {
        if (!opened)
            return true;  // left out: the message goes without it
        *error = "Unable to read attachment " + part.content + ": " + std::strerror(readError);
        return false;
    }
    const std::string name = FileNameParameter(part.content);
    *out += "Content-Type: " + GetContentTypeString() + "; file=" + name + "\r\n";
    *out += "Content-Transfer-Encoding: base64\r\n";
    *out += "Content-Disposition: attachment; filename=" + name + "\r\n";
    *out += part.parameters + "\r\n";
    *out += Base64Lines(bytes);
    return true;
}

CMIMETypeManager::CMIMETypeManager() {
    RegisterType(std::make_unique<CTextPlain>());
    RegisterType(std::make_unique<CAppOctetStream>());
}

void CMIMETypeManager::RegisterType(std::unique_ptr<CMIMEContentAgent> agent) {
    agents_.push_back(std::move(agent));
}

const CMIMEContentAgent* CMIMETypeManager::GetHandler(int contentTypeCode) const {
    for (const auto& agent : agents_)
        if (agent->ContentTypeCode() == contentTypeCode)
            return agent.get();
    return nullptr;
}

void CMIMEMessage::AddMIMEPart(std::string_view content, int contentTypeCode,
                               std::string_view parameters, TransferEncoding encoding,
                               bool isFile) {
    parts_.push_back(
        {std::string(content), std::string(parameters), contentTypeCode, encoding, isFile});
}

void CMIMEMessage::FormatHeader() {
    CMailMessage::FormatHeader();
    AddHeaderLine("MIME-Version: 1.0");
    AddHeaderLine("Content-Type: " + mimeType_ + "; boundary=" + boundary_);
}

bool CMIMEMessage::FormatBody(std::string* error) {
    if (!bodyText_.empty()) {
        parts_.insert(parts_.begin(),
                      CMIMEPart{bodyText_, "", kTextPlain, TransferEncoding::k7Bit, false});
        bodyText_.clear();  // now a part: formatting again must not add it twice
    }
    body_ = std::string(kMimePreamble) + "\r\n\r\n";
    return AppendParts(error);
}

bool CMIMEMessage::AppendParts(std::string* error) {
    for (const CMIMEPart& part : parts_) {
        const CMIMEContentAgent* agent = types_.GetHandler(part.contentTypeCode);
        if (agent == nullptr)
            continue;
        std::string text;
        if (!agent->AppendPart(part, eightBit_, &text, error))
            return false;
        if (text.empty())
            continue;
        EndWithLineBreak(&body_);
        body_ += "--" + boundary_ + "\r\n";
        body_ += text;
    }
    EndWithLineBreak(&body_);
    body_ += "--" + boundary_ + "--\r\n";
    return true;
}

}  // namespace tw::qorcom::mail
