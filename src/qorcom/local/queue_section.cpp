#include "qorcom/local/queue_section.h"

#include <atomic>
#include <bit>
#include <cstring>

namespace tw::qorcom {
namespace {

constexpr std::size_t kCharBytes = sizeof(char16_t);
// The header's words are little-endian; this host's are too, so they are used as they are.
static_assert(std::endian::native == std::endian::little);

}  // namespace

// A section is mapped at a page boundary, so its words are aligned for atomic access.
std::int32_t QueueSection::Word(std::size_t offset) const {
    auto* word = reinterpret_cast<std::int32_t*>(bytes_.data() + offset);
    return std::atomic_ref<std::int32_t>(*word).load(std::memory_order_acquire);
}

void QueueSection::SetWord(std::size_t offset, std::int32_t value) {
    auto* word = reinterpret_cast<std::int32_t*>(bytes_.data() + offset);
    std::atomic_ref<std::int32_t>(*word).store(value, std::memory_order_release);
}

void QueueSection::Initialise() {
    SetWord(0, 0);
    SetWord(4, 0);
    SetWord(8, static_cast<std::int32_t>(bytes_.size() - kQueueHeaderBytes));
}

// The header must describe this section: its capacity is the section less the header, the
// bytes in use fit the capacity and hold whole characters, every entry takes at least its
// terminator, and the last character in use is a terminator. Entries are then read within the
// bytes in use only.
bool QueueSection::HeaderIsSound() const {
    if (bytes_.size() < kQueueHeaderBytes)
        return false;
    const std::int32_t count = Count();
    const std::uint32_t used = BytesInUse();
    if (Capacity() != bytes_.size() - kQueueHeaderBytes || used > Capacity() ||
        used % kCharBytes != 0 || count < 0)
        return false;
    if ((count == 0) != (used == 0) || std::uint64_t(count) * kCharBytes > used)
        return false;
    if (used == 0)
        return true;
    char16_t last;
    std::memcpy(&last, Data() + used - kCharBytes, kCharBytes);
    return last == u'\0';
}

namespace {

// A NUL would end the entry when it is read back: what follows it is not stored.
std::u16string_view StoredPart(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

std::uint64_t EntryBytes(std::u16string_view stored) {
    return (std::uint64_t(stored.size()) + 1) * kCharBytes;
}

}  // namespace

QueueSection::Outcome QueueSection::Add(std::u16string_view text) {
    if (!HeaderIsSound())
        return Outcome::Corrupt;
    text = StoredPart(text);
    const std::uint64_t entry = EntryBytes(text);
    const std::uint32_t used = BytesInUse();
    if (used + entry >= Capacity())
        return Outcome::Full;
    std::memcpy(Data() + used, text.data(), text.size() * kCharBytes);
    std::memset(Data() + used + text.size() * kCharBytes, 0, kCharBytes);
    SetWord(4, static_cast<std::int32_t>(used + entry));
    SetWord(0, Count() + 1);
    return Outcome::Done;
}

QueueSection::Outcome QueueSection::Front(std::u16string_view* text) const {
    *text = {};
    if (!HeaderIsSound())
        return Outcome::Corrupt;
    if (Count() < 1)
        return Outcome::Empty;
    // The header check makes the last character in use a terminator, so the scan ends within
    // the bytes in use.
    const auto* chars = reinterpret_cast<const char16_t*>(Data());
    std::size_t length = 0;
    while (chars[length] != u'\0') ++length;
    *text = {chars, length};
    return Outcome::Done;
}

void QueueSection::PopFront(std::size_t length) {
    const std::uint32_t used = BytesInUse();
    const auto entry = static_cast<std::uint32_t>((length + 1) * kCharBytes);
    std::memmove(Data(), Data() + entry, used - entry);
    SetWord(4, static_cast<std::int32_t>(used - entry));
    SetWord(0, Count() - 1);
}

QueueSection::Outcome QueueSection::Remove(std::u16string* text) {
    std::u16string_view front;
    const Outcome outcome = Front(&front);
    text->assign(front);
    if (outcome == Outcome::Done)
        PopFront(front.size());
    return outcome;
}

bool QueueSection::LooksEmpty() const {
    return bytes_.size() >= kQueueHeaderBytes && Count() == 0 && BytesInUse() == 0 &&
           Capacity() == bytes_.size() - kQueueHeaderBytes;
}

bool QueueSection::LooksFull(std::u16string_view text) const {
    if (bytes_.size() < kQueueHeaderBytes || Capacity() != bytes_.size() - kQueueHeaderBytes)
        return false;
    const std::uint32_t used = BytesInUse();
    return used <= Capacity() && used + EntryBytes(StoredPart(text)) >= Capacity();
}

QueueSection::Outcome QueueSection::Peek() const {
    if (!HeaderIsSound())
        return Outcome::Corrupt;
    return Count() < 1 ? Outcome::Empty : Outcome::Done;
}

}  // namespace tw::qorcom
