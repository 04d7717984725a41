#pragma once
#include <cstddef>
#include <string>

// Where the word that ends at end begins, as Ctrl+Backspace erases it in
// browsers, Office and Explorer's rename box: the blanks just before end go
// with it, then either a run of letters and digits (any character outside
// ASCII counts as one, and so does the underscore) or a run of other marks.
// So "Annual report" loses "report", and "report.txt" loses "txt", then ".".
std::size_t WordStart(const std::wstring& text, std::size_t end);
