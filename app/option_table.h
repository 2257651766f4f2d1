// Command lines of named options read against a table: the hosts' options of tesmar and the options of
// the tools that run the saver window.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// One option: its name without dashes, whether it takes a value, what it does with it, and the line
// that says why a value was refused ("{}" stands for the value).
struct TOption {
  TOption(std::string_view name, bool takesValue, std::function<bool(const std::string& value)> take,
          std::string refusal = {})
      : Name(name), TakesValue(takesValue), Take(std::move(take)), Refusal(std::move(refusal)) {}

  std::string_view Name;
  bool TakesValue = false;
  // Sets what the option sets; false refuses the value. An option without a value gets "".
  std::function<bool(const std::string& value)> Take;
  std::string Refusal;
};

// The lines of one program for an argument no option reads: "{}" stands for the argument as written,
// except in TakesNoValue, where it stands for the option's name.
struct TOptionTexts {
  std::string_view Unknown;
  std::string_view NeedsValue;
  std::string_view TakesNoValue;
};

// "-name", "--name" or "--name=value" split into name and value; false for anything else.
bool SplitOption(std::string_view argument, std::string_view& name, std::string_view& value, bool& hasValue);

// The option of that name in the table, or null.
const TOption* FindOption(std::span<const TOption> table, std::string_view name);

// Why ReadOptions stopped: what the program may add to the line (a usage text, say) depends on it.
enum class TOptionError { NoError, Unknown, NeedsValue, TakesNoValue, Refused };

// Reads argv[1] to argv[argc - 1]: each option with one dash or two, its value after "=" or as the next
// argument. Stops at the first argument refused, with its line in `error`.
TOptionError ReadOptions(std::span<const TOption> table, const TOptionTexts& texts, int argc, const char* const argv[],
                         std::string& error);
