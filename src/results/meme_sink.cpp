// The rows' site matrices in the MEME minimal motif format (version 4), the
// form motif scanners and motif-comparison tools read: a header with the
// alphabet, the strands and the background letter frequencies, then one
// letter-probability matrix per row (per gapless segment of a row with
// flexible gaps).
//
// The format knows two alphabets here: DNA (ACGT) and protein (the 20 amino
// acids). Letters are folded as the format's own alphabets fold them: case
// does not matter, U is T in DNA, and an ambiguous letter (N, R, Y, ... in
// DNA; X, B, Z, J in protein) gives each letter it stands for an equal
// share. Letters neither alphabet knows (digits, O or U in protein) are
// left out and said once. Probabilities are the counts of the class-1 sites
// divided by the letters counted in the column, with no pseudocounts: a
// letter never seen has probability 0. A column no site reaches (a flank
// beyond every sequence end) takes the background frequencies.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/input_string.h"
#include "results/result_sink.h"
#include "results/row_fields.h"
#include "results/site_matrix.h"
#include "results/text_escape.h"
#include "run/error.h"

namespace {

constexpr char kDna[] = "ACGT";
constexpr char kProtein[] = "ACDEFGHIKLMNPQRSTVWY";

// What an input letter stands for in the format's alphabet: the letters it
// counts for, each with an equal share; empty when it has no meaning there.
std::string meaning(char letter, bool dna) {
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (dna) {
    switch (c) {
      case 'A': case 'C': case 'G': case 'T': return std::string(1, c);
      case 'U': return "T";
      case 'R': return "AG";
      case 'Y': return "CT";
      case 'S': return "CG";
      case 'W': return "AT";
      case 'K': return "GT";
      case 'M': return "AC";
      case 'B': return "CGT";
      case 'D': return "AGT";
      case 'H': return "ACT";
      case 'V': return "ACG";
      case 'N': case 'X': case '.': return kDna;
      default: return "";
    }
  }
  if (c != '\0' && std::strchr(kProtein, c) != nullptr) return std::string(1, c);
  switch (c) {
    case 'B': return "DN";
    case 'Z': return "EQ";
    case 'J': return "IL";
    case 'X': case '*': case '.': return kProtein;
    default: return "";
  }
}

class MemeSink : public FileSink {
 public:
  MemeSink(const SinkSetting& s) : FileSink(s.file, s.standard_output), flank_(s.flank) {}
  // The class-1 occurrences every written row keeps are enough: no row's
  // full set of occurrences is held for this file.

  void begin_file(const RunInfo& info) override {
    const input_string& input = *info.input;
    const CHARSET& charset = *info.charset;
    builder_.emplace(input, info.min_gap, info.max_gap, flank_);
    // DNA when both strands are searched or every letter the input uses is
    // a base; protein otherwise.
    const bool dna = input.strands == 2 || info.nucleotide;
    letters_ = dna ? kDna : kProtein;
    // Per code, the shares it gives to the format's letters.
    shares_.assign(static_cast<std::size_t>(charset.alphabet_size) + 1, {});
    for (int c = 1; c <= charset.alphabet_size; ++c) {
      const std::string m = meaning(static_cast<char>(charset.code_to_char[static_cast<std::size_t>(c)]), dna);
      for (char l : m)
        shares_[static_cast<std::size_t>(c)].push_back(
            {static_cast<int>(letters_.find(l)), 1.0 / static_cast<double>(m.size())});
    }
    // The background: class 2's letters, or every sequence's with one class
    // (both strands under -revcomp, as the search sees them).
    const bool one_class = info.classes.size() < 2;
    background_.assign(letters_.size(), 0.0);
    for (int p = 0; p < input.length; ++p) {
      const unsigned c = input.coded[p];
      if (c == 0 || c > static_cast<unsigned>(charset.alphabet_size) || charset.stop_flag[c] != 0) continue;
      if (!one_class && input.class_of_seq[input.seq_of(p)] != 2) continue;
      for (const Share& s : shares_[c]) background_[static_cast<std::size_t>(s.letter)] += s.weight;
    }
    if (!normalise(background_)) background_.assign(letters_.size(), 1.0 / static_cast<double>(letters_.size()));

    std::fprintf(out(), "MEME version 4\n\nALPHABET= %s\n\nstrands: %s\n\nBackground letter frequencies\n",
                 letters_.c_str(), input.strands == 2 ? "+ -" : "+");
    for (std::size_t i = 0; i < letters_.size(); ++i)
      std::fprintf(out(), "%s%c %.6f", i == 0 ? "" : " ", letters_[i], background_[i]);
    std::fputs("\n\n", out());
  }

