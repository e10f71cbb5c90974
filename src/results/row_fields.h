#pragma once
#include <string>
#include <vector>

#include "results/pattern_record.h"
#include "results/result_sink.h"

class input_string;

// The ranked rows as text, shared by the table, the JSON rows and the page,
// so that the three always agree: provenance comment lines, stable
// lower-case column names, and each row's fields. A two-class column is
// empty where the run has one class; nothing underflows, since every
// probability is carried as its log10.

// The columns a run asks for (prosite, the significance columns) follow
// the others, each only where asked.
std::vector<std::string> column_names(const input_string& input, const ResultOptions& options);
std::vector<std::string> row_fields(const PatternRecord& record, int nr_classes,
                                    const ResultOptions& options);
std::vector<std::string> provenance_lines(const RunInfo& info);

// Per class 1..K (at 0..K-1): its report name, sequences and the files
// (`files` 1.. as given) they came from, in the order of the files.
std::vector<ClassSource> class_sources(const input_string& input, const std::vector<std::string>& files);

// A probability given by its log10, written as printf's %.3g would write
// it, also far below the smallest double ("3.2e-400"); "" for NaN.
std::string format_log10(double log10_value);
