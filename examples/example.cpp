// The example program: a small shop's orders as typed C++ values.
//
// It reads a JSON document (the one below, or the file named by the first argument), converts it
// to typed values with derived converters, prints them, converts them back and writes JSON.
// Then it feeds a handful of malformed documents to the same converters and prints, for each
// failure, its message, where it sits (JSON Pointer, line and column) and the offending subtree.

#include <cstdint>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <sylvane/derive/derive.hpp>
#include <sylvane/sylvane.hpp>

#include "shop.hpp"

namespace shop {

std::string_view name_of(status s) {
    switch (s) {
        case status::pending: return "pending";
        case status::paid: return "paid";
        case status::shipped: return "shipped";
    }
    return "?";
}

void print(std::ostream& out, const book& b) {
    for (const order& o : b.orders) {
        out << "order " << o.id << " (" << name_of(o.state) << ") for " << o.buyer.name << ", "
            << o.buyer.ship_to.street << ", " << o.buyer.ship_to.city;
        if (o.buyer.ship_to.zip) out << ' ' << *o.buyer.ship_to.zip;
        out << (o.buyer.email ? ", " + *o.buyer.email : std::string(", no e-mail")) << '\n';
        double total = 0;
        for (const line& l : o.items) {
            out << "  " << l.qty << " x " << l.sku << " at " << l.price << '\n';
            total += static_cast<double>(l.qty) * l.price;
        }
        out << "  total " << total << ", paid by ";
        if (const auto* c = std::get_if<card>(&o.paid_with)) {
            out << "card ending " << c->last4;
        } else if (const auto* t = std::get_if<transfer>(&o.paid_with)) {
            out << "transfer from " << std::get<0>(*t) << " ref " << std::get<1>(*t);
        } else {
            out << "cash";
        }
        if (o.note) out << "; note: " << *o.note;
        out << '\n';
    }
    b.stock.iter([&](const std::string& sku, std::int64_t n) {
        out << "stock " << sku << ": " << n << '\n';
    });
}

constexpr std::string_view default_document = R"({
  "orders": [
    {
      "id": 1001,
      "buyer": {"id": 7, "name": "Ada Byron",
                "ship_to": {"street": "12 St James's Square", "city": "London", "zip": "SW1Y 4JH"},
                "email": "ada@example.org"},
      "items": [{"sku": "loom-card", "qty": 40, "price": 0.25},
                {"sku": "brass-gear", "qty": 3, "price": 12.5}],
      "state": ["paid"],
      "paid_with": ["Card", {"last4": "4242"}],
      "note": null
    },
    {
      "id": 1002,
      "buyer": {"id": 9, "name": "Charles Babbage", "ship_to": {"street": "1 Dorset Street", "city": "London"}},
      "items": [{"sku": "difference-engine", "qty": 1, "price": 17000}],
      "state": "shipped",
      "paid_with": ["Transfer", "GB29 NWBK 6016 1331 9268 19", "DE-2"],
      "note": "fragile"
    }
  ],
  "stock": [["loom-card", 960], ["brass-gear", 17]]
})";

/// Malformed variants of the document, one fault each.
struct bad_document {
    std::string_view fault;
    std::string_view text;
};
constexpr bad_document bad_documents[] = {
    {"a quantity given as a string",
     R"({"orders": [{"id": 1, "buyer": {"id": 2, "name": "N", "ship_to": {"street": "S", "city": "C"}},
        "items": [{"sku": "a", "qty": 1, "price": 1}, {"sku": "b", "qty": "2", "price": 1}],
        "state": "paid", "paid_with": "Cash"}], "stock": []})"},
    {"an unknown order state",
     R"({"orders": [{"id": 1, "buyer": {"id": 2, "name": "N", "ship_to": {"street": "S", "city": "C"}},
        "items": [], "state": "lost", "paid_with": "Cash"}], "stock": []})"},
    {"a customer without a name",
     R"({"orders": [{"id": 1, "buyer": {"id": 2, "ship_to": {"street": "S", "city": "C"}},
        "items": [], "state": "paid", "paid_with": "Cash"}], "stock": []})"},
    {"a card payment without the card",
     R"({"orders": [{"id": 1, "buyer": {"id": 2, "name": "N", "ship_to": {"street": "S", "city": "C"}},
        "items": [], "state": "paid", "paid_with": ["Card"]}], "stock": []})"},
    {"a field the record does not have", R"({"orders": [], "stock": [], "coupon": "FREE"})"},
    {"a field given twice", R"({"orders": [], "stock": [], "orders": []})"},
    {"a stock entry without its count",
     R"({"orders": [], "stock": [["loom-card", 960], ["brass-gear"]]})"},
};

/// Converts `text` to a book, or prints why it cannot be.
std::optional<book> convert(std::string_view text) {
    const Sylvane::positioned doc = Sylvane::read_with_positions(text);
    try {
        return Sylvane::of_yojson<book>(doc.tree);
    } catch (const Sylvane::Treeform::Of_yojson_error& e) {
        std::cout << "  failure: " << e.message() << '\n';
        const auto pointer = Sylvane::locate(doc.tree, e);
        std::cout << "  at:      "
                  << (!pointer           ? "(outside the document)"
                      : pointer->empty() ? "(the whole document)"
                                         : *pointer);
        if (auto p = doc.positions.position_of(e.tree_address())) {
            std::cout << " (line " << p->line << ", column " << p->column << ')';
        }
        std::cout << "\n  subtree: " << Sylvane::write(e.tree()) << '\n';
        return std::nullopt;
    }
}

}  // namespace shop

int main(int argc, char** argv) {
    try {
        const Sylvane::yojson tree =
            argc > 1 ? Sylvane::read_file(argv[1]) : Sylvane::read(shop::default_document);
        const auto b = Sylvane::of_yojson<shop::book>(tree);
        std::cout << "Typed values:\n";
        shop::print(std::cout, b);

        const Sylvane::yojson back = Sylvane::yojson_of(b);
        std::cout << "\nBack to JSON:\n"
                  << Sylvane::write(back, {.pretty = true}) << "\n\nMalformed documents:\n";

        for (const auto& bad : shop::bad_documents) {
            std::cout << "- " << bad.fault << '\n';
            if (shop::convert(bad.text)) std::cout << "  accepted\n";
        }
        std::cout << "- the extra field again, with record_check_extra_fields set to false\n";
        *Sylvane::Treeform::record_check_extra_fields = false;
        if (shop::convert(shop::bad_documents[4].text)) std::cout << "  accepted\n";
        return 0;
    } catch (const Sylvane::parse_error& e) {
        std::cerr << "not JSON: " << e.what() << '\n';
    } catch (const Sylvane::Treeform::Of_yojson_error& e) {
        std::cerr << "not a shop book: " << e.message() << '\n';
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    return 1;
}
