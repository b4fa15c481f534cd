#include "cli/batch_options.hpp"

#include "input/file_name_dialog_model.hpp"

#include <CLI/CLI.hpp>
#include <map>

#include "input/delimited_reader.hpp"

namespace tolvane {

namespace {

constexpr const char* kDescription =
    "Maximum likelihood shrinkage regression, batch front end: reads one batch input file, "
    "fits least squares on principal axes, rates the shrinkage path shapes and traces the "
    "chosen path, writing the report to standard output and the summary (.syq) and trace "
    "matrix (.myq) files.";

constexpr const char* kFooter = R"(
Each option answers a dialog of the desktop program:
  output file name     --out
  files already exist  --if-exists
  variable roles       --response, --predictors or --leave-out (raw data only;
                       without them the last column is the response and every
                       other column a predictor, listed sorted by name)
  scaling              --scale, --first, --last (the observation range applies
                       to raw data only; at least P + 5 observations are kept)

Batch input file (.ayq), one item per line in fixed places:
  line 1  number of variables NVAR (2 to 50)
  line 2  number of observations; negative (or above 200) for cross-products
  line 3  NVAR names separated by blanks, commas, "=" or ":"; a later name may
          be NEXTLINE, which continues the names on the next line
  then    raw data: one line of NVAR numbers per observation; or the matrix
          [XPX | XPY | XP1] of raw sums in blocks of at most 8 columns, each
          after a heading line, then a line with SUMY and one with SUMSQY

Delimited text (.csv, .tsv, .txt, or --format csv): the first line names the
columns; comma, semicolon or tab separate the fields (found from the first
line, or --delimiter); quotes as RFC 4180. Rows with a missing value (empty,
NA, NaN, ".") are left out and counted. Every row enters as raw data while
the rows fit --raw-memory (200 rows in single precision); a longer file is
reduced in one pass to centred cross-products, and then --first and --last are
refused. Summary and trace files use names of at most
8 characters; longer names are shortened and the mapping is printed.

Output: NAME.syq and NAME.myq, where NAME is --out or the input file's name up
to its first "." or blank, in the current directory unless NAME holds one.

Exit status: 0 the analysis completed; 1 the run stopped (bad input, a file
that cannot be opened, an unusable model, least squares stopped); 2 a usage
error or role options or an extent that do not fit the data; 3 the output
files exist and --if-exists is abort (nothing was written).

Scoring: tolvane-batch predict --model FILE --data NEW --out PRED.csv (see
tolvane-batch predict --help).)";

// How delimited text is read.
void addReadingOptions(CLI::App& app, BatchOptions& o) {
  const std::map<std::string, InputFormat> formats{{"ayq", InputFormat::kBatch},
                                                   {"csv", InputFormat::kDelimited}};
  app.add_option("--format", o.format,
                 "Read FILE as a batch input file (ayq) or as delimited text (csv), whatever "
                 "its name (default: csv for .csv, .tsv and .txt, else ayq)")
      ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case))
      ->option_text("ayq|csv");
  const std::map<std::string, char> delimiters{
      {"comma", ','}, {",", ','}, {"semicolon", ';'}, {";", ';'}, {"tab", '\t'}};
  app.add_option("--delimiter", o.delimiter,
                 "Field delimiter of delimited text (default: found from the header line)")
      ->transform(CLI::CheckedTransformer(delimiters, CLI::ignore_case))
      ->option_text("comma|semicolon|tab");
  const std::map<std::string, bool> missing{{"omit", false}, {"error", true}};
  app.add_option("--missing", o.missingIsError,
                 "Missing values in delimited text: omit (leave the row out, counted in the "
                 "report; default) or error (stop at the first)")
      ->transform(CLI::CheckedTransformer(missing, CLI::ignore_case))
      ->option_text("omit|error");
  app.add_option("--ignore", o.ignore,
                 "A column of delimited text not to read (repeatable), such as an ID or a date")
      ->option_text("NAME");
  app.add_option("--raw-memory", o.rawMemoryMb,
                 "Memory for delimited text kept as raw data, in MB (default: a quarter of "
                 "physical memory); a file of more rows streams into cross-products, as does "
                 "every file with 0. Single precision keeps at most 200 rows raw")
      ->check(CLI::NonNegativeNumber)
      ->option_text("MB");
  app.add_option("--write-cross-products", o.writeCrossProducts,
                 "After reading delimited text, write its sums as a batch input file in "
                 "cross-product form (17 significant digits), with the chosen roles")
      ->option_text("FILE");
}

