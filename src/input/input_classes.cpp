#include "input/input_classes.h"

#include <cstdio>
#include <cstring>

#include "alphabet/tokens.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"

int input_classes::add_class_name(const char* name) {
  int i = 1;
  while (i <= kMaxClasses && names[i] && std::strcmp(names[i]->c_str(), name) != 0) ++i;
  if (i > kMaxClasses) {
    std::fprintf(stderr, "The added classname %s exceeds the number of allowed classes: %d\n", name,
                 kMaxClasses);
    error("Check the input files");
  }
  if (!names[i]) {
    names[i] = newstring(name);
    if (verbose_level > 3) std::fprintf(report_file(), "Added class %s with class NR = %d\n", name, i);
  } else if (verbose_level > 4) {
    std::fprintf(stderr, "Existing class %s with class NR = %d\n", name, i);
  }
  return i;
}

int input_classes::countclasses() {
  int i = 1;
  while (i <= kMaxClasses && names[i]) ++i;
  const int n = i - 1;
  std::fprintf(report_file(), "# Total: %d differenmt example-sets\n", n);
  return n;
}

const char* input_classes::class_name(int i) const {
  if (i == nr_classes + 1) return "TOTAL";
  if (i < 0 || i > 255 || !names[i]) return "No_class";
  return names[i]->c_str();
}

const char* input_classes::class_name_short(int i) const {
  if (i == nr_classes + 1) return "T";
  if (i < 0 || i > 255 || !names[i]) return "0";
  return names[i]->c_str();
}

void input_classes::test() const {
  std::fputs("\n# Show all the used classes:\n", report_file());
  for (int i = 0; i <= nr_classes + 1; ++i) {
    if (i == 0 || i == nr_classes + 1 || names[i])
      std::fprintf(report_file(), "# class  %d\t= %s %s\n", i, class_name_short(i), class_name(i));
  }
  std::fputs("\n\n", report_file());
}
