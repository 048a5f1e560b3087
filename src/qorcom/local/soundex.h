#pragma once
// "QORCom.Soundex": phonetic codes of names and a similarity score of two names. The codes are
// compared with codes stored earlier, so the coding never changes:
//   - the first letter is kept, then up to three digits from the letter table
//     (BFPV 1, CGJKQSXZ 2, DT 3, L 4, MN 5, R 6; AEHIOUWY are skipped), padded with spaces to
//     five characters ("Robert" "R163 ", "Lee" "L    ");
//   - a letter whose digit equals the last digit written is skipped even across skipped
//     letters ("Tymczak" "T52  "), and the first letter's own digit does not count as written
//     ("Pfister" "P123 ");
//   - the walk stops at the first non-letter, so only the first word is coded; a word that does
//     not start with a letter has the empty code.
// Letters are A to Z in either case; every other character, whatever the locale, is a
// non-letter.

#include <string>
#include <string_view>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

// The code of the first word of text (UTF-8).
std::string SoundexCode(std::string_view text);

// Each text is split into words (a word starts at the first character and at each letter that
// follows a non-letter) and each word coded. For every code of one list, every equal code of
// the other adds 1, plus kSameIndexBonus when both stand at the same place in their lists; this
// is done both ways and the sum divided by the number of codes of both lists (0 when both are
// empty). Empty codes never match: "12" against "34" scores 0, not as two equal names. So
// "Ann Smith" against itself scores 1.5, against "Smith Ann" 1.0.
inline constexpr double kSameIndexBonus = 0.5;
double SoundexPercentage(std::string_view text1, std::string_view text2);

template <>
struct InterfaceTraits<IQORSoundex> {
    static constexpr const char* kName = "IQORSoundex";
    static constexpr IID kIid = IID_IQORSoundex;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kSoundex;
};

// Both members return E_POINTER for a null string or out pointer, and raise nothing.
class CSoundex final : public GenericDispatchObject<IQORSoundex> {
public:
    explicit CSoundex(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.Soundex") {}

    HRESULT STDMETHODCALLTYPE Soundex(BSTR text, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE SoundexPercentage(BSTR text1, BSTR text2, double* value) override;
};

}  // namespace tw::qorcom
