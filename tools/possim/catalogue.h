#pragma once
// What the simulated store sells: departments, items, fuel grades and tanks,
// tenders. Some descriptions carry accented letters and characters that XML
// must escape, so every document exercises the encoding and the escaping of its
// readers.

#include <cstdint>
#include <span>
#include <string_view>

namespace tw::possim {

struct Department {
    int code;  // MerchandiseCode
    std::string_view description;
};

struct Item {
    std::string_view posCode;  // UPC-A, 12 digits with its check digit
    std::string_view itemId;
    std::string_view description;
    int department;
    std::int64_t priceCents;
    bool taxable;
};

struct FuelGrade {
    int id;
    std::string_view description;
    std::int64_t cashPriceMilli;  // price tier 1, thousandths of a currency unit
                                  // per volume unit
    int products[2];              // the tank products it is drawn from (a blend draws from
                                  // two)
};

struct Tank {
    int id;
    int product;
    std::string_view productDescription;
};

struct Tender {
    std::string_view code;
    std::string_view subCode;
};

inline constexpr int kFuelDepartment = 1;
inline constexpr int kFuelPositions = 8;
inline constexpr int kPriceTiers = 2;                    // 1 cash, 2 credit
inline constexpr std::int64_t kCreditMarkupMilli = 100;  // tier 2 costs this much more
inline constexpr int kTaxLevel = 1;
inline constexpr int kTaxRatePercent = 7;

std::span<const Department> Departments();
std::span<const Item> Items();
std::span<const FuelGrade> FuelGrades();
std::span<const Tank> Tanks();
// cash first; the rest are cards.
std::span<const Tender> Tenders();
std::span<const std::string_view> PayoutReasons();

// The description of a department code; empty for an unknown code.
std::string_view DepartmentDescription(int code);

}  // namespace tw::possim
