// Each REJECT_* case must fail to compile; with none defined the file must compile, which shows
// that the failures come from the format check and not from a broken file.
#include <sylvane/base/format.hpp>

#include <string>

int main() {
    const std::string text = "x";
    [[maybe_unused]] std::string out = Sylvane::sprintf("%s %S %d", text, "y", 1);
#if defined(REJECT_integer_for_s)
    out = Sylvane::sprintf("%s", 1);
#elif defined(REJECT_string_for_d)
    out = Sylvane::sprintf("%d", text);
#elif defined(REJECT_too_few_arguments)
    out = Sylvane::sprintf("%s %d", text);
#elif defined(REJECT_too_many_arguments)
    out = Sylvane::sprintf("%s", text, 1);
#elif defined(REJECT_percent_percent)
    out = Sylvane::sprintf("100%%");
#elif defined(REJECT_unknown_directive)
    out = Sylvane::sprintf("%x", 1);
#elif defined(REJECT_lone_percent)
    out = Sylvane::sprintf("%s%", text);
#elif defined(REJECT_floating_argument)
    out = Sylvane::sprintf("%d", 1.5);
#elif defined(REJECT_bool_argument)
    out = Sylvane::sprintf("%d", true);
#elif defined(REJECT_run_time_format)
    out = Sylvane::sprintf(text, 1);
#endif
}
