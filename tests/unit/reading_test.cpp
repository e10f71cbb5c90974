// Sequence sources and readers: compressed input, format detection, FASTA
// and FASTQ records, reverse complements, group presets.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "alphabet/group_presets.h"
#include "alphabet/stop_mask.h"
#include "input/input_string.h"
#include "input/reading.h"
#include "input/sequence_source.h"
#include "input_test_files.h"

namespace {

using ::testing::ExitedWithCode;

std::string gzipped(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(text.size() + 1024, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string read_all(SequenceSource& source) {
  std::string all;
  char block[7];  // small blocks: the read-ahead is served across calls
  for (std::ptrdiff_t n; (n = source.read(block, sizeof block)) > 0;) all.append(block, n);
  return all;
}

TEST(SequenceSource, ReadsPlainAndGzipAlikeAndDetectsTheFormat) {
  ScratchDir dir;
  const std::string fasta = "\n  >s1 x\nAC\n";
  const std::string big(200000, 'A');  // longer than the read-ahead
  for (const std::string& text : {fasta, big}) {
    for (const std::string& stored : {text, gzipped(text)}) {
      auto source = SequenceSource::open(dir.write("f", stored).c_str());
      ASSERT_TRUE(source);
      EXPECT_EQ(text == fasta ? InputFormat::Fasta : InputFormat::Lines, source->detect());
      EXPECT_EQ(text, read_all(*source));
      EXPECT_FALSE(source->failed());
    }
  }
  auto fastq = SequenceSource::open(dir.write("q", "@r\nA\n+\nI\n").c_str());
  EXPECT_EQ(InputFormat::Fastq, fastq->detect());
  EXPECT_FALSE(SequenceSource::open(dir.file("missing").c_str()));

  // A gzip file cut short is a read failure, not a shorter file.
  const std::string cut = gzipped(big).substr(0, 200);
  auto damaged = SequenceSource::open(dir.write("cut.gz", cut).c_str());
  ASSERT_TRUE(damaged);
  read_all(*damaged);
  EXPECT_TRUE(damaged->failed());
}

TEST(ReverseComplement, IupacCodesInBothCasesAndTheFirstBadLetter) {
  std::string out;
  EXPECT_EQ(13u, reverse_complement("ACGTURYKMBDHN", 13, out));
  EXPECT_EQ("NDHVKMRYAACGT", out);
  EXPECT_EQ(4u, reverse_complement("acgt", 4, out));
  EXPECT_EQ("acgt", out);
  EXPECT_EQ(2u, reverse_complement("ACXG", 4, out));
  EXPECT_EQ(0u, reverse_complement("-A", 2, out));
}

TEST(GroupPresets, OnlyMembersTheInputHolds) {
  ByteCounts counts{};
  for (char c : std::string("ACGU")) counts[static_cast<unsigned char>(c)] = 1;
  const std::string dna = preset_group_lines(GroupPreset::Dna, counts);
  // U stands in for T; every two-base code keeps both members.
  EXPECT_NE(std::string::npos, dna.find("g= AG\n"));
  EXPECT_NE(std::string::npos, dna.find("g= CU\n"));
  EXPECT_NE(std::string::npos, dna.find("g= GU\n"));
  ByteCounts lower{};
  for (char c : std::string("ilvfy")) lower[static_cast<unsigned char>(c)] = 1;
  const std::string protein = preset_group_lines(GroupPreset::Protein, lower);
  EXPECT_NE(std::string::npos, protein.find("g= ilv\n"));  // M is absent
  EXPECT_NE(std::string::npos, protein.find("g= fy\n"));
  EXPECT_EQ(std::string::npos, protein.find("g= k"));  // no basic residue: no group
  EXPECT_EQ("", preset_group_lines(GroupPreset::None, counts));
}

ByteCounts counts_of(const std::string& text) {
  return count_bytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

TEST(StopMask, DnaOrProteinFromTheLettersAlone) {
  // Nucleotides and IUPAC codes in either case, RNA's U: DNA, N masked.
  EXPECT_EQ(ResidueKind::Dna, residue_kind(counts_of("ACGTNNNN")));
  EXPECT_EQ(ResidueKind::Dna, residue_kind(counts_of("acgurykmswbdhvn*-")));
  EXPECT_EQ("*N", default_mask(counts_of("ACGTN")));
  // One letter beyond them makes protein, where N is asparagine and X masked.
  EXPECT_EQ(ResidueKind::Protein, residue_kind(counts_of("ACGTNE")));
  EXPECT_EQ(ResidueKind::Protein, residue_kind(counts_of("ACGTX")));
  EXPECT_EQ("*X", default_mask(counts_of("MKVLNNQ*")));
  // Without letters only the stop codon is masked.
  EXPECT_EQ(ResidueKind::Unknown, residue_kind(counts_of("0123*")));
  EXPECT_EQ("*", default_mask(counts_of("0123*")));
}

class RecordInputTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_settings(); }

  std::unique_ptr<input_string> build(const std::vector<std::string>& contents, InputOptions options) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < contents.size(); ++i)
      names.push_back(dir.write("in" + std::to_string(i + 1), contents[i]));
    std::vector<char*> files{nullptr};
    for (auto& n : names) files.push_back(&n[0]);
    files.push_back(nullptr);
    const std::string cf = dir.file("gen.charclass");
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    auto in = std::make_unique<input_string>(files.data(), cf.c_str(), 0, options);
    err = ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
    return in;
  }

