// The second example program: what the shop's types say a document must be.
//
//     shop_schema            prints the JSON Schema of a shop book, then checks a sample
//                            document holding several mistakes and prints every one
//     shop_schema FILE       prints the schema, then checks FILE; exits with 1 if it fails
//
// Each failure is printed as `FILE:LINE:COLUMN: POINTER: MESSAGE`, the form editors and build
// logs link to the place.

#include <exception>
#include <iostream>
#include <string_view>

#include <sylvane/sylvane.hpp>

#include "shop.hpp"

namespace {

/// A shop book with four mistakes: a quantity as text, an unknown state, a customer without a
/// name, a stock entry without its count.
constexpr std::string_view sample = R"({
  "orders": [
    {"id": 1, "buyer": {"id": 2, "name": "Ada", "ship_to": {"street": "S", "city": "C"}},
     "items": [{"sku": "a", "qty": "2", "price": 1}], "state": "lost", "paid_with": ["Cash"]},
    {"id": 3, "buyer": {"id": 4, "ship_to": {"street": "S", "city": "C"}},
     "items": [], "state": "paid", "paid_with": ["Card", {"last4": "4242"}]}
  ],
  "stock": [["loom-card", 960], ["brass-gear"]]
})";

}  // namespace

int main(int argc, char** argv) {
    try {
        std::cout << Sylvane::write(Sylvane::json_schema<shop::book>(), {.pretty = true}) << '\n';
        const std::string_view file = argc > 1 ? argv[1] : "sample.json";
        const Sylvane::check_result r = argc > 1 ? Sylvane::check_file<shop::book>(argv[1])
                                                 : Sylvane::check<shop::book>(sample);
        if (r.ok()) {
            std::cout << file << ": a shop book\n";
            return 0;
        }
        r.print(std::cout, file);
        return argc > 1 ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
