#include "qorcom/mail/mime_parser.h"

#include <algorithm>
#include <map>

#include "qorcom/common/base64.h"
#include "qorcom/mail/mime_codecs.h"

namespace tw::qorcom::mail {
namespace {

constexpr std::size_t kMaxNameBytes = 200;
constexpr std::size_t kMaxExtensionBytes = 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Walks the lines of a text; a line ends at LF, and a CR before it is not part of the line.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    // The next line; false at the end of the text. *start is its offset.
    bool Next(std::string_view* line, std::size_t* start) {
        if (at_ >= text_.size())
            return false;
        *start = at_;
        const std::size_t end = text_.find('\n', at_);
        std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        at_ = end == std::string_view::npos ? text_.size() : end + 1;
        if (stop > *start && text_[stop - 1] == '\r')
            --stop;
        *line = text_.substr(*start, stop - *start);
        return true;
    }
    std::size_t Offset() const { return at_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

struct HeaderField {
    std::string name;  // lower case
    std::string value;
};

struct Entity {
    std::vector<HeaderField> fields;
    std::string_view body;

    const std::string* Find(std::string_view name) const {
        for (const HeaderField& f : fields)
            if (f.name == name)
                return &f.value;
        return nullptr;
    }
};

bool LooksLikeFieldLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c <= 32 || c >= 127)
            return false;
    }
    return true;
}

// The header fields, unfolded, and the body after the empty line. A line that is neither a
// field nor a continuation ends the header without being consumed: it belongs to the body.
Entity SplitEntity(std::string_view text) {
    Entity entity;
    Lines lines(text);
    std::string_view line;
    std::size_t start = 0;
    std::size_t bodyStart = text.size();
    while (lines.Next(&line, &start)) {
        if (line.empty()) {
            bodyStart = lines.Offset();
            break;
        }
        if (IsBlank(line.front()) && !entity.fields.empty()) {
            entity.fields.back().value += line;  // unfolding removes only the line break
            continue;
        }
        if (!LooksLikeFieldLine(line)) {
            bodyStart = start;
            break;
        }
        const std::size_t colon = line.find(':');
        entity.fields.push_back(
            {Lower(line.substr(0, colon)), std::string(line.substr(colon + 1))});
    }
    for (HeaderField& f : entity.fields) f.value = std::string(Trim(f.value));
    entity.body = text.substr(bodyStart);
    return entity;
}

// A Content-Type or Content-Disposition value: its main token (lower case) and parameters
// (names lower case; RFC 2231 extended and continued values already joined and decoded).
struct HeaderValue {
    std::string token;
    std::map<std::string, std::string> params;

    std::string Param(const std::string& name) const {
        const auto it = params.find(name);
        return it == params.end() ? std::string() : it->second;
    }
};

struct RawParam {
    std::string name;
    std::string value;
};

std::vector<RawParam> ReadParams(std::string_view text) {
    std::vector<RawParam> params;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (IsBlank(text[i]) || text[i] == ';' || text[i] == '\r' || text[i] == '\n'))
            ++i;
        const std::size_t nameStart = i;
        while (i < text.size() && text[i] != '=' && text[i] != ';') ++i;
        const std::string name = Lower(Trim(text.substr(nameStart, i - nameStart)));
        if (i >= text.size() || text[i] == ';') {
            continue;  // a parameter without a value is ignored
        }
        ++i;  // '='
        while (i < text.size() && IsBlank(text[i])) ++i;
        std::string value;
        if (i < text.size() && text[i] == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                value += text[i++];
            }
            ++i;  // closing quote (or the end)
        } else {
            const std::size_t valueStart = i;
            while (i < text.size() && text[i] != ';' && !IsBlank(text[i]) && text[i] != '"') ++i;
            value = std::string(text.substr(valueStart, i - valueStart));
            while (i < text.size() && text[i] != ';')
                ++i;  // anything after a value up to the next ";" is not the value's
        }
        if (!name.empty())
            params.push_back({name, value});
    }
    return params;
}

