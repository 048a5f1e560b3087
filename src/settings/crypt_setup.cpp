#include "settings/crypt_setup.h"

#include <openssl/evp.h>

#include <algorithm>

namespace tw {
namespace {

int HexDigitValue(char c) {
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

bool IsPrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::string HexFromBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string BytesFromHex(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(
            static_cast<char>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1])));
    }
    return bytes;
}

std::optional<Rc4Key> DeriveRc4Key(std::string_view passPhrase, Rc4KeyLength length) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_Digest(passPhrase.data(), passPhrase.size(), digest, &digestLength, EVP_md5(),
                   nullptr) != 1 ||
        digestLength != 16) {
        return std::nullopt;
    }
    Rc4Key key{};
    const std::size_t used = length == Rc4KeyLength::k40Bit ? 5 : 16;
    std::copy(digest, digest + used, key.begin());
    return key;
}

Rc4CryptAlgorithm::Rc4CryptAlgorithm(const Rc4Key& key) : key_(key) {
    Reset();
}

void Rc4CryptAlgorithm::Reset() {
    for (std::size_t n = 0; n < state_.size(); ++n) state_[n] = static_cast<std::uint8_t>(n);
    std::uint8_t j = 0;
    for (std::size_t n = 0; n < state_.size(); ++n) {
        j = static_cast<std::uint8_t>(j + state_[n] + key_[n % key_.size()]);
        std::swap(state_[n], state_[j]);
    }
    i_ = 0;
    j_ = 0;
}

std::string Rc4CryptAlgorithm::Apply(std::string_view bytes, bool final) {
    std::string out(bytes);
    for (char& c : out) {
        i_ = static_cast<std::uint8_t>(i_ + 1);
        j_ = static_cast<std::uint8_t>(j_ + state_[i_]);
        std::swap(state_[i_], state_[j_]);
        const auto k = state_[static_cast<std::uint8_t>(state_[i_] + state_[j_])];
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ k);
    }
    if (final)
        Reset();
    return out;
}

std::string Rc4CryptAlgorithm::Encrypt(std::string_view bytes, bool final) {
    return Apply(bytes, final);
}

std::string Rc4CryptAlgorithm::Decrypt(std::string_view bytes, bool final) {
    return Apply(bytes, final);
}

CryptSetup::CryptSetup(std::string_view passPhrase) {
    const auto key = DeriveRc4Key(passPhrase, Rc4KeyLength::k40Bit);
    const auto legacyKey = DeriveRc4Key(passPhrase, Rc4KeyLength::k128Bit);
    if (key && legacyKey) {
        algorithm_ = std::make_unique<Rc4CryptAlgorithm>(*key);
        legacy_ = std::make_unique<Rc4CryptAlgorithm>(*legacyKey);
        providerAvailable_ = true;
    }
}

std::string CryptSetup::Encipher(std::string_view plain) const {
    if (!providerAvailable_)
        return std::string(plain);
    std::lock_guard lock(mutex_);
    return algorithm_->ToHex(algorithm_->Encrypt(plain, true));
}

std::string CryptSetup::Decipher(std::string_view hex) const {
    if (!providerAvailable_)
        return std::string(hex);
    std::lock_guard lock(mutex_);
    const std::string bytes = algorithm_->FromHex(hex);
    std::string plain = algorithm_->Decrypt(bytes, true);
    if (IsPrintableAscii(plain))
        return plain;
    std::string legacyPlain = legacy_->Decrypt(bytes, true);
    return IsPrintableAscii(legacyPlain) ? legacyPlain : plain;
}

const CryptSetup& ProgramCryptSetup() {
    static const CryptSetup instance;
    return instance;
}

}  // namespace tw
