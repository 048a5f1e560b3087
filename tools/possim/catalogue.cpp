#include "catalogue.h"

namespace tw::possim {

namespace {

constexpr Department kDepartments[] = {
    {1, "Fuel"},
    {101, "Tobacco"},
    {102, "Beer & Wine"},
    {103, "Soft Drinks"},
    {104, "Chips <Salty> & \"Snacks\""},
    {105, "Candy"},
    {106, "Grocery"},
    {107, "Dairy"},
    {108, "Hot Food"},
    {109, "Café & Pâtisserie"},
    {110, "Lottery"},
    {111, "Car Wash"},
    {112, "Health & Beauty"},
    {113, "Automotive"},
    {114, "Crème glacée / Ice Cream"},
    {115, "Store-Made Sandwiches and Wraps Deli"},  // longer than the editors'
                                                    // 30 characters
};

constexpr Item kItems[] = {
    {"049000000443", "1001", "Cola 20oz", 103, 229, true},
    {"012000000133", "1002", "Lemon-Lime 20oz", 103, 229, true},
    {"078000008098", "1003", "Root Beer 2L", 103, 299, true},
    {"028400000086", "1004", "Potato Chips 'Classic'", 104, 199, true},
    {"028400314015", "1005", "Jalapeño Chips", 104, 249, true},
    {"040000000310", "1006", "M&M's Peanut", 105, 189, true},
    {"034000000241", "1007", "Chocolate Bar <King Size>", 105, 219, true},
    {"071891011116", "1008", "Smokes Full Flavor", 101, 899, true},
    {"070470003009", "1009", "Light Beer 6pk", 102, 999, true},
    {"041196001013", "1010", "Rosé Wine 750ml", 102, 1299, true},
    {"071163001012", "1011", "Milk 1gal", 107, 399, false},
    {"037000100102", "1012", "Crème Brûlée Cup", 107, 349, false},
    {"070450000103", "1013", "Bread White", 106, 279, false},
    {"012300005777", "1014", "Motor Oil 5W-30", 113, 799, true},
    {"086600000206", "1015", "Windshield Fluid", 113, 449, true},
    {"018200000164", "1016", "Café au Lait 16oz", 109, 249, true},
    {"049000028904", "1017", "Croissant (Pâte feuilletée)", 109, 199, true},
    {"021000000418", "1018", "Hot Dog", 108, 199, true},
    {"011111000018", "1019", "Pizza Slice", 108, 349, true},
    {"076808500011", "1020", "Aspirin 24ct", 112, 599, true},
    {"099999000122", "1021", "Lottery Scratch $5", 110, 500, false},
    {"078742000015", "1022", "Car Wash Deluxe", 111, 1200, true},
    {"046000100104", "1023", "Ice Cream Bar", 114, 299, true},
    {"070847000501", "1024", "Energy Drink 16oz", 103, 329, true},
    {"031200001016", "1025", "Turkey & Swiss Wrap", 115, 549, true},
};

constexpr FuelGrade kGrades[] = {
    {1, "Regular", 3299, {1, 1}},
    {2, "Plus", 3599, {1, 3}},
    {3, "Premium", 3899, {3, 3}},
    {4, "Diesel", 3999, {4, 4}},
};

constexpr Tank kTanks[] = {
    {1, 1, "Unleaded 87"},
    {2, 1, "Unleaded 87"},
    {3, 3, "Premium 93"},
    {4, 4, "Diesel #2"},
};

constexpr Tender kTenders[] = {
    {"cash", "generic"}, {"credit", "visa"},   {"credit", "mastercard"},
    {"credit", "amex"},  {"debit", "generic"},
};

constexpr std::string_view kPayoutReasons[] = {
    "Vendor: Ice delivery",
    "Lottery payout",
    "Cleaning supplies & \"misc\"",
    "Remboursement café",
};

}  // namespace

std::span<const Department> Departments() {
    return kDepartments;
}
std::span<const Item> Items() {
    return kItems;
}
std::span<const FuelGrade> FuelGrades() {
    return kGrades;
}
std::span<const Tank> Tanks() {
    return kTanks;
}
std::span<const Tender> Tenders() {
    return kTenders;
}
std::span<const std::string_view> PayoutReasons() {
    return kPayoutReasons;
}

std::string_view DepartmentDescription(int code) {
    for (const Department& department : kDepartments) {
        if (department.code == code) {
            return department.description;
        }
    }
    return {};
}

}  // namespace tw::possim