// Joins "name*0*", "name*1" ... and decodes "name*" (charset'language'%XX) into "name".
void ResolveExtendedParams(const std::vector<RawParam>& raw,
                           std::map<std::string, std::string>* params) {
    struct Section {
        std::string value;
        bool encoded;
    };
    std::map<std::string, std::map<int, Section>> extended;
    for (const RawParam& p : raw) {
        if (p.name.find('*') == std::string::npos) {
            params->emplace(p.name, p.value);  // the first of a repeated name wins
            continue;
        }
        // "name*" (encoded), "name*N" (a section), "name*N*" (an encoded section).
        std::string name = p.name;
        const bool encoded = name.back() == '*';
        if (encoded)
            name.pop_back();
        const std::size_t star = name.find('*');
        int section = 0;
        if (star != std::string::npos) {
            const std::string number = name.substr(star + 1);
            if (number.empty() || number.size() > 4 ||
                number.find_first_not_of("0123456789") != std::string::npos)
                continue;
            section = std::stoi(number);
            name.resize(star);
        }
        extended[name].emplace(section, Section{p.value, encoded});
    }
    for (const auto& [base, sections] : extended) {
        std::string charset;
        std::string bytes;
        bool first = true;
        for (const auto& [number, section] : sections) {
            std::string_view value = section.value;
            if (first && section.encoded) {
                // charset'language'value
                const std::size_t q1 = value.find('\'');
                const std::size_t q2 = q1 == std::string_view::npos ? q1 : value.find('\'', q1 + 1);
                if (q2 != std::string_view::npos) {
                    charset = std::string(value.substr(0, q1));
                    value = value.substr(q2 + 1);
                }
            }
            first = false;
            bytes += section.encoded ? PercentDecode(value) : std::string(value);
        }
        (*params)[base] = CharsetToUtf8(bytes, charset);
    }
}

HeaderValue ParseHeaderValue(std::string_view value) {
    HeaderValue parsed;
    const std::size_t semicolon = value.find(';');
    parsed.token = Lower(Trim(value.substr(0, semicolon)));
    if (semicolon != std::string_view::npos)
        ResolveExtendedParams(ReadParams(value.substr(semicolon + 1)), &parsed.params);
    return parsed;
}

// The parts of a multipart body: the stretches between delimiter lines ("--" + boundary, then
// only blanks), each without the line break before the next delimiter. A closing delimiter
// ("--" + boundary + "--") ends the parts; without one the last part runs to the end. The
// preamble and the epilogue are not parts.
std::vector<std::string_view> SplitParts(std::string_view body, const std::string& boundary) {
    const std::string delimiter = "--" + boundary;
    std::vector<std::string_view> parts;
    Lines lines(body);
    std::string_view line;
    std::size_t start = 0;
    std::size_t partStart = std::string_view::npos;
    while (lines.Next(&line, &start)) {
        if (line.size() < delimiter.size() || line.compare(0, delimiter.size(), delimiter) != 0)
            continue;
        std::string_view rest = line.substr(delimiter.size());
        const bool closing = rest.size() >= 2 && rest.compare(0, 2, "--") == 0;
        if (closing)
            rest.remove_prefix(2);
        if (!Trim(rest).empty())
            continue;  // the boundary is only the start of some other text
        if (partStart != std::string_view::npos) {
            // The line break before the delimiter belongs to the delimiter.
            std::size_t end = start;
            if (end > partStart && body[end - 1] == '\n')
                --end;
            if (end > partStart && body[end - 1] == '\r')
                --end;
            parts.push_back(body.substr(partStart, end - partStart));
        }
        if (closing)
            return parts;
        partStart = lines.Offset();
    }
    if (partStart != std::string_view::npos)
        parts.push_back(body.substr(partStart));
    return parts;
}

std::string DecodeTransfer(std::string_view body, const std::string* encoding) {
    const std::string coding = encoding ? Lower(Trim(*encoding)) : std::string();
    if (coding == "base64")
        return Base64DecodeLenient(body);
    if (coding == "quoted-printable")
        return QuotedPrintableDecode(body);
    return std::string(body);  // 7bit, 8bit, binary, and codings we do not know
}

