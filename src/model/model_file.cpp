#include "model/model_file.hpp"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "model/file_digest.hpp"
#include "report/output_file.hpp"

namespace tolvane {

namespace {

using nlohmann::json;

// A value JSON can hold: not-a-number and infinities become null.
json number(double x) {
  return std::isfinite(x) ? json(x) : json(nullptr);
}

json termStatistics(const FittedTerm& t) {
  return json{{"coefficient", number(t.shrunken)},
              {"least_squares", number(t.leastSquares)},
              {"ls_std_error", number(t.leastSquaresSe)},
              {"rmse", number(t.rmse)}};
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reading: each accessor names the field's path in the message.
class Reader {
 public:
  Reader(const std::string& label, std::string* why) : label_(label), why_(why) {}

  const json* field(const json& object, const std::string& name, const std::string& path) {
    if (!object.is_object() || !object.contains(name)) {
      fail("missing field " + path);
      return nullptr;
    }
    return &object.at(name);
  }
  bool text(const json& object, const std::string& name, const std::string& path,
            std::string* out) {
    const json* v = field(object, name, path);
    if (v == nullptr) return false;
    if (!v->is_string()) return fail("field " + path + " is not text");
    *out = v->get<std::string>();
    return true;
  }
  bool real(const json& object, const std::string& name, const std::string& path, double* out) {
    const json* v = field(object, name, path);
    if (v == nullptr) return false;
    if (!v->is_number()) return fail("field " + path + " is not a number");
    *out = v->get<double>();
    if (!std::isfinite(*out)) return fail("field " + path + " is not a finite number");
    return true;
  }
  bool integer(const json& object, const std::string& name, const std::string& path, int* out) {
    const json* v = field(object, name, path);
    if (v == nullptr) return false;
    if (!v->is_number_integer()) return fail("field " + path + " is not a whole number");
    const auto value = v->get<long long>();
    if (value < -1'000'000'000LL || value > 1'000'000'000LL)
      return fail("field " + path + " is out of range");
    *out = static_cast<int>(value);
    return true;
  }
  // A count of rows: whole, not negative, anything a 64-bit count holds.
  bool count(const json& object, const std::string& name, const std::string& path,
             std::int64_t* out) {
    const json* v = field(object, name, path);
    if (v == nullptr) return false;
    if (!v->is_number_integer()) return fail("field " + path + " is not a whole number");
    if (v->is_number_unsigned() ? v->get<unsigned long long>() > INT64_MAX
                                : v->get<long long>() < 0) {
      return fail("field " + path + " is out of range");
    }
    *out = v->get<std::int64_t>();
    return true;
  }
  bool fail(const std::string& what) {
    *why_ = label_ + ": " + what;
    return false;
  }

 private:
  std::string label_;
  std::string* why_;
};

bool parseInto(const std::string& text, const std::string& label, ModelFile* out,
               std::string* why) {
  *out = ModelFile{};
  Reader r(label, why);
  const json model = json::parse(text, nullptr, false);
  if (model.is_discarded()) return r.fail("not a JSON file");
  if (!model.is_object()) return r.fail("not a model file (no JSON object at the top)");
  std::string format;
  if (!r.text(model, "format", "format", &format)) return false;
  if (format != "tolvane-model") return r.fail("not a model file (format \"" + format + "\")");
  if (!r.integer(model, "format_version", "format_version", &out->formatVersion)) return false;
  if (out->formatVersion != kModelFormatVersion) {
    return r.fail("format version " + std::to_string(out->formatVersion) +
                  "; this program reads version " + std::to_string(kModelFormatVersion));
  }
  const json* response = r.field(model, "response", "response");
  if (response == nullptr || !r.text(*response, "name", "response.name", &out->responseName) ||
      !r.text(*response, "short_name", "response.short_name", &out->responseShortName)) {
    return false;
  }
  const json* intercept = r.field(model, "intercept", "intercept");
  if (intercept == nullptr ||
      !r.real(*intercept, "coefficient", "intercept.coefficient", &out->intercept)) {
    return false;
  }
  const json* predictors = r.field(model, "predictors", "predictors");
  if (predictors == nullptr) return false;
  if (!predictors->is_array() || predictors->empty() || predictors->size() > kMaxModelTerms) {
    return r.fail("field predictors is not a list of 1 to " + std::to_string(kMaxModelTerms) +
                  " predictors");
  }
  for (std::size_t i = 0; i < predictors->size(); ++i) {
    const std::string at = "predictors[" + std::to_string(i) + "]";
    ModelTerm t;
    const json& p = (*predictors)[i];
    if (!r.text(p, "name", at + ".name", &t.name) ||
        !r.text(p, "short_name", at + ".short_name", &t.shortName) ||
        !r.real(p, "coefficient", at + ".coefficient", &t.coefficient)) {
      return false;
    }
    out->predictors.push_back(t);
  }
  const json* extent = r.field(model, "extent", "extent");
  if (extent == nullptr || !r.real(*extent, "mcal", "extent.mcal", &out->mcal)) return false;
  return r.count(model, "N", "N", &out->n) && r.integer(model, "RANK", "RANK", &out->rank);
}

}  // namespace

StatusOr<std::string> modelJson(const AnalysisState& s, const ModelResults& results,
                                const std::string& inputPath) {
  if (!results.fitted) return Status::stopped("there is no fitted model to save");
  const StatusOr<std::string> digest = sha256OfFile(inputPath);
  if (!digest) return digest.status;
  const FittedModel& f = results.fit;
  json predictors = json::array();
  for (int j = 1; j <= s.P && j < static_cast<int>(f.terms.size()); ++j) {
    json p = termStatistics(f.terms[j]);
    // Full names are the names as read; the short names are the 8-character
    // names the reports print (the same for batch input files).
    p["name"] = f.terms[j].name;
    p["short_name"] = s.XNAME[j];
    p["mean"] = number(s.XAVG.data[j]);
    p["sd"] = number(s.XSTD.data[j]);
    predictors.push_back(p);
  }
  const CriteriaAtExtent& c = results.atExtent;
  json model = {
      {"format", "tolvane-model"},
      {"format_version", kModelFormatVersion},
      {"input", {{"file", fileNameOf(inputPath)}, {"sha256", *digest}}},
      {"response",
       {{"name", s.hasColumn(s.YCOL) ? s.fullName(s.YCOL) : s.YNAME},
        {"short_name", s.YNAME},
        {"mean", number(s.YAVG)},
        {"sd", number(s.YSTD)}}},
      {"scaling", scalingWord(s.SCALECODE)},
      {"intercept", termStatistics(f.terms[0])},
      {"predictors", predictors},
      {"path",
       {{"shape", namesOf(f.shape).word},
        {"q", f.shape == PathShape::kQShape ? number(f.q) : json(nullptr)},
        {"steps_per_unit", f.msteps}}},
      {"extent",
       {{"criterion", extentRequestText(f.extent.request)},
        {"mcal", number(f.extent.mcal)},
        {"k", number(f.extent.k)}}},
      {"criteria",
       {{"CLIK", number(c.clik)},
        {"EBAYS", number(c.ebays)},
        {"RCOEF", number(c.rcoef)},
        {"GCV", number(c.gcv)},
        {"PRESS", number(c.press)},
        {"AIC", number(c.aic)},
        {"BIC", number(c.bic)}}},
      {"N", f.n},
      {"RANK", f.rank},
      {"s2", number(f.s2)},
      {"effective_df", number(f.effectiveDf)},
      {"residual_sd", number(f.residualSd)},
      {"r_squared", number(f.rSquared)},
  };
  return model.dump(2) + "\n";
}

Status saveModel(const AnalysisState& s, const ModelResults& results, const std::string& inputPath,
                 const std::string& path) {
  const StatusOr<std::string> text = modelJson(s, results, inputPath);
  if (!text) return text.status;
  return writeFileAtomically(path, *text);
}

StatusOr<ModelFile> parseModel(const std::string& text, const std::string& label) {
  ModelFile model;
  std::string why;
  if (!parseInto(text, label, &model, &why)) return Status::at(label, 0, 0, why);
  return model;
}

StatusOr<ModelFile> loadModel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::at(path, 0, 0, "cannot open the model file " + path);
  std::stringstream text;
  text << in.rdbuf();
  return parseModel(text.str(), path);
}

}  // namespace tolvane
