#include "util/field_editor.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "case_file.hpp"

namespace tulma {
namespace {

TEST(FieldEditor, EachFieldOfTheTable) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/util/cases/fields.txt")) {
        SCOPED_TRACE(row.line);
        const std::string& kind = row.words.at(0);
        const std::string& arg = row.words.at(1);
        const auto number = [&](std::size_t k) { return std::stoi(row.words.at(k)); };
        LineBuilder line;
        if (kind == "text") line.text(arg == "''" ? "" : arg, number(2));
        if (kind == "integer") line.integer(std::stoll(arg), number(2));
        if (kind == "fixed") line.fixed(std::strtod(arg.c_str(), nullptr), number(2), number(3));
        if (kind == "general") line.general(std::strtod(arg.c_str(), nullptr));
        EXPECT_EQ(line.view(), row.text);
    }
}

TEST(FieldEditor, FieldsFollowOneAnotherAndClearKeepsTheBuffer) {
    LineBuilder line;
    line.general(8760.0);
    line.text(",");
    line.integer(3, 6);
    line.logical(true);
    line.logical(false);
    line.text("ab  ");
    line.blanks(2);
    EXPECT_EQ(line.view(), "  8760.00    ,     3      T      Fab    ");
    const char* buffer = line.view().data();
    line.clear();
    line.fixed(1.5, 30, 1);
    EXPECT_EQ(line.view(), std::string(27, ' ') + "1.5");
    EXPECT_EQ(line.view().data(), buffer);  // no new buffer for a shorter line
}

}  // namespace
}  // namespace tulma
