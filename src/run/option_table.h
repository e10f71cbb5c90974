#pragma once
// The option table: one row per option word, holding all the parse, the
// early readers of the command line, --help and the warnings need of it, so
// that a new option is one row (and its checks in validate_settings).
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "run/options.h"

// How an option reads the words after its own and stores what they say.
struct OptionReader {
  int arity = 0;  // words taken after the option's own
  // Parses those words (`values`, `arity` of them) and stores the setting;
  // null when the parse has nothing to set (-h, --help, --version).
  std::function<void(const char* word, char* const* values)> store;
  // Values it takes as written, without a warning: the tests give each row its own.
  std::vector<std::string> example;
};

struct OptionRow {
  const char* word;
  OptionReader reader;
  OptionHelp help;
  OptionUse use;
  // A word that may follow the values, with values of its own (-f name -ms N);
  // anywhere else it is no option.
  const char* then_word;
  OptionReader then;

  OptionRow(const char* word, OptionReader reader, OptionHelp help, OptionUse use = OptionUse::Setting,
            const char* then_word = nullptr, OptionReader then = {})
      : word(word), reader(std::move(reader)), help(help), use(use), then_word(then_word), then(std::move(then)) {}
};

// The rows in the order they are tested (the first whole-word match
// decides), their readers storing into the global settings and `params`,
// which must outlive the rows.
std::vector<OptionRow> option_table(RunParams& params);
