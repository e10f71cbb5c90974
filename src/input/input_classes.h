#pragma once
#include <array>
#include <optional>
#include <string>

// The example-class table: class names numbered 1..nr_classes in order of
// first appearance. Per-class arrays elsewhere have nr_classes + 2 slots:
// slot 0 for sequences without a class ("No_class"), slot nr_classes + 1 for
// the totals ("TOTAL").
class input_classes {
 public:
  static constexpr int kMaxClasses = 254;

  input_classes() = default;

  std::array<std::optional<std::string>, 256> names;  // entry 0 and 255 stay empty
  int nr_classes = 0;  // set by the reader once every file has been read

  // Number of the class called `name` (compared byte for byte), adding it
  // if new; a 255th distinct name ends the run.
  int add_class_name(const char* name);
  // Counts the filled entries and reports the total; the caller stores it.
  int countclasses();
  const char* class_name(int i) const;
  const char* class_name_short(int i) const;
  void test() const;
};