  std::string joined(const input_string& in) const {
    std::string text;
    for (int p = 0; p < in.length; ++p)
      text.push_back(in.coded[p] == 0 ? '_' : static_cast<char>(in.charset->code_to_char[in.coded[p]]));
    return text;
  }

  ScratchDir dir;
  std::string err;
};

TEST_F(RecordInputTest, FastaRecordsOfManyLinesFoldedAndNamed) {
  InputOptions fasta;
  fasta.format = InputFormat::Fasta;
  auto in = build({">s1 first one\nac\r\nG T\n\n>empty\n>s2\nTT\n", gzipped(">s3\nCA\n")}, fasta);
  EXPECT_EQ("_ACGT_TT_CA_", joined(*in));
  EXPECT_EQ((std::vector<std::string>{"", "s1", "s2", "s3"}), ids_of(*in));
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 1, 2}), in->seq_file);
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 1, 2, 0}), in->class_of_seq);
  EXPECT_NE(std::string::npos, err.find("skipped 1 record that would give an empty sequence"));

  InputOptions fastq;
  fastq.format = InputFormat::Fastq;
  in = build({"@r1\nAC\n+r1\n@I\n@r2\nG\n+\nI\n"}, fastq);  // a quality may begin with '@'
  EXPECT_EQ("_AC_G_", joined(*in));
  EXPECT_EQ((std::vector<std::string>{"", "r1", "r2"}), ids_of(*in));
}

TEST_F(RecordInputTest, BothStrandsCountAsOneSequence) {
  InputOptions options;
  options.revcomp = true;
  auto in = build({"AAC\nGT x\n"}, options);
  EXPECT_EQ("_AAC_GTT_GT_AC_", joined(*in));
  EXPECT_EQ(2, in->nr_sequences);
  EXPECT_EQ(2, in->strands);
  EXPECT_EQ((std::vector<int>{0, 8, 14}), in->seq_end);
  EXPECT_EQ(1, in->seq_of(7));  // the reverse strand belongs to sequence 1
  EXPECT_EQ(2, in->seq_of(9));
}

TEST_F(RecordInputTest, GapsDroppedAndDefaultMaskInTheGeneratedSet) {
  InputOptions fasta;
  fasta.format = InputFormat::Fasta;
  auto in = build({">a\nMK-V.L\n>b\nmk--X*\n>gaps\n--..\n"}, fasta);
  EXPECT_EQ("_MKVL_MKX*_", joined(*in));
  EXPECT_NE(std::string::npos, err.find("8 alignment gap characters (- and .) dropped"));
  const CHARSET& set = *in->charset;
  EXPECT_TRUE(set.stop_flag[set.char_to_code['X']]);
  EXPECT_TRUE(set.stop_flag[set.char_to_code['*']]);
  EXPECT_FALSE(set.stop_flag[set.char_to_code['K']]);
  EXPECT_NE(std::string::npos, err.find("* (1), X (1); -mask '' keeps them"));

  // A masked character the input does not hold is passed over without a word.
  InputOptions given = fasta;
  given.mask_given = true;
  given.mask = "zB";
  std::remove(dir.file("gen.charclass").c_str());  // generated again, not read
  in = build({">a\nBKV\n"}, given);
  EXPECT_TRUE(in->charset->stop_flag[in->charset->char_to_code['B']]);
  EXPECT_EQ(std::string::npos, err.find("missing"));
  EXPECT_NE(std::string::npos, err.find("B (1)\n"));
}

TEST_F(RecordInputTest, DedupKeepsTheFirstCopyPerClassInEveryTable) {
  InputOptions options;
  options.format = InputFormat::Fasta;
  options.dedup = true;
  // Copies after folding and line breaks; the copy in another file (class) stays.
  auto in = build({">a\nACG\n>b\nAC\n>c\nac\ng\n>d\nTT\n>e\nACG\n", ">f\nACG\n"}, options);
  EXPECT_EQ("_ACG_AC_TT_ACG_", joined(*in));
  EXPECT_EQ((std::vector<std::string>{"", "a", "b", "d", "f"}), ids_of(*in));
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 1, 1, 2}), in->seq_file);
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 1, 1, 2, 0}), in->class_of_seq);
  EXPECT_EQ(3, in->seq_of(8));
  EXPECT_NE(std::string::npos,
            err.find("class 1: -dedup dropped 2 copies of sequences read before in the class: c, e\n"));

  // Under -revcomp the forward strands decide: AAC and its reverse GTT differ.
  InputOptions strands;
  strands.revcomp = true;
  in = build({"AAC\nGTT\nAAC\n"}, strands);
  EXPECT_EQ(3, in->nr_sequences);
  EXPECT_NE(std::string::npos,
            err.find("class 1: 1 sequence is a copy of another in the class; -dedup keeps one"));
  strands.dedup = true;
  in = build({"AAC\nGTT\nAAC\n"}, strands);
  EXPECT_EQ("_AAC_GTT_GTT_AAC_", joined(*in));
  EXPECT_NE(std::string::npos, err.find("read before in the class: "));
}

}  // namespace
