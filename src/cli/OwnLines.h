#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::cli {

// One of the command line's own lines in English and in Chinese; {1} to {9} stand for the
// values filled in, in either language's order.
struct OwnLine {
    std::string_view english;
    std::string_view chinese;
};

// Every line the command line can say in Chinese.
std::span<const OwnLine> OwnLines();

// `english` as the person reads it: its Chinese under a Chinese locale when the table has it,
// the English otherwise, filled with `values`. Scripts' results (JSON, the log, the erase
// failure's standard-output line) never pass here.
std::string Say(std::string_view english, std::initializer_list<std::string_view> values = {});

// `text` with each {1} to {9} replaced by that value. The values go in as they are and are not
// looked at again: a file name holding % or {1} is not a format.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> values);

// The terminal columns `text` takes: a Chinese character takes two.
int Columns(std::string_view text);

// `text` with blanks after it (or before it, with `right`) to at least `width` columns; the
// table columns stay in line whatever the language.
std::string PadColumns(std::string_view text, int width, bool right = false);

// The longest start of `text` that fits in `width` columns, never cutting a character in two.
std::string CutColumns(std::string_view text, int width);

}  // namespace tarnwick::cli