bool IsTextType(const std::string& type) {
    return type == "text/plain" || type == "text/xml";
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

class Walker {
public:
    explicit Walker(ParsedMail* mail) : mail_(*mail) {}

    void Walk(const Entity& entity, int depth) {
        const std::string* typeField = entity.Find("content-type");
        HeaderValue type = ParseHeaderValue(typeField ? *typeField : "text/plain");
        if (type.token.empty())
            type.token = "text/plain";
        const std::string boundary = type.Param("boundary");
        if (type.token.starts_with("multipart/") && !boundary.empty() && depth < kMaxNesting) {
            std::vector<std::string_view> parts = SplitParts(entity.body, boundary);
            if (!parts.empty()) {
                WalkParts(parts, type.token == "multipart/alternative", depth);
                return;
            }
        }
        Leaf(entity, type);
    }

private:
    void WalkParts(const std::vector<std::string_view>& parts, bool alternative, int depth) {
        std::vector<Entity> entities;
        entities.reserve(parts.size());
        for (std::string_view part : parts) entities.push_back(SplitEntity(part));
        if (alternative) {
            // The alternatives say the same thing; the text one is what the reader wants.
            for (const Entity& e : entities) {
                if (IsTextLeaf(e)) {
                    Walk(e, depth + 1);
                    return;
                }
            }
        }
        for (const Entity& e : entities) Walk(e, depth + 1);
    }

    static bool IsTextLeaf(const Entity& e) {
        const std::string* typeField = e.Find("content-type");
        const HeaderValue type = ParseHeaderValue(typeField ? *typeField : "text/plain");
        return (type.token.empty() || IsTextType(type.token)) && !IsAttachmentDisposition(e);
    }

    static bool IsAttachmentDisposition(const Entity& e) {
        const std::string* disposition = e.Find("content-disposition");
        return disposition && ParseHeaderValue(*disposition).token == "attachment";
    }

    void Leaf(const Entity& entity, const HeaderValue& type) {
        std::string bytes = DecodeTransfer(entity.body, entity.Find("content-transfer-encoding"));
        if (IsTextType(type.token) && !IsAttachmentDisposition(entity)) {
            std::string charset = type.Param("charset");
            // Eight-bit text that names no set and is not UTF-8 came from a Windows mailer;
            // read as UTF-8 its letters would turn into replacement characters.
            if (charset.empty() && !IsUtf8(bytes))
                charset = "windows-1252";
            AppendText(CharsetToUtf8(bytes, charset));
            return;
        }
        std::string name;
        if (const std::string* disposition = entity.Find("content-disposition"))
            name = ParseHeaderValue(*disposition).Param("filename");
        if (name.empty())
            name = type.Param("file");
        if (name.empty())
            name = type.Param("name");
        MailAttachment attachment;
        attachment.fileName =
            CleanAttachmentName(DecodeEncodedWords(name), mail_.attachments.size() + 1);
        attachment.contentType = type.token;
        attachment.bytes = std::move(bytes);
        mail_.attachments.push_back(std::move(attachment));
    }

    void AppendText(const std::string& text) {
        if (!mail_.body.empty() && mail_.body.back() != '\n')
            mail_.body += "\r\n";
        mail_.body += text;
    }

    ParsedMail& mail_;
};

// The length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;  // overlong forms, surrogates, beyond U+10FFFF
    return length;
}

// The first n bytes of text, cut back to a whole UTF-8 character.
std::string_view CutUtf8(std::string_view text, std::size_t n) {
    if (text.size() <= n)
        return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

}  // namespace

std::string CleanAttachmentName(std::string_view name, std::size_t index) {
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    std::string clean;
    clean.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = Utf8SequenceLength(name, i);
        if (length == 0) {
            clean += '_';
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(name[i]);
        if (length == 1 && (c < 0x20 || c == 0x7F ||
                            std::string_view("<>:\"|?*").find(name[i]) != std::string_view::npos))
            clean += '_';
        else
            clean.append(name.substr(i, length));
        i += length;
    }
    const auto first = clean.find_first_not_of(". \t");
    const auto last = clean.find_last_not_of(". \t");
    clean = first == std::string::npos ? std::string() : clean.substr(first, last - first + 1);
    if (clean.size() > kMaxNameBytes) {
        const std::size_t dot = clean.rfind('.');
        std::string_view extension;
        if (dot != std::string::npos && clean.size() - dot <= kMaxExtensionBytes)
            extension = std::string_view(clean).substr(dot);
        const std::string_view stem =
            CutUtf8(std::string_view(clean).substr(0, clean.size() - extension.size()),
                    kMaxNameBytes - extension.size());
        clean = std::string(stem) + std::string(extension);
    }
    if (clean.empty())
        clean = "attachment" + std::to_string(index);
    return clean;
}

std::vector<std::string> SplitAddressList(std::string_view value) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    bool quoted = false;
    int angle = 0, comment = 0;
    const auto take = [&](std::size_t end) {
        const std::string_view entry = Trim(value.substr(start, end - start));
        if (!entry.empty())
            entries.emplace_back(entry);
        start = end + 1;
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (c == '<' && comment == 0) {
            ++angle;
        } else if (c == '>' && angle > 0 && comment == 0) {
            --angle;
        } else if (c == ',' && angle == 0 && comment == 0) {
            take(i);
        }
    }
    take(value.size());
    return entries;
}

ParsedMail ParseMail(std::string_view message) {
    ParsedMail mail;
    const Entity entity = SplitEntity(message);
    const auto text = [&](const char* name) {
        const std::string* value = entity.Find(name);
        return value ? DecodeEncodedWords(*value) : std::string();
    };
    const auto addresses = [&](const char* name) {
        std::vector<std::string> list;
        if (const std::string* value = entity.Find(name))
            for (const std::string& entry : SplitAddressList(*value))
                list.push_back(DecodeEncodedWords(entry));
        return list;
    };
    mail.from = text("from");
    mail.subject = text("subject");
    mail.date = text("date");
    mail.to = addresses("to");
    mail.cc = addresses("cc");
    mail.bcc = addresses("bcc");
    Walker(&mail).Walk(entity, 0);
    return mail;
}

}  // namespace tw::qorcom::mail
