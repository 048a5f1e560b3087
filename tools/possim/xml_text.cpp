#include "xml_text.h"

#include <cstdio>

#include "platform/system_text.h"

namespace tw::possim {

namespace {

// Decodes one UTF-8 sequence at text[pos]; advances pos. -1 for a malformed
// sequence (pos then moves past one byte).
long DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int length = 0;
    long code = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        ++pos;
        return -1;
    }
    if (pos + length > text.size()) {
        ++pos;
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return -1;
        }
        code = (code << 6) | (next & 0x3F);
    }
    static constexpr long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++pos;
        return -1;
    }
    pos += length;
    return code;
}

bool AllowedInXml(long code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

void AppendReference(std::string& out, long code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&#%ld;", code);
    out += buffer;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool quotes, bool latin1) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const long code = DecodeUtf8(text, pos);
        if (code < 0 || !AllowedInXml(code)) {
            out += '?';
            continue;
        }
        switch (code) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '\r':
                out += "&#13;";
                continue;
            case '"':
                if (quotes) {
                    out += "&quot;";
                    continue;
                }
                break;
            case '\n':
            case '\t':
                // Attribute values normalise these to blanks unless written as
                // references.
                if (quotes) {
                    AppendReference(out, code);
                    continue;
                }
                break;
            default:
                break;
        }
        if (!latin1) {
            out.append(text.substr(start, pos - start));
        } else if (code <= 0xFF) {
            out += static_cast<char>(static_cast<unsigned char>(code));
        } else {
            AppendReference(out, code);
        }
    }
}

XmlTextWriter::XmlTextWriter(XmlStyle style) : style_(std::move(style)) {}

void XmlTextWriter::Prolog() {
    if (style_.bom && !style_.latin1) {
        buffer_ += "\xEF\xBB\xBF";
    }
    buffer_ += style_.latin1 ? R"(<?xml version="1.0" encoding="ISO-8859-1"?>)"
                             : R"(<?xml version="1.0" encoding="UTF-8"?>)";
    EndLine();
    if (!style_.doctype.empty()) {
        buffer_ += style_.doctype;
        EndLine();
    }
}

void XmlTextWriter::StartLine() {
    buffer_.append(open_.size() * 2, ' ');
}

void XmlTextWriter::EndLine() {
    buffer_ += style_.crlf ? "\r\n" : "\n";
}

void XmlTextWriter::AppendAttributes(XmlAttributes attributes) {
    for (const auto& [name, value] : attributes) {
        buffer_ += ' ';
        buffer_ += name;
        buffer_ += "=\"";
        AppendEscaped(buffer_, value, true, style_.latin1);
        buffer_ += '"';
    }
}

void XmlTextWriter::Open(std::string_view name, XmlAttributes attributes) {
    StartLine();
    buffer_ += '<';
    buffer_ += name;
    AppendAttributes(attributes);
    buffer_ += '>';
    EndLine();
    open_.emplace_back(name);
}

void XmlTextWriter::Close() {
    if (open_.empty()) {
        return;
    }
    const std::string name = std::move(open_.back());
    open_.pop_back();
    StartLine();
    buffer_ += "</";
    buffer_ += name;
    buffer_ += '>';
    EndLine();
}

void XmlTextWriter::CloseAll() {
    while (!open_.empty()) {
        Close();
    }
}

void XmlTextWriter::Leaf(std::string_view name, std::string_view text, XmlAttributes attributes) {
    StartLine();
    buffer_ += '<';
    buffer_ += name;
    AppendAttributes(attributes);
    buffer_ += '>';
    AppendEscaped(buffer_, text, false, style_.latin1);
    buffer_ += "</";
    buffer_ += name;
    buffer_ += '>';
    EndLine();
}

void XmlTextWriter::Empty(std::string_view name, XmlAttributes attributes) {
    StartLine();
    buffer_ += '<';
    buffer_ += name;
    AppendAttributes(attributes);
    buffer_ += "/>";
    EndLine();
}

void XmlTextWriter::Truncate(std::size_t size) {
    if (size < buffer_.size()) {
        buffer_.resize(size);
    }
}

std::string XmlTextWriter::TakeBuffered() {
    std::string out;
    out.swap(buffer_);
    return out;
}

bool XmlOutputFile::Open() {
    failed_ = !writer_.Open();
    return !failed_;
}

bool XmlOutputFile::Drain(XmlTextWriter& xml, std::size_t threshold) {
    if (failed_) {
        return false;
    }
    if (xml.Buffered() >= threshold && !writer_.Write(xml.TakeBuffered())) {
        failed_ = true;
    }
    return !failed_;
}

bool XmlOutputFile::Finish(XmlTextWriter& xml) {
    if (!Drain(xml, 0)) {
        writer_.Abandon();
        return false;
    }
    failed_ = !writer_.Commit();
    return !failed_;
}

std::string XmlOutputFile::ErrorText() const {
    return writer_.TargetPath() + ": " + platform::SystemErrorText(writer_.Error());
}

}  // namespace tw::possim
