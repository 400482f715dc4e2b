#include "review/statistics.h"

#include <gtest/gtest.h>

#include "record_builders.h"

namespace verbix {
namespace {

using testing::entry;
using testing::lines;

std::size_t lines_table() {
  for (std::size_t t = 0; t < FIELDS.size(); ++t)
    if (FIELDS[t].key == "text_lut") return t;
  return FIELDS.size();
}

// Blank counts line by line (the line feeds joining them are blank too), a line of another
// kind by its text form, and each id once per section and once in the dialogue.
TEST(Statistics, BlankTranslationsAndRepeatedIdsCountAsPythonJoinsAndCountsThem) {
  Value game = Value::map();
  game["text_lut"] = Value(Map{{"a", lines({"Hi", "there"})},
                               {"b", lines({"Yo"})},
                               {"c", lines({"X"})},
                               {"d", lines({"Z"})}});
  game["sections"] = Value(Map{{"s1", list_value(entry("x", List{"a", "b", "a"}))},
                               {"s2", list_value(entry("y", List{"b", "c", "d"}))}});
  Value project = Value::map();
  project["text_lut"] = Value(Map{{"a", lines({" ", "\t\u3000"})},
                                  {"b", lines({"  ", "ok"})},
                                  {"c", list_value(5)},
                                  {"d", lines({"Z"})}});
  const Statistics s = project_statistics(game, project, "/nonexistent/project", std::nullopt);
  const TextCounts& lut = s.tables[lines_table()];
  EXPECT_EQ(lut.total, 4u);
  EXPECT_EQ(lut.translated, 2u);  // b and c
  EXPECT_EQ(s.dialogue.total, 4u);
  EXPECT_EQ(s.dialogue.translated, 2u);
  ASSERT_EQ(s.sections.size(), 2u);
  EXPECT_EQ(s.sections[0].second.total, 2u);
  EXPECT_EQ(s.sections[0].second.translated, 1u);
  EXPECT_EQ(s.sections[1].second.total, 3u);
  EXPECT_EQ(s.sections[1].second.translated, 2u);
}

}  // namespace
}  // namespace verbix
