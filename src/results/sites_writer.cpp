// The sites of the rows kept: every occurrence with the sequence it lies
// in, its start and strand, and the text it matched, so that a motif can be
// checked against the sequences themselves.
#include <charconv>
#include <cstdio>
#include <string>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/results.h"
#include "results/site_matcher.h"
#include "run/globals.h"

void Results::write_sites(std::FILE* out, const std::vector<double>&) const {
  std::fputs("pattern\tsequence\tfile\tclass\tstart\tstrand\tmatched\n", out);
  const SiteMatcher matcher(charset_, input_.coded, input_.length, min_gap, max_gap);
  // Hundreds of thousands of lines: built in one buffer and written in
  // large blocks rather than formatted field by field.
  std::string buffer;
  buffer.reserve(1 << 17);
  char number[16];
  for (const PatternRecord& r : rows_) {
    for (int end : r.ends) {
      const int first = matcher.start(r.codes, end);
      if (first < 0) continue;  // cannot happen for a set the search built
      const SiteCoordinates site = site_coordinates(input_, first, end);
      const int k = site.sequence;
      const int start = site.start;
      const char strand = site.strand;
      const int f = input_.seq_file[k];
      buffer += r.text;
      buffer += '\t';
      input_.seq_ids.append_to(buffer, k);
      buffer += '\t';
      buffer += files_[static_cast<std::size_t>(f - 1)];
      buffer += '\t';
      buffer += input_.classes->class_name(input_.class_of_seq[k]);
      buffer += '\t';
      buffer.append(number, std::to_chars(number, number + sizeof number, start).ptr);
      buffer += '\t';
      buffer += strand;
      buffer += '\t';
      for (int p = first; p < end; ++p) buffer += static_cast<char>(charset_.code_to_char[input_.coded[p]]);
      buffer += '\n';
      if (buffer.size() >= (1 << 16)) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
      }
    }
  }
  std::fwrite(buffer.data(), 1, buffer.size(), out);
}
