#pragma once
/// Documents larger than memory: JSON Lines, the items of huge arrays, text in pieces, and
/// their writers.

#include <sylvane/stream/push_reader.hpp>
#include <sylvane/stream/read_array_items.hpp>
#include <sylvane/stream/read_lines.hpp>
#include <sylvane/stream/stream_options.hpp>
#include <sylvane/stream/writers.hpp>
