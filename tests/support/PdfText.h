#pragma once
// The text of a PDF file as pdftotext lays it out, for checking printed reports.

#include <cstdio>
#include <filesystem>
#include <string>

namespace tunquil::test {

inline std::string PdfText(const std::filesystem::path& pdf) {
    std::string out;
    char buffer[4096];
    FILE* pipe = ::popen(("pdftotext -layout '" + pdf.string() + "' - 2>&1").c_str(), "r");
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

} // namespace tunquil::test
