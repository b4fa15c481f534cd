// The model file: what is written reads back, the digest is SHA-256, and
// scoring matches columns by name and counts rows it cannot predict.
#include "model/model_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "model/file_digest.hpp"
#include "model/model_results.hpp"
#include "model/scoring.hpp"
#include "model_fixture.hpp"

namespace tolvane::test {
namespace {

TEST(FileDigest, Sha256OfTheStandardTestMessages) {
  // FIPS 180-2 examples.
  EXPECT_EQ(sha256OfText("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256OfText(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256OfText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  const StatusOr<std::string> none = sha256OfFile("/nonexistent/file");
  EXPECT_FALSE(none);
  EXPECT_NE(none.message().find("cannot read /nonexistent/file"), std::string::npos);
  EXPECT_EQ(none.status.file, "/nonexistent/file");
}

TEST_F(ModelFixture, SavedModelReadsBackWithEveryFieldTheFitHas) {
  ASSERT_TRUE(analyse(examplePath("plant.ayq"), kReExpress, PathShape::kGarrote, "0", kStepsEight));
  ModelResults results;
  const Status chosen = computeModelResults(s, {ExtentCriterion::kBic, 0.0}, &results);
  ASSERT_TRUE(chosen.ok()) << chosen.message;
  const std::string path = dir_ + "/plant.json";
  const Status saved = saveModel(s, results, examplePath("plant.ayq"), path);
  ASSERT_TRUE(saved.ok()) << saved.message;
  const StatusOr<ModelFile> loaded = loadModel(path);
  ASSERT_TRUE(loaded) << loaded.message();
  const ModelFile& model = *loaded;
  EXPECT_EQ(model.responseName, s.YNAME);
  ASSERT_EQ(static_cast<int>(model.predictors.size()), s.P);
  EXPECT_EQ(model.intercept, results.fit.terms[0].shrunken);
  for (int j = 1; j <= s.P; ++j) {
    EXPECT_EQ(model.predictors[j - 1].name, s.XNAME[j]);
    EXPECT_EQ(model.predictors[j - 1].coefficient, results.fit.terms[j].shrunken);
  }
  EXPECT_EQ(model.mcal, results.fit.extent.mcal);
  EXPECT_EQ(model.rank, s.RANK);
  EXPECT_EQ(model.n, s.N);
  // The rest of the record, as another program would read it.
  std::ifstream in(path);
  const nlohmann::json j = nlohmann::json::parse(in);
  EXPECT_EQ(j["scaling"], "reexpress");
  EXPECT_EQ(j["path"]["shape"], "garrote");
  EXPECT_TRUE(j["path"]["q"].is_null());
  EXPECT_EQ(j["extent"]["criterion"], "bic");
  EXPECT_EQ(j["path"]["steps_per_unit"], 8);
  EXPECT_NEAR(j["effective_df"].get<double>(), s.RANK - results.fit.extent.mcal + 1, 1e-12);
  EXPECT_EQ(j["input"]["file"], "plant.ayq");
  EXPECT_EQ(j["input"]["sha256"].get<std::string>().size(), 64u);
  EXPECT_NEAR(j["criteria"]["BIC"].get<double>(), cc.minOf(ComparisonKind::kBic).value,
              1e-9 * std::fabs(cc.minOf(ComparisonKind::kBic).value));
  for (const char* key : {"CLIK", "EBAYS", "RCOEF", "GCV", "PRESS", "AIC"})
    EXPECT_TRUE(j["criteria"][key].is_number()) << key;
  for (const char* key : {"N", "RANK", "s2", "residual_sd", "r_squared"})
    EXPECT_TRUE(j[key].is_number()) << key;
  EXPECT_TRUE(j["predictors"][0]["mean"].is_number());
  EXPECT_TRUE(j["predictors"][0]["sd"].is_number());
}

// At a step, the likelihood criteria evaluated at the exact extent are the
// table's own values.
TEST_F(ModelFixture, CriteriaAtAStepAreThoseOfTheExtentTable) {
  ASSERT_TRUE(
      analyse(examplePath("hald.ayq"), kCenterRescale, PathShape::kQShape, "-1", kStepsFour));
  for (int step = 2; step <= s.NSTEPS; ++step) {
    const CriteriaAtExtent c = criteriaAt(s, walk.delta[step - 1]);
    // The table forms 1 - delta from single-precision deltas: near MCAL 0
    // that small difference keeps only a few digits.
    const auto close = [](double a, float b) {
      return std::fabs(a - b) <= 1e-3 * (1 + std::fabs(b));
    };
    EXPECT_PRED2(close, c.clik, s.THREEYQ.data[step][3]) << step;
    EXPECT_PRED2(close, c.rcoef, s.THREEYQ.data[step][4]) << step;
    EXPECT_PRED2(close, c.ebays, s.THREEYQ.data[step][5]) << step;
    EXPECT_DOUBLE_EQ(c.gcv, cc.of(ComparisonKind::kGcv)[step - 1]);
  }
}

TEST(ModelFile, RefusesWhatIsNotAModelNamingTheFault) {
  const std::string good = R"({"format": "tolvane-model", "format_version": 1,
    "response": {"name": "y", "short_name": "y"},
    "intercept": {"coefficient": 1.5},
    "predictors": [{"name": "a", "short_name": "a", "coefficient": 2}],
    "extent": {"mcal": 0.5}, "N": 10, "RANK": 1})";
  StatusOr<ModelFile> m = parseModel(good, "m.json");
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(m->intercept, 1.5);
  const struct {
    std::string text, message;
  } cases[] = {
      {"", "m.json: not a JSON file"},
      {"[1, 2]", "m.json: not a model file (no JSON object at the top)"},
      {R"({"format": "other"})", "m.json: not a model file (format \"other\")"},
      {R"({"format": "tolvane-model"})", "m.json: missing field format_version"},
      {R"({"format": "tolvane-model", "format_version": 3})",
       "m.json: format version 3; this program reads version 1"},
      {R"({"format": "tolvane-model", "format_version": "1"})",
       "m.json: field format_version is not a whole number"},
  };
  for (const auto& c : cases) {
    m = parseModel(c.text, "m.json");
    EXPECT_FALSE(m) << c.text;
    EXPECT_EQ(m.message(), c.message) << c.text;
    EXPECT_EQ(m.status.file, "m.json");
  }
  std::string noName = good;
  noName.replace(noName.find("\"name\": \"a\""), 11, "\"nam\": \"a\"");
  m = parseModel(noName, "m.json");
  EXPECT_FALSE(m);
  EXPECT_EQ(m.message(), "m.json: missing field predictors[0].name");
  // A count of rows beyond int (sums over billions of rows) reads whole; a
  // negative one does not.
  std::string many = good;
  many.replace(many.find("\"N\": 10"), 7, "\"N\": 3000000000");
  m = parseModel(many, "m.json");
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(m->n, 3000000000LL);
  std::string negative = good;
  negative.replace(negative.find("\"N\": 10"), 7, "\"N\": -10");
  m = parseModel(negative, "m.json");
  EXPECT_FALSE(m);
  EXPECT_EQ(m.message(), "m.json: field N is out of range");
  std::string textCoef = good;
  textCoef.replace(textCoef.find("\"coefficient\": 2"), 16, "\"coefficient\": \"2\"");
  m = parseModel(textCoef, "m.json");
  EXPECT_FALSE(m);
  EXPECT_EQ(m.message(), "m.json: field predictors[0].coefficient is not a number");
}

TEST(Scoring, MatchesColumnsByNameIgnoresExtrasAndCountsRowsWithAMissingValue) {
  ModelFile m;
  m.responseName = m.responseShortName = "y";
  m.intercept = 1.0;
  m.predictors = {{"alpha long", "alpha", 2.0}, {"b", "b", -1.0}};
  DataTable d;
  d.label = "new.csv";
  // Columns in another order, one extra, the first predictor by its short name.
  d.names = {"extra", "b", "alpha", "y"};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  d.rows = {{4, {9, 1, 3, 10}}, {5, {9, nan, 3, 10}}, {6, {9, 2, 0.5, nan}}};
  StatusOr<Scored> scored = scoreTable(m, d);
  ASSERT_TRUE(scored) << scored.message();
  const Scored& out = *scored;
  ASSERT_EQ(out.rows.size(), 3u);
  EXPECT_TRUE(out.hasResponse);
  EXPECT_EQ(out.missing, 1);
  EXPECT_EQ(out.rows[0].prediction, 1.0 + 2.0 * 3 - 1.0 * 1);
  EXPECT_EQ(out.rows[0].residual, 10 - 6.0);
  EXPECT_TRUE(std::isnan(out.rows[1].prediction));
  EXPECT_EQ(out.rows[2].prediction, 0.0);
  EXPECT_EQ(predictionsCsv(out), "line,prediction,residual\n4,6,4\n5,,\n6,0,\n");
  d.names = {"extra", "c", "d", "z"};
  const StatusOr<Scored> lacking = scoreTable(m, d);
  EXPECT_FALSE(lacking);
  EXPECT_EQ(lacking.message(), "new.csv lacks the model's predictors alpha long, b");
  // Without the response there is no residual column.
  d.names = {"alpha", "b", "q", "r"};
  const StatusOr<Scored> noResponse = scoreTable(m, d);
  ASSERT_TRUE(noResponse);
  EXPECT_FALSE(noResponse->hasResponse);
  EXPECT_EQ(predictionsCsv(*noResponse).substr(0, 16), "line,prediction\n");
}

}  // namespace
}  // namespace tolvane::test
