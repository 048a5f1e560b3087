#pragma once
// CMIMEMessage: a multipart/mixed message — the body text as its first text/plain part, then
// each attachment as an application/octet-stream part in Base64 — composed for the SMTP sender.
//
// Body layout: the preamble "This is a multi-part message in MIME format." and an empty line;
// for each part "--" boundary, its sub-header lines, an empty line and its content; at the end
// "--" boundary "--". The boundary is "QK_MAIL_PaRt_BoUnDaRy_05151998", unquoted in the
// header.
//
// Parts are written by content agents (CTextPlain, CAppOctetStream) that a CMIMETypeManager
// finds by content-type code; a part whose code has no agent is left out. An attachment file
// that cannot be opened (or is not a regular file) is left out and the message goes without it;
// a file that opens but cannot be read to its end fails FormatMessage rather than sending a
// truncated copy. A body text that holds the boundary line goes in Base64, so that it can never
// end the multipart early and hide the attachments after it.
//
// One thread at a time per message (each message owns its type manager).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qorcom/mail/mail_message.h"

namespace tw::qorcom::mail {

inline constexpr const char* kMimeBoundary = "QK_MAIL_PaRt_BoUnDaRy_05151998";
inline constexpr const char* kMimePreamble = "This is a multi-part message in MIME format.";

// Content-type codes of the registered agents.
inline constexpr int kTextPlain = 0;
inline constexpr int kApplicationOctetStream = 1;

enum class TransferEncoding { k7Bit, k8Bit, kBinary, kQuotedPrintable, kBase64 };

struct CMIMEPart {
    std::string content;     // the text, or the path of the file
    std::string parameters;  // appended to the Content-Type line as given
    int contentTypeCode = kTextPlain;
    TransferEncoding encoding = TransferEncoding::k7Bit;
    bool isFile = false;
};

// Writes parts of one content type.
class CMIMEContentAgent {
public:
    explicit CMIMEContentAgent(int contentTypeCode) : code_(contentTypeCode) {}
    virtual ~CMIMEContentAgent() = default;
    int ContentTypeCode() const { return code_; }
    virtual std::string GetContentTypeString() const = 0;
    // Appends the part's sub-header, the empty line and its content to *out; appends nothing
    // when the part is to be left out. False with *error when the part cannot be written
    // whole.
    virtual bool AppendPart(const CMIMEPart& part, bool eightBitAllowed, std::string* out,
                            std::string* error) const = 0;

private:
    int code_;
};

class CTextPlain final : public CMIMEContentAgent {
public:
    CTextPlain() : CMIMEContentAgent(kTextPlain) {}
    std::string GetContentTypeString() const override { return "text/plain"; }
    bool AppendPart(const CMIMEPart& part, bool eightBitAllowed, std::string* out,
                    std::string* error) const override;
};

class CAppOctetStream final : public CMIMEContentAgent {
public:
    CAppOctetStream() : CMIMEContentAgent(kApplicationOctetStream) {}
    std::string GetContentTypeString() const override { return "application/octet-stream"; }
    // Only file parts; a part that is not a file is left out.
    bool AppendPart(const CMIMEPart& part, bool eightBitAllowed, std::string* out,
                    std::string* error) const override;
};

class CMIMETypeManager {
public:
    CMIMETypeManager();
    void RegisterType(std::unique_ptr<CMIMEContentAgent> agent);
    // The agent for a code, or nullptr.
    const CMIMEContentAgent* GetHandler(int contentTypeCode) const;

private:
    std::vector<std::unique_ptr<CMIMEContentAgent>> agents_;
};

class CMIMEMessage final : public CMailMessage {
public:
    explicit CMIMEMessage(std::time_t when = std::time(nullptr)) : CMailMessage(when) {}

    void AddMIMEPart(std::string_view content, int contentTypeCode, std::string_view parameters,
                     TransferEncoding encoding, bool isFile);
    // A file attachment: application/octet-stream in Base64.
    void AddFileAttachment(std::string_view path) {
        AddMIMEPart(path, kApplicationOctetStream, "", TransferEncoding::kBase64, true);
    }

protected:
    void FormatHeader() override;
    bool FormatBody(std::string* error) override;

private:
    bool AppendParts(std::string* error);

    std::string mimeType_ = "multipart/mixed";
    std::string boundary_ = kMimeBoundary;
    std::vector<CMIMEPart> parts_;
    CMIMETypeManager types_;
};

// The filename parameter value of a path: its last component, quoted, with quotes and
// backslashes escaped and control characters as blanks (encoded words when not ASCII).
std::string FileNameParameter(std::string_view path);

}  // namespace tw::qorcom::mail
