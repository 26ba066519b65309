#pragma once
// The types of the example programs: a small shop's orders, with derived converters.

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include <sylvane/base/hashtbl.hpp>
#include <sylvane/derive/derive.hpp>

namespace shop {

enum class status { pending, paid, shipped };
SYLVANE_ENUM(status, pending, paid, shipped)

struct address {
    std::string street;
    std::string city;
    std::optional<std::string> zip;
};
SYLVANE_RECORD(address, street, city, zip)

struct customer {
    std::int64_t id = 0;
    std::string name;
    address ship_to;
    std::optional<std::string> email;
};
SYLVANE_RECORD(customer, id, name, ship_to, email)

struct line {
    std::string sku;
    std::int64_t qty = 0;
    double price = 0;
};
SYLVANE_RECORD(line, sku, qty, price)

struct card {
    std::string last4;
};
SYLVANE_RECORD(card, last4)
struct cash {};
/// A bank transfer: the account and the reference, two arguments.
using transfer = std::tuple<std::string, std::string>;
using payment = std::variant<card, transfer, cash>;
SYLVANE_VARIANT(payment, (card, "Card"), (transfer, "Transfer"), (cash, "Cash"))

struct order {
    std::int64_t id = 0;
    customer buyer;
    std::vector<line> items;
    status state = status::pending;
    payment paid_with;
    std::optional<std::string> note;
};
SYLVANE_RECORD(order, id, buyer, items, state, paid_with, note)

struct book {
    std::vector<order> orders;
    Sylvane::hashtbl<std::string, std::int64_t> stock;  // units on the shelf, per SKU
};
SYLVANE_RECORD(book, orders, stock)

}  // namespace shop
