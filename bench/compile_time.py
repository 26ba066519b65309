#!/usr/bin/env python3
"""What derived converters cost the compiler: user time and peak memory of compiling
generated translation units, with g++ and clang++ at -O2.

Each translation unit is compiled in a process of its own, REPS times; the median user time and
the median peak resident set (getrusage of the child) are kept. The units:

  std_headers     the standard headers that Sylvane's headers include, and nothing else
  include         <sylvane/sylvane.hpp> alone
  records         N derived records of 10 fields each (integers, strings, a double, vectors,
                  an optional, a bool; record and field options on some), each read with
                  read_as and written with write
  twitter         the tests' model of twitter.json, read with read_as and written with write
  nlohmann_include, nlohmann_records
                  <nlohmann/json.hpp>, and the same N records with its macros, parsed and dumped
                  (left out when the header is not installed)
  plain_include, plain_records
                  the standard headers of the records' fields, and the same N records, each
                  made, given a string, moved and destroyed with no JSON library: what any code
                  that reads or writes such a record costs the compiler at least

Per record: (records - include) / N. Writes one JSON line per unit and compiler.

Usage: bench/compile_time.py OUT.jsonl [--records N] [--reps R] [--compilers g++,clang++]
"""
import argparse
import json
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Ten fields of the kinds of a typical record; the second element is the field's options
# (Sylvane) for records that take options.
FIELDS = [
    ("std::int64_t", "id", ""),
    ("std::int32_t", "count", "with_default"),
    ("std::uint32_t", "flags", ""),
    ("std::string", "name", 'key("display_name")'),
    ("std::string", "note", ""),
    ("double", "score", ""),
    ("std::vector<std::int64_t>", "ids", "omit_empty"),
    ("std::vector<std::string>", "tags", ""),
    ("std::optional<std::string>", "parent", ""),
    ("bool", "active", ""),
]


def record_struct(i):
    members = "\n".join(f"    {t} {n}{{}};" for t, n, _ in FIELDS)
    return f"struct r{i} {{\n{members}\n}};\n"


def unit_of_records(prelude, n, after_record):
    """`prelude`, then N records in namespace gen, each followed by the lines `after_record(i)`
    gives: its converters and the function that reads and writes it."""
    out = [prelude, "namespace gen {"]
    for i in range(n):
        out.append(record_struct(i))
        out += after_record(i)
    out.append("}")
    return "\n".join(out) + "\n"


def sylvane_record(i):
    if i % 2:
        fields = ", ".join(f"({name}, {opt})" if opt else name for _, name, opt in FIELDS)
        converters = f"SYLVANE_RECORD_WITH(r{i}, (rename_all(camel_case)), {fields})"
    else:
        converters = f"SYLVANE_RECORD(r{i}, {', '.join(name for _, name, _ in FIELDS)})"
    return [converters, f"std::string round_trip{i}(std::string_view text) "
                        f"{{ return Sylvane::write(Sylvane::read_as<r{i}>(text)); }}"]


def sylvane_records(n):
    return unit_of_records("#include <sylvane/sylvane.hpp>\n#include <string>\n"
                           "#include <string_view>", n, sylvane_record)


NLOHMANN_PRELUDE = """#include <nlohmann/json.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
namespace nlohmann {
template <class T>
struct adl_serializer<std::optional<T>> {
    static void to_json(json& j, const std::optional<T>& o) { if (o) j = *o; else j = nullptr; }
    static void from_json(const json& j, std::optional<T>& o) {
        if (j.is_null()) o.reset(); else o = j.get<T>();
    }
};
}
"""


def nlohmann_records(n):
    return unit_of_records(NLOHMANN_PRELUDE, n, lambda i: [
        f"NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(r{i}, {', '.join(name for _, name, _ in FIELDS)})",
        f"std::string round_trip{i}(std::string_view text) "
        f"{{ return nlohmann::json(nlohmann::json::parse(text).get<r{i}>()).dump(); }}"])


PLAIN_PRELUDE = """#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
"""


def plain_records(n):
    return unit_of_records(PLAIN_PRELUDE, n, lambda i: [
        f"std::string round_trip{i}(std::string_view text) "
        f"{{ r{i} v; v.name = text; r{i} w = std::move(v); return w.name; }}"])


def std_headers():
    """Every standard header that a public header of Sylvane includes."""
    names = set()
    for d, _, files in os.walk(os.path.join(ROOT, "include", "sylvane")):
        for f in files:
            with open(os.path.join(d, f)) as h:
                names.update(re.findall(r"^#include <([a-z_0-9]+)>", h.read(), re.M))
    return "".join(f"#include <{n}>\n" for n in sorted(names))


TWITTER = """#include "real_document_models.hpp"
#include <sylvane/sylvane.hpp>
std::string round_trip(std::string_view text) {
    return Sylvane::write(Sylvane::read_as<twitter::timeline>(text));
}
"""


def units(n, with_nlohmann):
    u = {
        "std_headers": std_headers(),
        "include": "#include <sylvane/sylvane.hpp>\n",
        "records": sylvane_records(n),
        "twitter": TWITTER,
    }
    if with_nlohmann:
        u["nlohmann_include"] = NLOHMANN_PRELUDE
        u["nlohmann_records"] = nlohmann_records(n)
    u["plain_include"] = PLAIN_PRELUDE
    u["plain_records"] = plain_records(n)
    return u


def compile_once(cxx, path):
    """Compiles `path` once; returns the compiler's user seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    p = subprocess.run([cxx, "-std=c++20", "-O2", "-c", path, "-o", os.devnull,
                        "-I", os.path.join(ROOT, "include"), "-I", os.path.join(ROOT, "tests")],
                       capture_output=True, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if p.returncode != 0:
        sys.stderr.write(p.stderr[-4000:])
        raise SystemExit(f"{cxx} failed on {path}")
    return after.ru_utime - before.ru_utime


def measure(cxx, path, reps):
    """Median user seconds and median peak KiB of `reps` compiles, each in a process of its own
    so that the peak is that compile's."""
    times, peaks = [], []
    for _ in range(reps):
        out = subprocess.run([sys.executable, __file__, "--one", cxx, path],
                             capture_output=True, text=True, check=True).stdout
        t, kib = out.split()
        times.append(float(t))
        peaks.append(int(kib))
    return statistics.median(times), statistics.median(peaks)


def one(cxx, path):
    """Compiles once and prints user seconds and the compiler's peak KiB (the largest child of
    this process so far: this process has no other)."""
    user = compile_once(cxx, path)
    print(user, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--one":
        return one(sys.argv[2], sys.argv[3])
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--records", type=int, default=50)
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--compilers", default="g++,clang++")
    ap.add_argument("--only", help="comma-separated units to measure")
    a = ap.parse_args()
    with_nlohmann = os.path.exists("/usr/include/nlohmann/json.hpp")
    todo = units(a.records, with_nlohmann)
    if a.only:
        todo = {k: v for k, v in todo.items() if k in a.only.split(",")}
    with tempfile.TemporaryDirectory() as tmp, open(a.out, "a") as out:
        for name, text in todo.items():
            path = os.path.join(tmp, name + ".cpp")
            with open(path, "w") as f:
                f.write(text)
        for cxx in a.compilers.split(","):
            for name in todo:
                user, kib = measure(cxx, os.path.join(tmp, name + ".cpp"), a.reps)
                row = {"compiler": cxx, "unit": name, "records": a.records, "user_s": user,
                       "peak_kib": kib, "reps": a.reps}
                print(json.dumps(row), flush=True)
                out.write(json.dumps(row) + "\n")


if __name__ == "__main__":
    sys.exit(main())
