// The path taken from the command line.
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(PathFromCommandLine, Table) {
  struct Row {
    std::string commandLine;
    std::optional<std::string> path;  // none: no trace and no load
  };
  const Row rows[] = {
      {"", std::nullopt},
      {"a b.bmp", "a b.bmp"},
      {"\"a b.bmp\"", "a b.bmp"},
      {"\"a.bmp", "a.bmp"},
      {"\"a.bmp\" ", "a.bmp\" "},
      {"\"a.bmp\" \"b.bmp\"", "a.bmp\" \"b.bmp"},
      {"a.bmp\"", "a.bmp\""},
      {"\"\"", ""},
      {"\"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("command line [" + row.commandLine + "]");
    std::vector<char> text(row.commandLine.begin(), row.commandLine.end());
    text.push_back('\0');
    const char* path = PathFromCommandLine(text.data());
    if (!row.path) {
      EXPECT_EQ(path, nullptr);
      continue;
    }
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path), *row.path);
    // The path points into the text, which was edited in place.
    EXPECT_GE(path, text.data());
    EXPECT_LT(path, text.data() + text.size());
  }
}

}  // namespace
