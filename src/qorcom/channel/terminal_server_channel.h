#pragma once
// "QORCom.TerminalServerChannel": data exchanged with a static virtual channel of the remote
// desktop client that the program's session serves, through a provider library
// (qorcom/channel/channel_provider.h).
//
// Reads are polls that never wait: each returns at most one chunk with its First and Last
// flags, and the caller joins the chunks of a message. Errors carry code 0x201E.

#include <string>

#include "qorcom/channel/channel_provider.h"
#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/channel.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORTerminalServerChannel> {
    static constexpr const char* kName = "IQORTerminalServerChannel";
    static constexpr IID kIid = IID_IQORTerminalServerChannel;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kTerminalServerChannel;
};

// The read buffer: one chunk's header and data.
inline constexpr unsigned kChannelReadBuffer = QOR_CHANNEL_HEADER_SIZE + QOR_CHANNEL_CHUNK_LENGTH;
// Channel names longer than this are opened by their first characters.
inline constexpr std::size_t kChannelNameLimit = 7;

class CTerminalServerChannel final : public GenericDispatchObject<IQORTerminalServerChannel> {
public:
    explicit CTerminalServerChannel(IUnknown* outer);
    ~CTerminalServerChannel() override;  // closes the channel

    HRESULT STDMETHODCALLTYPE put_Channel(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Channel(BSTR* value) override;
    // Closes any open channel first, then opens the channel by its first 7 characters.
    HRESULT STDMETHODCALLTYPE Open() override;
    // Writes the first `length` bytes of the string's memory (binary data travels as a byte
    // string). A length below 0 or beyond the string's bytes is refused: "Length exceeds
    // data.".
    HRESULT STDMETHODCALLTYPE WriteData(BSTR data, LONG length) override;
    // One pending chunk's data as a byte string, or "" with length 0 when nothing is pending
    // or the chunk carries no data. A chunk shorter than its 8-byte header is a failed read.
    HRESULT STDMETHODCALLTYPE ReceiveData(LONG* length, BSTR* data) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    // The flags of the most recent chunk that carried data.
    HRESULT STDMETHODCALLTYPE get_First(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Last(VARIANT_BOOL* value) override;
    // The string's UTF-16 bytes ("AB" is 4 bytes).
    HRESULT STDMETHODCALLTYPE WriteString(BSTR data) override;

private:
    HRESULT Write(const char* bytes, std::uint32_t length);
    void CloseChannel();

    std::u16string name_;
    const QorChannelProvider* provider_ = nullptr;
    QorChannel* channel_ = nullptr;
    bool first_ = false;
    bool last_ = false;
};

}  // namespace tw::qorcom
