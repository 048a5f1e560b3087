#pragma once
// Protection of the dial-up password in the SETUP file: RC4 over a key derived from MD5 of a
// pass phrase built into the program, stored as upper-case hexadecimal text.
//
// The key is the one the old Windows default provider derived: the first 5 bytes of the MD5
// hash followed by 11 zero bytes, used as a 16-byte RC4 key. Values written with the full
// 16-byte hash as the key are still read (see CryptSetup::Decipher).

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Upper-case hexadecimal, two characters per byte, high nibble first.
std::string HexFromBytes(std::string_view bytes);

// The reading rule of stored hex text, kept as it always was: characters are taken in pairs
// (an odd last character is ignored); "1"-"9" give 1-9 and "A"-"F" give 10-15; every other
// character, "0" and lower-case letters included, gives 0.
std::string BytesFromHex(std::string_view text);

// A symmetric cipher over byte strings (bytes are held in std::string).
class CryptAlgorithm {
public:
    virtual ~CryptAlgorithm() = default;
    // With final = false the cipher state carries over to the next call; with final = true the
    // next call starts again at the beginning of the key stream. An empty result means failure
    // (or empty input).
    virtual std::string Encrypt(std::string_view bytes, bool final) = 0;
    virtual std::string Decrypt(std::string_view bytes, bool final) = 0;
    virtual std::string ToHex(std::string_view bytes) const { return HexFromBytes(bytes); }
    virtual std::string FromHex(std::string_view text) const { return BytesFromHex(text); }
};

using Rc4Key = std::array<std::uint8_t, 16>;

enum class Rc4KeyLength {
    k40Bit,   // 5 bytes of the hash, 11 zero bytes: what the program writes
    k128Bit,  // the whole hash: found in values written by other installations
};

// MD5 of the pass phrase shaped into an RC4 key; nullopt when MD5 is unavailable (for example
// refused by a FIPS configuration of OpenSSL).
std::optional<Rc4Key> DeriveRc4Key(std::string_view passPhrase, Rc4KeyLength length);

// RC4 with a fixed key. Not thread-safe (the stream state is shared between calls).
class Rc4CryptAlgorithm final : public CryptAlgorithm {
public:
    explicit Rc4CryptAlgorithm(const Rc4Key& key);
    std::string Encrypt(std::string_view bytes, bool final) override;
    std::string Decrypt(std::string_view bytes, bool final) override;

private:
    void Reset();
    std::string Apply(std::string_view bytes, bool final);

    Rc4Key key_;
    std::array<std::uint8_t, 256> state_{};
    std::uint8_t i_ = 0, j_ = 0;
};

// Enciphers and deciphers the dial-up password. Thread-safe.
class CryptSetup {
public:
    // The pass phrase built into the program.
    static constexpr std::string_view kPassPhrase = "R7t204w11x";

    explicit CryptSetup(std::string_view passPhrase = kPassPhrase);
    CryptSetup(const CryptSetup&) = delete;
    CryptSetup& operator=(const CryptSetup&) = delete;

    // False when no key could be derived; the password is then stored as plain text.
    bool ProviderAvailable() const { return providerAvailable_; }

    // Plain text -> hex text of the ciphered bytes (empty for an empty password).
    std::string Encipher(std::string_view plain) const;

    // Hex text -> plain text. Deciphered with the 40-bit key; when that result holds anything
    // but printable ASCII and the 128-bit key gives printable ASCII, the value was written with
    // the 128-bit key and that result is taken.
    std::string Decipher(std::string_view hex) const;

private:
    bool providerAvailable_ = false;
    mutable std::mutex mutex_;
    std::unique_ptr<CryptAlgorithm> algorithm_;  // 40-bit key
    std::unique_ptr<CryptAlgorithm> legacy_;     // 128-bit key
};

// The program-wide object, made on first use.
const CryptSetup& ProgramCryptSetup();

}  // namespace tw
