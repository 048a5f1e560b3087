#pragma once
// The bytes of a shared queue: a 12-byte header of little-endian 32-bit words (number of
// entries, bytes of the data area in use, capacity of the data area) and the data area, which
// holds the entries oldest first, back to back, each a UTF-16 string followed by its 2-byte
// terminating zero. Peers that map the same section read and write this layout, so it stays
// exactly as it is.
//
// The section is shared with other processes and is not trusted: every operation first checks
// the header against the section's size and reads entries only within the bytes in use, so a
// damaged section gives Corrupt, never a read or write outside it. The caller holds the
// section's mutex around every call but LooksEmpty. The header words are read and written
// whole (atomically), so that LooksEmpty sees each as it was before or after a change.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tw::qorcom {

inline constexpr std::uint32_t kQueueHeaderBytes = 12;
// The size of a section its creator makes: a data area of 131060 bytes.
inline constexpr std::uint32_t kQueueSectionBytes = 0x20000;

class QueueSection {
public:
    enum class Outcome {
        Done,
        Empty,    // Remove: nothing queued
        Full,     // Add: the entry (with its terminator) must leave at least one byte free
        Corrupt,  // the header does not fit the section, or the entries do not fit the header
    };

    explicit QueueSection(std::span<std::byte> bytes) : bytes_(bytes) {}

    // Writes an empty queue's header for the whole section. The section must hold at least
    // the header.
    void Initialise();

    // Appends the text up to its first NUL character (a NUL would split the entry in two when
    // it is read back, so what follows it is not stored).
    Outcome Add(std::u16string_view text);
    // The oldest entry, without taking it: a view into the section, valid until the section
    // changes (so only while the mutex stays held).
    Outcome Front(std::u16string_view* text) const;
    // Drops the oldest entry, of `length` characters, as Front gave it under the same hold of
    // the mutex.
    void PopFront(std::size_t length);
    // Front and PopFront in one.
    Outcome Remove(std::u16string* text);
    // Done when entries are queued, Empty when none.
    Outcome Peek() const;

    // True when the header says, at this instant, that nothing is queued; may be called without
    // the mutex (a peer that is adding has not yet counted its entry, so the queue was empty
    // when we looked). Lets a caller that polls an empty queue leave the mutex to the others.
    bool LooksEmpty() const;
    // The same for Add: true when, at this instant, the text (up to its first NUL) does not
    // fit. Lets an adder that retries on a full queue leave the mutex to the taker.
    bool LooksFull(std::u16string_view text) const;

    std::int32_t Count() const { return Word(0); }
    std::uint32_t BytesInUse() const { return static_cast<std::uint32_t>(Word(4)); }
    std::uint32_t Capacity() const { return static_cast<std::uint32_t>(Word(8)); }

private:
    bool HeaderIsSound() const;
    std::int32_t Word(std::size_t offset) const;
    void SetWord(std::size_t offset, std::int32_t value);
    std::byte* Data() const { return bytes_.data() + kQueueHeaderBytes; }

    std::span<std::byte> bytes_;
};

}  // namespace tw::qorcom
