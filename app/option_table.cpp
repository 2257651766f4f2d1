// Reading a command line against a table of options.
#include "option_table.h"

namespace {

// The text with its first "{}" replaced by `value`.
std::string Fill(std::string_view text, std::string_view value) {
  std::string filled(text);
  const std::size_t mark = filled.find("{}");
  if (mark != std::string::npos) filled.replace(mark, 2, value);
  return filled;
}

}  // namespace

bool SplitOption(std::string_view argument, std::string_view& name, std::string_view& value, bool& hasValue) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  argument.remove_prefix(argument[1] == '-' ? 2 : 1);
  const std::size_t equals = argument.find('=');
  hasValue = equals != std::string_view::npos;
  name = argument.substr(0, equals);
  value = hasValue ? argument.substr(equals + 1) : std::string_view();
  return !name.empty();
}

const TOption* FindOption(std::span<const TOption> table, std::string_view name) {
  for (const TOption& option : table) {
    if (option.Name == name) return &option;
  }
  return nullptr;
}

TOptionError ReadOptions(std::span<const TOption> table, const TOptionTexts& texts, int argc, const char* const argv[],
                         std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i] ? argv[i] : "");
    std::string_view name, inlineValue;
    bool hasValue = false;
    const TOption* option = SplitOption(argument, name, inlineValue, hasValue) ? FindOption(table, name) : nullptr;
    if (!option) {
      error = Fill(texts.Unknown, argument);
      return TOptionError::Unknown;
    }
    if (hasValue && !option->TakesValue) {
      error = Fill(texts.TakesNoValue, name);
      return TOptionError::TakesNoValue;
    }
    std::string value(inlineValue);
    if (option->TakesValue && !hasValue) {
      if (i + 1 >= argc || !argv[i + 1]) {
        error = Fill(texts.NeedsValue, argument);
        return TOptionError::NeedsValue;
      }
      value = argv[++i];
    }
    if (!option->Take(value)) {
      error = Fill(option->Refusal, value);
      return TOptionError::Refused;
    }
  }
  return TOptionError::NoError;
}
