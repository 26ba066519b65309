// The example program: builds trees, converts them to values and back, and prints a failure.

#include <iostream>

#include <sylvane/sylvane.hpp>

int main() {
    using namespace Sylvane;
    using namespace Sylvane::Treeform;

    yojson t = yojson_of_int32(-2147483648);
    std::cout << "int32 -2^31 as a tree: " << t << '\n';
    std::cout << "and back: " << int32_of_yojson(t) << '\n';

    try {
        int_of_yojson(yojson::String("42"));
    } catch (const Of_yojson_error& e) {
        std::cout << "failure: " << e.message() << " on " << e.tree() << '\n';
    }
}
