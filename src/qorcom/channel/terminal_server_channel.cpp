#include "qorcom/channel/terminal_server_channel.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comlite/bstr.h"
#include "comlite/text.h"
#include "platform/os_services.h"
#include "platform/system_text.h"
#include "qorcom/frame/exports.h"

namespace tw::qorcom {
namespace {

constexpr const char* kProviderVariable = "QORCOM_CHANNEL_PROVIDER";
constexpr const char* kProviderFileName = "libqorcom-channel.so";

std::string ProviderPath() {
    if (const char* path = std::getenv(kProviderVariable); path && *path)
        return path;
    return ModuleDirectory() + kProviderFileName;
}

// The table, or nullptr when there is no usable provider library.
const QorChannelProvider* LoadProvider() {
    bool loaded = false;
    std::string error;
    void* entry =
        platform::LoadPinnedSymbol(ProviderPath(), QOR_CHANNEL_PROVIDER_SYMBOL, &loaded, &error);
    if (!entry)
        return nullptr;
    const QorChannelProvider* table = reinterpret_cast<QorcomChannelProviderFunction>(entry)();
    if (!table || table->version != QOR_CHANNEL_PROVIDER_VERSION ||
        table->size < sizeof(QorChannelProvider) || !table->VirtualChannelOpen ||
        !table->VirtualChannelWrite || !table->VirtualChannelRead || !table->VirtualChannelClose)
        return nullptr;
    return table;
}

// The first `limit` characters of a name; a surrogate pair is one character.
std::u16string FirstCharacters(const std::u16string& text, std::size_t limit) {
    std::size_t units = 0;
    for (std::size_t characters = 0; units < text.size() && characters < limit; ++characters) {
        const bool pair = text[units] >= 0xD800 && text[units] <= 0xDBFF &&
                          units + 1 < text.size() && text[units + 1] >= 0xDC00 &&
                          text[units + 1] <= 0xDFFF;
        units += pair ? 2 : 1;
    }
    return text.substr(0, units);
}

std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

HRESULT ReturnBool(bool flag, VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    *value = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

}  // namespace

CTerminalServerChannel::CTerminalServerChannel(IUnknown* outer)
    : GenericDispatchObject(outer, "QORCom.TerminalServerChannel") {}

CTerminalServerChannel::~CTerminalServerChannel() {
    CloseChannel();
}

HRESULT CTerminalServerChannel::put_Channel(BSTR value) {
    return Guarded([&]() -> HRESULT {
        name_ = comlite::BstrView(value);
        return S_OK;
    });
}

HRESULT CTerminalServerChannel::get_Channel(BSTR* value) {
    return Guarded([&]() -> HRESULT {
        if (!value)
            return E_POINTER;
        *value = comlite::AllocBstr(name_);
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CTerminalServerChannel::Open() {
    return Guarded([&]() -> HRESULT {
        if (name_.empty())
            return Raise("You must specify a channel before you can open it.", kErrorOperation);
        CloseChannel();
        if (!provider_)
            provider_ = LoadProvider();
        const std::string name = comlite::Utf16ToUtf8(FirstCharacters(name_, kChannelNameLimit));
        QorChannel* channel = nullptr;
        if (!provider_ || provider_->VirtualChannelOpen(name.c_str(), &channel) != 0 || !channel)
            return Raise("Unable to open virtual channel.", kErrorOperation);
        channel_ = channel;
        return S_OK;
    });
}

HRESULT CTerminalServerChannel::Write(const char* bytes, std::uint32_t length) {
    if (!channel_)
        return Raise("Channel not open.", kErrorOperation);
    std::uint32_t written = 0;
    const std::uint32_t error = provider_->VirtualChannelWrite(channel_, bytes, length, &written);
    if (error == 0 && written == length)
        return S_OK;
    // A short write is a failure the caller must hear of: the peer holds a cut message.
    const int number = error != 0 ? static_cast<int>(error) : EIO;
    char text[600];
    std::snprintf(text, sizeof text, "Unable to write data to virtual channel. Error %d. %s",
                  number, platform::SystemErrorText(number).c_str());
    return Raise(text, kErrorOperation);
}

HRESULT CTerminalServerChannel::WriteData(BSTR data, LONG length) {
    return Guarded([&]() -> HRESULT {
        if (!channel_)
            return Raise("Channel not open.", kErrorOperation);
        // Never read past the string: the length comes from the caller.
        if (length < 0 || static_cast<unsigned long>(length) > SysStringByteLen(data))
            return Raise("Length exceeds data.", kErrorOperation);
        return Write(reinterpret_cast<const char*>(data), static_cast<std::uint32_t>(length));
    });
}

HRESULT CTerminalServerChannel::WriteString(BSTR data) {
    return Guarded([&]() -> HRESULT {
        return Write(reinterpret_cast<const char*>(data), SysStringByteLen(data));
    });
}

HRESULT CTerminalServerChannel::ReceiveData(LONG* length, BSTR* data) {
    return Guarded([&]() -> HRESULT {
        if (!length || !data)
            return E_POINTER;
        *length = 0;
        *data = nullptr;
        if (!channel_)
            return Raise("Channel not open.", kErrorOperation);
        unsigned char buffer[kChannelReadBuffer];
        std::uint32_t read = 0;
        if (provider_->VirtualChannelRead(channel_, 0, buffer, sizeof buffer, &read) != 0 ||
            read > sizeof buffer || (read > 0 && read < QOR_CHANNEL_HEADER_SIZE))
            return Raise("Unable to read data from virtual channel.", kErrorOperation);
        const std::uint32_t size = read > 0 ? read - QOR_CHANNEL_HEADER_SIZE : 0;
        if (size > 0) {
            const std::uint32_t flags = LittleEndian32(buffer + 4);
            first_ = (flags & QOR_CHANNEL_FLAG_FIRST) != 0;
            last_ = (flags & QOR_CHANNEL_FLAG_LAST) != 0;
        }
        *data = size > 0
                    ? SysAllocStringByteLen(
                          reinterpret_cast<const char*>(buffer + QOR_CHANNEL_HEADER_SIZE), size)
                    : comlite::AllocBstr(u"");
        if (!*data)
            return E_OUTOFMEMORY;
        *length = static_cast<LONG>(size);
        return S_OK;
    });
}

void CTerminalServerChannel::CloseChannel() {
    if (channel_)
        provider_->VirtualChannelClose(std::exchange(channel_, nullptr));
}

HRESULT CTerminalServerChannel::Close() {
    return Guarded([&]() -> HRESULT {
        CloseChannel();
        return S_OK;
    });
}

HRESULT CTerminalServerChannel::get_First(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT { return ReturnBool(first_, value); });
}

HRESULT CTerminalServerChannel::get_Last(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT { return ReturnBool(last_, value); });
}

}  // namespace tw::qorcom
