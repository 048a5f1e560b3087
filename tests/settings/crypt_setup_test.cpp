#include <gtest/gtest.h>

#include <random>

#include "settings/crypt_setup.h"

namespace tw {
namespace {

// Values enciphered by the Windows installations with the built-in pass phrase.
struct StoredPassword {
    const char* plain;
    const char* with40BitKey;   // what the program writes
    const char* with128BitKey;  // found in files of other installations
};
constexpr StoredPassword kReference[] = {
    {"secret", "084480AEC6A9", "A6AA648F195A"},
    {"Passw0rd!", "2B4090AFD4ED94D32C", "85AE748E0B1E860FC7"},
};

TEST(CryptSetup, ReproducesTheStoredReferenceValues) {
    const CryptSetup crypt;
    ASSERT_TRUE(crypt.ProviderAvailable());
    for (const auto& reference : kReference) {
        EXPECT_EQ(crypt.Encipher(reference.plain), reference.with40BitKey);
        EXPECT_EQ(crypt.Decipher(reference.with40BitKey), reference.plain);
        EXPECT_EQ(crypt.Decipher(reference.with128BitKey), reference.plain)
            << "a value written with the full 128-bit key is still read";
    }
}

TEST(CryptSetup, EveryValueStartsAtTheBeginningOfTheKeyStream) {
    const CryptSetup crypt;
    EXPECT_EQ(crypt.Encipher("secret"), crypt.Encipher("secret"));
    EXPECT_EQ(crypt.Encipher(""), "") << "an empty password is written as an empty value";
    EXPECT_EQ(crypt.Decipher(""), "");
}

TEST(CryptSetup, LongAndNonAsciiPasswordsComeBack) {
    const CryptSetup crypt;
    std::mt19937 random(20240117);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    for (std::size_t length : {1u, 5u, 16u, 17u, 255u, 256u, 400u}) {
        std::string password;
        for (std::size_t n = 0; n < length; ++n)
            password.push_back(static_cast<char>(printable(random)));
        EXPECT_EQ(crypt.Decipher(crypt.Encipher(password)), password) << length;
    }
    // Neither key gives printable ASCII here; the 40-bit result, the one written, is taken.
    const std::string umlauts = "P\xC3\xA4sswort \xE2\x82\xAC";
    EXPECT_EQ(crypt.Decipher(crypt.Encipher(umlauts)), umlauts);
}

TEST(CryptSetup, LowerCaseHexDoesNotGiveThePasswordBack) {
    const CryptSetup crypt;
    EXPECT_NE(crypt.Decipher("084480aec6a9"), "secret");
}

TEST(HexText, KeepsTheStoredReadingRules) {
    EXPECT_EQ(HexFromBytes(std::string("\x00\x0F\xA5\xFF", 4)), "000FA5FF");
    EXPECT_EQ(BytesFromHex("000FA5FF"), std::string("\x00\x0F\xA5\xFF", 4));
    EXPECT_EQ(BytesFromHex("4A1"), "J") << "an odd last character is ignored";
    EXPECT_EQ(BytesFromHex("a1"), "\x01") << "lower case gives 0";
    EXPECT_EQ(BytesFromHex("G1Z2"), std::string("\x01\x02", 2)) << "other characters give 0";
    EXPECT_EQ(BytesFromHex(""), "");
}

TEST(Rc4CryptAlgorithm, StateCarriesOverUntilTheFinalCall) {
    const auto key = DeriveRc4Key(CryptSetup::kPassPhrase, Rc4KeyLength::k40Bit);
    ASSERT_TRUE(key);
    Rc4CryptAlgorithm rc4(*key);
    const std::string whole = rc4.Encrypt("secret", true);
    std::string parts = rc4.Encrypt("sec", false);
    parts += rc4.Encrypt("ret", true);
    EXPECT_EQ(parts, whole);
    EXPECT_EQ(rc4.Decrypt(whole, true), "secret");
}

}  // namespace
}  // namespace tw