  void pattern(const PatternRecord& r) override {
    builder_->build_class1(r, matrix_);
    std::string id = std::to_string(r.motif > 0 ? r.motif : r.rank);
    // Rows of a motif after its lead (without -distinct) keep their rank,
    // so that every identifier is one motif.
    if (r.motif > 0 && !leads_.insert(r.motif).second) id += "_" + std::to_string(r.rank);
    // Without a p-value (one class) there is no E-value; 1 says "no evidence"
    // where readers demand a number.
    const std::string evalue = std::isnan(r.log10_e) ? "1" : format_log10(r.log10_e);
    const std::size_t segments = matrix_.segments.size();
    for (std::size_t k = 0; k < segments; ++k) {
      const MatrixSegment& s = matrix_.segments[k];
      std::string name = id;
      if (segments > 1) name += "." + std::to_string(k + 1);
      // The pattern may hold any byte of the input: the name is escaped as
      // the table and the sites escape it, blanks too (the format's names
      // are words).
      std::string alternate = blank_free_field(r.text);
      if (!s.gaps.empty()) {
        // The gap lengths the sites show before this segment.
        std::size_t lo = 0;
        while (lo < s.gaps.size() && s.gaps[lo] == 0) ++lo;
        if (lo < s.gaps.size()) {
          alternate += "_gap=" + std::to_string(lo);
          if (lo + 1 < s.gaps.size()) alternate += "-" + std::to_string(s.gaps.size() - 1);
        }
      }
      std::fprintf(out(), "MOTIF %s %s\nletter-probability matrix: alength= %zu w= %d nsites= %ld E= %s\n",
                   name.c_str(), alternate.c_str(), letters_.size(), s.width(), matrix_.sites, evalue.c_str());
      for (int c = 0; c < s.width(); ++c) {
        row_.assign(letters_.size(), 0.0);
        for (int x = 1; x < matrix_.stride; ++x) {
          const long n = matrix_.count(s, c, x);
          if (n == 0) continue;
          if (shares_[static_cast<std::size_t>(x)].empty()) {
            left_out_ += n;
            continue;
          }
          for (const Share& sh : shares_[static_cast<std::size_t>(x)])
            row_[static_cast<std::size_t>(sh.letter)] += sh.weight * static_cast<double>(n);
        }
        if (!normalise(row_)) row_ = background_;
        for (double p : row_) std::fprintf(out(), " %.6f", p);
        std::fputc('\n', out());
      }
      std::fputc('\n', out());
    }
  }

  void end_file(const RunSummary&) override {
    if (left_out_ > 0)
      warning("-meme: %ld letters of the sites are neither in the %s alphabet nor stand for its letters; "
              "they are left out of the matrices",
              left_out_, letters_.size() == 4 ? "DNA" : "protein");
  }

 private:
  struct Share {
    int letter;
    double weight;
  };

  // Scales `v` to sum to 1; false (and unchanged) when it sums to 0.
  static bool normalise(std::vector<double>& v) {
    double total = 0;
    for (double x : v) total += x;
    if (!(total > 0)) return false;
    for (double& x : v) x /= total;
    return true;
  }

  int flank_ = 0;
  std::optional<SiteMatrixBuilder> builder_;
  SiteMatrix matrix_;
  std::string letters_;
  std::vector<std::vector<Share>> shares_;  // per code
  std::vector<double> background_, row_;
  std::set<long> leads_;
  long left_out_ = 0;
};

}  // namespace

std::unique_ptr<ResultSink> make_meme_sink(const SinkSetting& s) { return std::make_unique<MemeSink>(s); }
