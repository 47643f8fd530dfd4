#include "core/options.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <string_view>

namespace quillet {

namespace {

struct OptionEntry {
  std::string_view name;        // with its two dashes
  std::string_view short_name;  // with its dash, or empty
  std::string_view value_name;  // empty for an option that takes no value
  // Stores the option; for an option with a value, false when the value is not one it takes.
  bool (*store)(std::string_view value, Options& options);
  std::string_view value_error;  // what a value that is not taken is told
  std::string_view help;
};

// The codes that the sensor length code prompts offer.
constexpr std::array<std::int32_t, 9> kLengthCodes = {1, 2, 4, 21, 42, 421, 62, 621, 642};

bool store_batch(std::string_view, Options& options) {
  options.batch = true;
  return true;
}

bool store_length_code(std::string_view value, Options& options) {
  std::int32_t code = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), code);
  if (error != std::errc() || end != value.data() + value.size()) return false;
  for (const std::int32_t known : kLengthCodes) {
    if (code == known) {
      options.length_code = code;
      return true;
    }
  }
  return false;
}

// A plain number in seconds or metres, within [low, high].
bool read_number(std::string_view text, double low, double high, double& value) {
  double v = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  if (!(v >= low && v <= high)) return false;
  value = v;
  return true;
}

bool store_latency(std::string_view value, Options& options) {
  options.positions_given = true;
  return read_number(value, 0.0, 60.0, options.positions.latency);
}

bool store_max_gap(std::string_view value, Options& options) {
  options.positions_given = true;
  return read_number(value, 0.001, 3600.0, options.positions.max_gap);
}

bool store_gps_offset(std::string_view value, Options& options) {
  options.positions_given = true;
  const std::size_t comma = value.find(',');
  double along = 0.0;
  double across = 0.0;
  if (!read_number(value.substr(0, comma), -100.0, 100.0, along)) return false;
  if (comma != std::string_view::npos &&
      !read_number(value.substr(comma + 1), -100.0, 100.0, across)) {
    return false;
  }
  options.positions.along = along;
  options.positions.across = across;
  return true;
}

constexpr OptionEntry kOptions[] = {
    {"--batch", "-b", "", store_batch, "",
     "read nothing from standard input: every prompt keeps its default"},
    {"--length-code", "", "N", store_length_code,
     "not a sensor length code (1, 2, 4, 21, 42, 421, 62, 621 or 642)",
     "answer every sensor length code prompt with N"},
    {"--gps-latency", "", "SECONDS", store_latency, "not a time from 0 to 60 seconds",
     "code C: the GPS sentences reach the logger SECONDS after their fix time (default 0)"},
    {"--max-gap", "", "SECONDS", store_max_gap, "not a time from 0.001 to 3600 seconds",
     "code C: interpolate between fixes at most SECONDS apart, else hold (default 2.5)"},
    {"--gps-offset", "", "ALONG[,ACROSS]", store_gps_offset,
     "not one or two distances from -100 to 100 metres",
     "code C: the antenna sits ALONG m ahead of the sensor and ACROSS m to its right"},
};

// A lone number ("-1", "-.5") is a value, and "-" alone names a file or nothing.
bool looks_like_option(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  const char next = arg[1];
  return !((next >= '0' && next <= '9') || next == '.');
}

const OptionEntry* find_option(std::string_view name) {
  for (const OptionEntry& entry : kOptions) {
    if (name == entry.name || (!entry.short_name.empty() && name == entry.short_name))
      return &entry;
  }
  return nullptr;
}

// Joins texts into one (a chain of `+` on strings makes g++ 12 warn falsely about overlaps).
std::string joined(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) text.append(part);
  return text;
}

}  // namespace

OptionParse parse_options(std::span<const std::string> args, Options& options) {
  OptionParse parse;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (!looks_like_option(arg)) break;
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const OptionEntry* entry = find_option(name);
    if (entry == nullptr) {
      parse.error = name == "--help" || name == "--version"
                        ? joined({"*** ", name, " is given alone, without other arguments"})
                        : joined({"*** Unknown option: ", arg});
      return parse;
    }
    const bool has_value = equals != std::string_view::npos;
    if (entry->value_name.empty() && has_value) {
      parse.error = joined({"*** Option ", entry->name, " takes no value: ", arg});
      return parse;
    }
    if (!entry->value_name.empty() && !has_value) {
      parse.error = joined(
          {"*** Option ", entry->name, " needs a value: ", entry->name, "=", entry->value_name});
      return parse;
    }
    const std::string_view value = has_value ? arg.substr(equals + 1) : std::string_view();
    if (!entry->store(value, options)) {
      parse.error = joined({"*** Option ", entry->name, ", ", entry->value_error, ": ", value});
      return parse;
    }
  }
  parse.first_argument = i;
  return parse;
}

std::vector<std::string> option_help_lines() {
  std::vector<std::string> lines;
  std::size_t names_width = 0;  // the help texts start in one column, after the longest names
  for (const OptionEntry& entry : kOptions) {
    std::string line = joined({"  ", entry.name});
    if (!entry.value_name.empty()) line.append("=").append(entry.value_name);
    if (!entry.short_name.empty()) line.append(", ").append(entry.short_name);
    names_width = std::max(names_width, line.size());
    lines.push_back(std::move(line));
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    lines[k].resize(names_width, ' ');
    lines[k].append(" ").append(kOptions[k].help);
  }
  return lines;
}

}  // namespace quillet