// The output files: their name, and what to do when they exist.
void addOutputOptions(CLI::App& app, BatchOptions& o) {
  app.add_option("--out", o.out,
                 "Base name of the output files (default: the input file's base name)")
      ->option_text("NAME")
      ->check(CLI::Validator(
          [](const std::string& name) {
            return FileNameDialogModel::usableName(name)
                       ? std::string()
                       : std::string(FileNameDialogModel::kEmptyName);
          },
          "NAME", "output name"));
  const std::map<std::string, IfExists> ifExists{{"overwrite", IfExists::kOverwrite},
                                                 {"append", IfExists::kAppend},
                                                 {"abort", IfExists::kAbort}};
  app.add_option("--if-exists", o.ifExists,
                 "What to do when an output file exists: overwrite, append or abort "
                 "(default: abort, so that no file is emptied unasked)")
      ->transform(CLI::CheckedTransformer(ifExists, CLI::ignore_case))
      ->option_text("overwrite|append|abort");
}

// The model: roles, standardization, observations, precision.
void addModelOptions(CLI::App& app, BatchOptions& o) {
  app.add_option("--response", o.response, "Name of the response variable (default: last column)")
      ->option_text("NAME");
  CLI::Option* predictors =
      app.add_option("--predictors", o.predictors,
                     "Comma-separated names of the predictors; the other columns are left out")
          ->delimiter(',')
          ->option_text("A,B,...");
  CLI::Option* leaveOut =
      app.add_option("--leave-out", o.leaveOut,
                     "Comma-separated names of columns to leave out; the rest are predictors")
          ->delimiter(',')
          ->option_text("A,B,...");
  predictors->excludes(leaveOut);
  const std::map<std::string, int> scales{
      {"center", kCenterOnly}, {"rescale", kCenterRescale}, {"reexpress", kReExpress}};
  app.add_option("--scale", o.scale,
                 "Standardization: center (center only), rescale (center and rescale to unit "
                 "deviation) or reexpress (rescale, report coefficients on the given scale); "
                 "default rescale")
      ->transform(CLI::CheckedTransformer(scales, CLI::ignore_case))
      ->option_text("center|rescale|reexpress");
  app.add_option("--first", o.first, "Number of the first observation used (default 1)")
      ->check(CLI::Range(0, 9999))
      ->option_text("N");
  app.add_option("--last", o.last, "Number of the last observation used (default: the last)")
      ->check(CLI::Range(0, 9999))
      ->option_text("N");
  const std::map<std::string, Precision> precisions{{"single", Precision::kSingle},
                                                    {"double", Precision::kDouble}};
  app.add_option("--precision", o.precision,
                 "Precision of every stored number: double, or single for the results of "
                 "the classic single-precision arithmetic, bit for bit (default double)")
      ->transform(CLI::CheckedTransformer(precisions, CLI::ignore_case))
      ->option_text("single|double");
}

}  // namespace

void addBatchOptions(CLI::App& app, BatchOptions& o) {
  app.description(kDescription);
  app.footer(kFooter);
  app.add_option("FILE", o.input, "Batch input file (.ayq), or delimited text (.csv, .tsv, .txt)")
      ->required();
  addReadingOptions(app, o);
  addOutputOptions(app, o);
  addModelOptions(app, o);
  addPathOptions(app, o.path);
  app.add_option("--save-model", o.saveModel,
                 "Write the fit at the last path's chosen extent as a JSON model file")
      ->option_text("FILE");
}

bool BatchOptions::delimitedInput() const {
  if (format != InputFormat::kByName) return format == InputFormat::kDelimited;
  return isDelimitedName(input);
}

ModelSettings BatchOptions::modelSettings() const {
  ModelSettings m;
  m.outputName = out;
  m.ifExists = ifExists;
  m.response = response;
  m.predictors = predictors;
  m.leaveOut = leaveOut;
  m.scale = scale;
  m.first = first;
  m.last = last;
  m.precision = precision;
  m.resamples = path.boot.resamples > 0;
  return m;
}

std::optional<BatchOptions> parseBatchOptions(int argc, const char* const* argv, std::ostream& out,
                                              std::ostream& err, int* exitCode) {
  CLI::App app{"", "tolvane-batch"};
  BatchOptions options;
  addBatchOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    *exitCode = code == 0 ? kExitCompleted : kExitUsage;
    return std::nullopt;
  }
  return options;
}

}  // namespace tolvane
